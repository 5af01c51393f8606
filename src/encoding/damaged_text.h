#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "encoding/text_format.h"
#include "text/text.h"

namespace qs {

// Where the bytes of a source do not decode in the encoding it is read in: the offset of
// the first such byte from the start of the file, and how many there are. A fact about the
// file, found while it is read; no byte is ever dropped or replaced for it.
struct TextDamage {
    std::int64_t offset = -1;
    std::int64_t bytes = 0;

    bool Any() const { return bytes > 0; }
    void Note(std::int64_t at) {
        if (offset < 0) {
            offset = at;
        }
        ++bytes;
    }
};

// How many damaged bytes a body of this length may have and still be read in its encoding:
// a cut last character or a few bad bytes, fewer still where the encoding is a guess, and
// none in a guessed body of fewer than 64 bytes.
std::int64_t DamageAllowed(std::int64_t bodyLength, bool guessed);

// A byte of the source that decodes to no character is kept inside the internal text as a
// GB18030 four-byte sequence that no character has (FE 30-33 81-C0 30), so that writing the
// text back in the source's encoding restores it and any other conversion fails on it.
Bytes KeptByte(unsigned char byte);
// A UTF-16 unit that decodes to no character is kept whole, as one character of its own
// (E4-E9 30-39 81-FE 30-39, beyond the last code GB18030 assigns), so that no cut of the
// text falls between its two bytes and a piece stays on the units of its source.
Bytes KeptUnit(unsigned char first, unsigned char second);
// The source bytes kept by the sequence at i (one or two), if one is there.
std::optional<Bytes> KeptBytesAt(std::string_view text, std::size_t i);

// The bytes of the charset of the encoding converted into the internal code page, every
// byte that belongs to no character that converts kept (as itself for GB18030, by KeptByte
// for every other encoding) and noted in damage at base + its position. plain: each run
// that converts must also be plain text (IsPlainText); nullopt when one is not, or when
// more than stopAfter bytes are damaged.
std::optional<Text> DecodeKeepingDamage(std::string_view bytes, TextEncoding encoding,
                                        std::int64_t base, TextDamage& damage, bool plain,
                                        std::int64_t stopAfter);

// EncodeText of an internal text into the source's own format, with every kept byte put
// back as it was: what a mode that writes the source's own bytes writes.
std::optional<Bytes> EncodeTextKeepingBytes(std::string_view text, const TextFormat& format);

}  // namespace qs

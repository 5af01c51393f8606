#pragma once

#include <optional>
#include <string_view>

#include "encoding/text_format.h"
#include "text/text.h"

namespace qs {

// The charset under which the program hands its own texts to the converter.
constexpr std::string_view InternalCharset() {
    return "GB18030";
}

// The byte-order mark written in front of text in the encoding: EF BB BF for UTF-8, FF FE
// for UTF-16LE, FE FF for UTF-16BE; empty for every other code.
std::string_view ByteOrderMark(TextEncoding encoding);

// The internal text in the format's encoding with its mark in front when it has one,
// exactly: nullopt when a character cannot be held (an emoji in GBK or Big5) or the text is
// no internal text; nothing is ever replaced. The codes that are never converted give the
// text as it is; an empty text gives no bytes, not even a mark.
std::optional<Bytes> EncodeText(std::string_view text, const TextFormat& format);

}  // namespace qs

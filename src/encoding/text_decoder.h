#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "encoding/damaged_text.h"
#include "encoding/html_charset.h"
#include "encoding/mojibake_scan.h"
#include "encoding/text_format.h"
#include "platform/file_system.h"
#include "text/text.h"

namespace qs {

struct DecodedText {
    Text text;
    // Encoding 1..6 after a decoding, 0 only when the source could not be opened. The mark:
    // the source began with its encoding's byte-order mark; writing back in the same
    // encoding adds the mark only then, so an unmarked UTF-8 file comes back unmarked.
    TextFormat format;
    bool opened = false;
    // False when no encoding the program reads decodes the bytes exactly (a mark that does
    // not fit them, another charset, binary data): the text is then the raw bytes, not the
    // source's characters, and no text operation may take it.
    bool exact = true;
    // Where the bytes do not decode in the encoding the text is read in, a few of them in a
    // text whose encoding is clear: exact is then false, and the text keeps them (see
    // TextSliceReader::Damage).
    TextDamage damage;
    // The other of GB18030 and Big5 where both decode the bytes exactly and the locale chose:
    // the encoding taken is a guess (see TextSliceReader::TiedWith).
    TextEncoding tiedWith = TextEncoding::Undetected;
    // Where the text is the wreck of an earlier wrong conversion (see TextSliceReader::Wreck).
    TextWreck wreck;
};

// Reads a whole file and decodes it: a byte-order mark, then a charset declaration (the meta
// tags of an HTML head, an XML declaration) that decodes the body exactly, then a plausible
// UTF-8 pattern, plain ASCII, and last the guess of GuessEncodings decide the encoding. The
// text is either an exact conversion of the body into the internal code page or, with code
// 1, the file's own bytes (mark included; exact false when they are no GB18030 text); a mark
// alone is an empty text in the mark's encoding. requested 0 detects;
// another code forces that encoding. The file is opened for reading only.
DecodedText DecodeTextFile(const Text& path, TextEncoding requested = TextEncoding::Undetected);
// The same for a file opened already.
DecodedText DecodeTextHandle(std::unique_ptr<ReadHandle> in,
                             TextEncoding requested = TextEncoding::Undetected);

// DecodeTextFile on bytes in memory (always "opened").
DecodedText DecodeBytes(std::string_view bytes, TextEncoding requested = TextEncoding::Undetected);

// The UTF-8 test over data that comes in slices; a sequence may be cut by a slice edge.
class Utf8Scan {
public:
    void Feed(std::string_view bytes);
    // Whether everything fed so far looks like UTF-8: only well-formed sequences of one to
    // four bytes (lead bytes C0-DF, E0-EF, F0-F4 with the right number of continuation
    // bytes) and at least one byte that is not ASCII.
    bool Plausible() const { return m_plausible && m_have == 0 && m_sawNonAscii; }
    // Also strictly well-formed (no overlong forms, surrogates or code points beyond
    // U+10FFFF): what an exact conversion from UTF-8 accepts. Pure ASCII is exact.
    bool Exact() const { return m_exact && m_plausible && m_have == 0; }
    // Exact so far, a sequence cut at the end aside.
    bool ExactSoFar() const { return m_exact && m_plausible; }
    // Plausible but for a sequence that the end of the bytes cut short: UTF-8 whose last
    // character was cut in half.
    bool PlausibleButCutAtEnd() const { return m_plausible && m_have > 0 && m_sawNonAscii; }
    // Nothing but ASCII so far.
    bool AllAscii() const { return m_plausible && !m_sawNonAscii && m_have == 0; }

private:
    void Check(const unsigned char* sequence, std::size_t length);

    bool m_plausible = true;
    bool m_exact = true;
    bool m_sawNonAscii = false;
    unsigned char m_pending[4] = {};
    std::size_t m_have = 0;
    std::size_t m_need = 0;
};

// The encoding that a charset declaration in the meta tags of an HTML head or an XML
// declaration names, looked for in the bytes before the first zero or 0x1A byte, and within
// the first kDeclarationBytes (1 for the GB names); 0 when there is none.
inline constexpr std::int64_t kDeclarationBytes = std::int64_t{1} << 20;
TextEncoding DeclaredEncoding(std::string_view all);

// DetectHtmlCharset (the HTML test of the detection) is declared in encoding/html_charset.h.

}  // namespace qs

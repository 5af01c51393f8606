#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "encoding/text_decoder.h"

namespace qs {

// How many bytes from the start of a body the guess looks at.
inline constexpr std::size_t kGuessSampleBytes = std::size_t{64} << 10;

// The encodings that a body without a byte-order mark, without a declaration that holds and
// without the UTF-8 pattern may be in, most likely first: UTF-16LE or UTF-16BE, GB18030
// (code 1), Big5 and Big5-HKSCS. A GB18030 text that is just as good Big5 follows the
// user's locale. Each is to be taken only where the whole body decodes exactly in it and
// IsPlainText holds for every slice of the decoded text. Empty: another charset (Shift_JIS,
// EUC-KR, EUC-TW, a single-byte one) or no text at all. whole: the sample is the whole body.
std::vector<TextEncoding> GuessEncodings(std::string_view sample, bool whole);

// Whether decoded text (internal code page) holds no character that text in the encoding
// does not: no zero at all, and from UTF-16 no control other than tab, line and page breaks,
// escape and the old end-of-file mark.
bool IsPlainText(std::string_view text, TextEncoding encoding);

}  // namespace qs

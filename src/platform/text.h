#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qs {

// A text is a counted byte string in the internal code page, GB18030. Zero bytes are
// ordinary bytes: nothing in the program ends a text at its first zero byte.
using Text = std::string;
// Raw bytes of a file or a conversion: the same type, a different meaning.
using Bytes = std::string;
using TextList = std::vector<Text>;

// The program's own literals are written in UTF-8 in the source; this turns one into an
// internal text. Results are cached, so calling it in a loop costs one hash lookup.
const Text& U(std::string_view utf8);

// Exact conversions between internal texts and UTF-8 (the file-system and window
// boundaries). They fail, returning false, on bytes that have no counterpart.
bool InternalToUtf8(std::string_view internal, std::string& utf8);
bool Utf8ToInternal(std::string_view utf8, Text& internal);

// For messages and test output only: undecodable bytes become U+FFFD.
std::string ToUtf8Lossy(std::string_view internal);

}  // namespace qs

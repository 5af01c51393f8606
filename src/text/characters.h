#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/code_page.h"

namespace qs {

// The one character model of the program, used by every search, cut, trim and count: a
// code-page sequence is one character (see SequenceLength), except that CR LF together is one.
inline std::size_t CharLength(std::string_view t, std::size_t i) {
    if (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') {
        return 2;
    }
    return SequenceLength(t, i);
}

// Number of characters of the whole text.
std::int32_t CountChars(std::string_view text);
// The code points of UTF-8 text known to be whole and valid: its bytes that begin one.
std::int64_t CountUtf8CodePoints(std::string_view utf8);
// The first n characters (the whole text when it has fewer); never cuts a character.
Text LeftChars(std::string_view text, std::int32_t n);
// Byte length of the first n characters.
std::size_t ByteLengthOfChars(std::string_view text, std::size_t n);

// Finds needle in text at a character boundary, starting at byte position from (which must
// be a boundary). Returns npos when there is none. An empty needle is found at from.
std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from = 0);
// The last occurrence of a single-byte character c that starts a character; npos if none.
std::size_t FindLastChar(std::string_view text, char c);
// The first occurrence of a single-byte character c that starts a character, from from.
std::size_t FindChar(std::string_view text, char c, std::size_t from = 0);
// Every occurrence of needle replaced by replacement, matches only at character boundaries.
Text ReplaceAll(std::string_view text, std::string_view needle, std::string_view replacement);

// Cuts a text at every occurrence of separator: the separator belongs to no part, an empty
// rest after the last separator is dropped, an empty text gives no part, an empty separator
// gives the whole text as the only part.
TextList SplitText(std::string_view text, std::string_view separator);

// The text without the ASCII and full-width (　) spaces at both ends, stepping over whole
// characters.
Text TrimSpaces(std::string_view text);

// ASCII-only case folding helpers (double-byte characters are left alone).
Text AsciiLower(std::string_view text);
// Case-insensitive (ASCII letters) search at character boundaries.
std::size_t FindTextNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);

}  // namespace qs

#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/text.h"

namespace qs {

// The one character model of the program, used by every search, cut, trim and count:
//  - a byte below 0x80 is one character, except that CR LF together is one character;
//  - a GB18030 four-byte sequence (81-FE, 30-39, 81-FE, 30-39) is one character;
//  - any other byte from 0x80 up takes the byte after it as one character when that byte can
//    be a second byte (40-7E or 80-FE); otherwise, and at the very end, it stands alone, so
//    a CR, an LF or any other byte that cannot end a character is never swallowed by a
//    stray lead byte in bytes that are not GB18030 text.
inline std::size_t CharLength(std::string_view t, std::size_t i) {
    const auto b = static_cast<unsigned char>(t[i]);
    const std::size_t n = t.size();
    if (b < 0x80) {
        return (b == '\r' && i + 1 < n && t[i + 1] == '\n') ? 2 : 1;
    }
    if (i + 1 >= n) {
        return 1;
    }
    if (i + 3 < n && b >= 0x81 && b <= 0xFE) {
        const auto b1 = static_cast<unsigned char>(t[i + 1]);
        const auto b2 = static_cast<unsigned char>(t[i + 2]);
        const auto b3 = static_cast<unsigned char>(t[i + 3]);
        if (b1 >= 0x30 && b1 <= 0x39 && b2 >= 0x81 && b2 <= 0xFE && b3 >= 0x30 && b3 <= 0x39) {
            return 4;
        }
    }
    const auto second = static_cast<unsigned char>(t[i + 1]);
    return (second >= 0x40 && second != 0x7F && second != 0xFF) ? 2 : 1;
}

// Number of characters of the whole text.
std::int32_t CountChars(std::string_view text);
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

// ASCII-only case folding helpers (double-byte characters are left alone).
Text AsciiLower(std::string_view text);
// Case-insensitive (ASCII letters) search at character boundaries.
std::size_t FindTextNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);

}  // namespace qs

#pragma once

#include <cstddef>
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

// Exact conversions between internal texts and UTF-8 (the file-system and window
// boundaries). They fail, returning false, on bytes that have no counterpart.
bool InternalToUtf8(std::string_view internal, std::string& utf8);
bool Utf8ToInternal(std::string_view utf8, Text& internal);

// For messages and test output only: undecodable bytes become U+FFFD.
std::string ToUtf8Lossy(std::string_view internal);

// The length of the code-page sequence that starts at byte i:
//  - a byte below 0x80 is one;
//  - a GB18030 four-byte sequence (81-FE, 30-39, 81-FE, 30-39) is one;
//  - any other byte from 81 to FE takes the byte after it when that byte can be a second byte
//    (40-7E or 80-FE); otherwise, and at the very end, it stands alone, so a CR, an LF or any
//    other byte that cannot end a character is never swallowed by a stray lead byte in bytes
//    that are not GB18030 text;
//  - 80 and FF, which begin no character, stand alone: in a damaged text the character after
//    such a byte is the one a decoder reads.
inline std::size_t SequenceLength(std::string_view t, std::size_t i) {
    const auto b = static_cast<unsigned char>(t[i]);
    const std::size_t n = t.size();
    if (b < 0x81 || b == 0xFF || i + 1 >= n) {
        return 1;
    }
    if (i + 3 < n) {
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

}  // namespace qs

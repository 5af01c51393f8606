#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qs {

// Where the run of ASCII bytes from p[i] on ends, looked at eight bytes at a time: at the
// first word that holds a byte of 0x80 or more (the byte itself is for the caller to find),
// or where fewer than eight bytes are left before n.
inline std::size_t AsciiWordsEnd(const unsigned char* p, std::size_t i, std::size_t n) {
    while (i + 8 <= n) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ULL) {
            break;
        }
        i += 8;
    }
    return i;
}

}  // namespace qs

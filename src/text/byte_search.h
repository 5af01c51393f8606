#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qs {

// The position of the first byte of bytes that is a, b or c; bytes.size() when there is
// none. One pass where a search per byte value would take three.
std::size_t FindAnyOf(std::string_view bytes, char a, char b, char c);
// The same with the instructions every processor of the kind has, where FindAnyOf uses
// wider ones when this processor has them.
std::size_t FindAnyOfBaseline(std::string_view bytes, char a, char b, char c);

// The positions of the first bytes of bytes that are a or b, one bit each (bit i: bytes[i]),
// of at most 64 bytes: a line of one character costs no search of its own.
std::uint64_t MaskOfEither(std::string_view bytes, char a, char b);

// The next byte of bytes that is a or b from a position, read through masks of 64 bytes
// kept from one call to the next, so that a text of many short lines costs no search per
// line; a stretch of a block or more without either goes to FindAnyOf.
class EitherFinder {
public:
    EitherFinder(std::string_view bytes, char a, char b) : m_bytes(bytes), m_a(a), m_b(b) {}
    // The position of the first a or b at or after from; bytes.size() when there is none.
    std::size_t Next(std::size_t from) {
        const std::size_t block = from & ~std::size_t{63};
        if (block == m_block) {
            if (const std::uint64_t ahead = m_mask & (~std::uint64_t{0} << (from - block))) {
                return block + static_cast<std::size_t>(__builtin_ctzll(ahead));
            }
        }
        return NextFromBlock(from);
    }

private:
    std::size_t NextFromBlock(std::size_t from);

    std::string_view m_bytes;
    char m_a;
    char m_b;
    std::size_t m_block = static_cast<std::size_t>(-1);
    std::uint64_t m_mask = 0;
};

}  // namespace qs

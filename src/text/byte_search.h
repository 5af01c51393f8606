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

}  // namespace qs

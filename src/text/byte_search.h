#pragma once

#include <cstddef>
#include <string_view>

namespace qs {

// The position of the first byte of bytes that is a, b or c; bytes.size() when there is
// none. One pass where a search per byte value would take three.
std::size_t FindAnyOf(std::string_view bytes, char a, char b, char c);

}  // namespace qs

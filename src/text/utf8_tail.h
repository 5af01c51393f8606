#pragma once

#include <cstddef>
#include <string_view>

namespace qs {

// The length of bytes without a UTF-8 sequence that goes on past their end: a stream cut
// anywhere keeps its last, unfinished character for the next slice. Bytes that are no UTF-8
// are not looked into; only a lead byte among the last three can begin an unfinished sequence.
std::size_t WholeUtf8Prefix(std::string_view bytes);

}  // namespace qs

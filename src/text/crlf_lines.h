#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qs {

// What TakeLinesAsCrLf took.
struct CrLfLines {
    std::size_t consumed = 0;  // source bytes of the lines taken, their breaks included
    std::size_t written = 0;   // bytes written for them, the last one's break left out
    std::int64_t lines = 0;
};

// How many bytes out must have room for beyond twice the bytes given.
inline constexpr std::size_t kCrLfSlack = 128;

// Takes up to most whole lines (ended by LF or CR LF) from the start of bytes, which begins a
// line, and writes them to out joined by CR LF, 64 bytes a step: millions of short lines cost
// no search or copy each. Stops before a CR that is not followed by LF, and before the last 64
// bytes (the byte after a CR must be in sight); what is left is for a look at each line.
CrLfLines TakeLinesAsCrLf(std::string_view bytes, std::int64_t most, char* out);
// The same with the instructions every processor of the kind has.
CrLfLines TakeLinesAsCrLfBaseline(std::string_view bytes, std::int64_t most, char* out);

}  // namespace qs

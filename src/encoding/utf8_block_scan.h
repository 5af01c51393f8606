#pragma once

#include <cstddef>

namespace qs {

// How many bytes at the start of p[0..n) are whole UTF-8 sequences of the kind the UTF-8 test
// accepts (leads C0-DF, E0-EF, F0-F4 with their continuation bytes; with strict, also no
// overlong form, surrogate or code point beyond U+10FFFF), judged 64 bytes at a time with the
// processor's vector instructions. The prefix ends on a sequence boundary; it stops short of
// the end of the data, or of the first fault, by less than 67 bytes, which the caller judges
// byte by byte. 0 where the processor has no such instructions. sawNonAscii tells whether the
// prefix holds a byte from 0x80 up.
std::size_t Utf8BlockPrefix(const unsigned char* p, std::size_t n, bool strict, bool& sawNonAscii);
// The same with the instructions every processor of the kind has, where Utf8BlockPrefix uses
// wider ones when this processor has them.
std::size_t Utf8BlockPrefixBaseline(const unsigned char* p, std::size_t n, bool strict,
                                    bool& sawNonAscii);

}  // namespace qs

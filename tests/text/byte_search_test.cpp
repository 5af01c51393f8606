#include "text/byte_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace qs {
namespace {

// Random stretches of every length around the vector widths, the bytes sought now and then
// anywhere in them: the first one found is the one a plain search finds.
TEST(FindAnyOf, FindsTheFirstOfTheBytesSought) {
    std::mt19937 gen(7);
    for (int round = 0; round < 20000; ++round) {
        std::string s(gen() % 100, 'x');
        for (char& c : s) {
            c = "ab\r\n\0<\x1A\xE4"[gen() % 8 == 0 ? gen() % 8 : 0];
        }
        ASSERT_EQ(FindAnyOf(s, '\n', '\r', '\n'), std::min(s.find_first_of("\r\n"), s.size()))
            << round;
        ASSERT_EQ(FindAnyOf(s, '\0', '\x1A', '<'),
                  std::min(s.find_first_of(std::string("\0\x1A<", 3)), s.size()))
            << round;
    }
}

}  // namespace
}  // namespace qs

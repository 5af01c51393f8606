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
        std::string s(gen() % 200, 'x');
        for (char& c : s) {
            c = "ab\r\n\0<\x1A\xE4"[gen() % 48 == 0 ? gen() % 8 : 0];
        }
        const std::size_t lineBreak = std::min(s.find_first_of("\r\n"), s.size());
        const std::size_t stop = std::min(s.find_first_of(std::string("\0\x1A<", 3)), s.size());
        for (auto* find : {&FindAnyOf, &FindAnyOfBaseline}) {
            ASSERT_EQ(find(s, '\n', '\r', '\n'), lineBreak) << round;
            ASSERT_EQ(find(s, '\0', '\x1A', '<'), stop) << round;
        }
    }
}

}  // namespace
}  // namespace qs

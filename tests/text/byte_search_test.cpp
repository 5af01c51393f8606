#include "text/byte_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace qs {
namespace {

// Random stretches of every length around the vector widths, the bytes sought now and then
// anywhere in them: the first one found is the one a plain search finds, and the mask of
// the first 64 bytes marks every one of them.
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
        const std::uint64_t mask = MaskOfEither(s, '\r', '\n');
        for (std::size_t i = 0; i < 64; ++i) {
            ASSERT_EQ(mask >> i & 1, i < s.size() && (s[i] == '\r' || s[i] == '\n')) << round;
        }
    }
}

}  // namespace
}  // namespace qs

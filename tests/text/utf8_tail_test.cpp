#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/utf8_tail.h"

namespace qs {
namespace {

// Characters of every length cut at every byte: the whole prefix ends after the last
// character that fits; stray continuation bytes are kept.
TEST(WholeUtf8Prefix, EndsAfterTheLastWholeCharacter) {
    static const char* const kChars[] = {"a", "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\xA0\x80\x80"};
    std::mt19937 gen(11);
    for (int round = 0; round < 200; ++round) {
        std::string text;
        std::vector<std::size_t> ends{0};
        while (text.size() < 40) {
            text += kChars[gen() % 4];
            ends.push_back(text.size());
        }
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            std::size_t whole = 0;
            for (const std::size_t end : ends) {
                whole = end <= cut ? end : whole;
            }
            ASSERT_EQ(WholeUtf8Prefix(std::string_view(text).substr(0, cut)), whole) << cut;
        }
    }
    EXPECT_EQ(WholeUtf8Prefix("a\x80\x80\x80"), 4u);
    EXPECT_EQ(WholeUtf8Prefix("\xE4\xB8\xAD\x80"), 4u);
}

}  // namespace
}  // namespace qs

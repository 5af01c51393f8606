#include "platform/icu_regex.h"

#include <gtest/gtest.h>

namespace qs {
namespace {

struct Row {
    const char* name;
    Text pattern;
    Text subject;
    std::vector<std::pair<std::size_t, std::size_t>> matches;  // start, length in bytes
};

TEST(IcuRegexEngineTest, MatchOffsetsAreBytesOfTheInternalText) {
    const Row rows[] = {
        {"ascii", "b", "abcb", {{1, 1}, {3, 1}}},
        // 中 (D6 D0) before b: offsets count both bytes
        {"after a double-byte character",
         "b",
         "\xD6\xD0"
         "b",
         {{2, 1}}},
        {"double-byte pattern", "\xD6\xD0", "a\xD6\xD0\xD6\xD0", {{1, 2}, {3, 2}}},
        // U+0080 as 81 30 81 30, then x
        {"four-byte sequence", ".x", Text("\x81\x30\x81\x30x", 5), {{0, 5}}},
        {"supplementary character", ".", "\x95\x32\x82\x36", {{0, 4}}},  // U+10000
        {"look-behind", "(?<!\\r)\\n", "\r\n\n", {{2, 1}}},
        {"empty matches", "x*", "ab", {{0, 0}, {1, 0}, {2, 0}}},
        {"empty subject", "a", "", {}},
        {"case-insensitive", "ABC", "xabc", {{1, 3}}},
        {"multi-line anchor", "^b", "a\nb", {{2, 1}}},
        {"zero byte", Text("\\x00", 4), Text("a\0b", 3), {{1, 1}}},
    };
    IcuRegexEngine engine;
    for (const auto& row : rows) {
        auto regex = engine.Compile(row.pattern, RegexFlags{});
        ASSERT_NE(regex, nullptr) << row.name;
        const auto found = regex->FindAll(row.subject);
        std::vector<std::pair<std::size_t, std::size_t>> got;
        for (const RegexMatch& m : found) {
            got.emplace_back(m.start, m.length);
        }
        EXPECT_EQ(got, row.matches) << row.name;
    }
}

TEST(IcuRegexEngineTest, LimitAndFlags) {
    IcuRegexEngine engine;
    auto regex = engine.Compile("a", RegexFlags{false, false});
    ASSERT_NE(regex, nullptr);
    EXPECT_EQ(regex->FindAll("aAaa", 2).size(), 2u);
    EXPECT_EQ(regex->FindAll("AAA").size(), 0u);
    EXPECT_EQ(engine.Compile("(", RegexFlags{}), nullptr);
    EXPECT_NE(engine.Compile("", RegexFlags{}), nullptr);
}

TEST(IcuRegexEngineTest, UndecodableBytesAreDistinct) {
    IcuRegexEngine engine;
    // A pattern holding the stray byte FF finds exactly that byte again.
    auto regex = engine.Compile("\xFF", RegexFlags{});
    ASSERT_NE(regex, nullptr);
    const auto found = regex->FindAll("a\xFF");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].start, 1u);
    EXPECT_TRUE(regex->FindAll("a\xFE").empty());
}

}  // namespace
}  // namespace qs

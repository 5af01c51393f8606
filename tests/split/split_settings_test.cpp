#include "split/split_state.h"

#include <gtest/gtest.h>

namespace qs {
namespace {

TEST(ParseLeadingIntTest, TakesTheLeadingInteger) {
    struct Row {
        const char* name;
        const char* text;
        std::int32_t expected;
    } rows[] = {
        {"plain", "42", 42},
        {"decimal truncated", "3.9", 3},
        {"negative", "-7x", -7},
        {"plus sign", "+5", 5},
        {"leading blanks", "  12", 12},
        {"no digits", "abc", 0},
        {"empty", "", 0},
        {"sign only", "-", 0},
        {"clamped high", "99999999999", 2147483647},
        {"clamped low", "-99999999999", -2147483647 - 1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ParseLeadingInt(row.text), row.expected) << row.name;
    }
}

TEST(ParseLeadingFloatTest, TakesTheLeadingDecimal) {
    EXPECT_EQ(ParseLeadingFloat("3.12KB"), 3.12f);
    EXPECT_EQ(ParseLeadingFloat(".5"), 0.5f);
    EXPECT_EQ(ParseLeadingFloat("-2"), -2.0f);
    EXPECT_EQ(ParseLeadingFloat("x1"), 0.0f);
    EXPECT_EQ(ParseLeadingFloat("."), 0.0f);
}

}  // namespace
}  // namespace qs

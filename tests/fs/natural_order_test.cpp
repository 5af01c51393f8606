#include "fs/natural_order.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/text.h"

namespace qs {
namespace {

TEST(NaturalLessTest, Pairs) {
    struct Row {
        const char* name;
        Text less;
        Text more;
    };
    const Row rows[] = {
        {"numbers by value", U("第2章"), U("第10章")},
        {"plain numbers", "9.txt", "10.txt"},
        {"letters without case", "apple", "Banana"},
        {"case only: bytes decide", "A", "a"},
        {"leading zeros: bytes decide", "01", "1"},
        {"prefix first", "a", "a1"},
        {"digits before letters", "a1", "ab"},
        {"long numbers", "99999999999999999998", "99999999999999999999"},
        {"ascii before double-byte", "z", U("中")},
        // 81 30 81 30 holds 30 bytes that are not digits
        {"four-byte sequence is no number", Text("\x81\x30\x81\x30", 4),
         Text("\x81\x30\x81\x31", 4)},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(NaturalLess(row.less, row.more)) << row.name;
        EXPECT_FALSE(NaturalLess(row.more, row.less)) << row.name;
        EXPECT_FALSE(NaturalLess(row.less, row.less)) << row.name;
    }
}

TEST(NaturalLessTest, SortsAListTotally) {
    std::vector<Text> names = {"b10", "B2", "b2", "a", "b02", "b1", "", "A"};
    std::sort(names.begin(), names.end(),
              [](const Text& x, const Text& y) { return NaturalLess(x, y); });
    const std::vector<Text> expected = {"", "A", "a", "b1", "B2", "b02", "b2", "b10"};
    EXPECT_EQ(names, expected);
}

}  // namespace
}  // namespace qs

#include "fs/natural_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "text/text.h"

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

// n (1..9999) in Chinese numerals as books write them: 十一, 一百零一, 一千零一十.
std::string Chinese(int n, bool formal) {
    static const char* const plain[] = {"零", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
    static const char* const upper[] = {"零", "壹", "贰", "叁", "肆", "伍", "陆", "柒", "捌", "玖"};
    static const char* const units[] = {"千", "百", "十", ""};
    static const char* const upperUnits[] = {"仟", "佰", "拾", ""};
    const int place[] = {n / 1000, n / 100 % 10, n / 10 % 10, n % 10};
    std::string out;
    bool zero = false;
    for (int k = 0; k < 4; ++k) {
        if (place[k] == 0) {
            zero = !out.empty();
            continue;
        }
        if (zero) {
            out += "零";
            zero = false;
        }
        if (!(k == 2 && place[k] == 1 && out.empty())) {
            out += (formal ? upper : plain)[place[k]];
        }
        out += (formal ? upperUnits : units)[k];
    }
    return out;
}

TEST(NaturalLessTest, ChaptersInEveryStyleSortByNumber) {
    std::vector<std::pair<int, Text>> chapters;
    for (int n = 1; n <= 1001; ++n) {
        std::string number;
        switch (n % 4) {
            case 0:
                number = std::to_string(n);
                break;
            case 1:
                number = Chinese(n, false);
                break;
            case 2:
                number = Chinese(n, true);
                break;
            default:
                for (const char c : std::to_string(n)) {
                    number += "０";
                    number.back() = static_cast<char>(number.back() + (c - '0'));
                }
        }
        chapters.emplace_back(n, U("第" + number + "章 风起"));
    }
    std::shuffle(chapters.begin(), chapters.end(), std::mt19937(14));
    std::sort(chapters.begin(), chapters.end(),
              [](const auto& x, const auto& y) { return NaturalLess(x.second, y.second); });
    for (int n = 1; n <= 1001; ++n) {
        ASSERT_EQ(chapters[static_cast<std::size_t>(n - 1)].first, n)
            << ToUtf8Lossy(chapters[static_cast<std::size_t>(n - 1)].second);
    }
    EXPECT_TRUE(NaturalLess(U("第两章"), U("第三章")));
    EXPECT_TRUE(NaturalLess(U("二〇二三年"), U("二〇二四年")));
    // Equal numbers: the rest of the name decides.
    EXPECT_TRUE(NaturalLess(U("第二章a"), U("第2章b")));
    EXPECT_TRUE(NaturalLess(U("第2章a"), U("第２章b")));
}

}  // namespace
}  // namespace qs

#include "text/numerals.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "text/text.h"

namespace qs {
namespace {

// The value alone is what the digits say: random runs of ASCII and full-width digits and of
// Chinese numerals, short and past 15 digits, with leading zeros, then a character that ends
// them.
TEST(NumeralsTest, ValueAgreesWithDigits) {
    const char* const parts[] = {"0",  "7",  "９", "０", "一", "〇",
                                 "十", "百", "千", "万", "两", "零"};
    std::mt19937 random(20261211);
    for (int round = 0; round < 20000; ++round) {
        Text text = random() % 4 == 0 ? U("第") : Text();
        const std::size_t at = text.size();
        const int digitsOnly = static_cast<int>(random() % 2);
        for (int k = static_cast<int>(random() % 22); k > 0; --k) {
            text += U(parts[random() % (digitsOnly ? 4 : 12)]);
        }
        text += U("章");
        const std::optional<NumberRun> run = ReadNumber(text, at);
        const NumberValue value = ReadNumberValue(text, at);
        ASSERT_EQ(run.has_value(), static_cast<bool>(value)) << text;
        if (run) {
            EXPECT_EQ(run->end, value.end) << text;
            const bool fits = run->digits.size() <= 15;
            EXPECT_EQ(value.Value(), fits ? std::optional(std::stoll(run->digits)) : std::nullopt)
                << text;
        }
    }
}

}  // namespace
}  // namespace qs

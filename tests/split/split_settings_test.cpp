#include "app/split_controls.h"
#include "split/split_state.h"

#include <gtest/gtest.h>

#include "split_fixture.h"

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

class SplitOptionsTest : public SplitFixture {};

TEST_F(SplitOptionsTest, FirstSelectedModeAndPieceSizes) {
    EXPECT_EQ(SplitParamsOf(form).mode.index(), 0u);
    Check(split_controls::CharsRadio());
    EXPECT_TRUE(std::holds_alternative<SplitByCharsParams>(SplitParamsOf(form).mode));

    // 3.12 in single precision times 1024, truncated.
    auto pieceBytes = [&] {
        return std::get<SplitBySizeParams>(SplitParamsOf(form).mode).PieceBytes();
    };
    Set(split_controls::ByteSizeEdit(), "3.12");
    form.SetSelectedIndex(split_controls::ByteUnitCombo(), 1);
    EXPECT_EQ(pieceBytes(), 3194);
    form.SetSelectedIndex(split_controls::ByteUnitCombo(), 3);
    EXPECT_EQ(pieceBytes(), static_cast<std::int64_t>(3.12f * 1073741824.0));
    EXPECT_GT(pieceBytes(), std::int64_t{1} << 31);
    form.SetSelectedIndex(split_controls::ByteUnitCombo(), -1);
    EXPECT_EQ(pieceBytes(), 3);
}

}  // namespace
}  // namespace qs

#include "app/window_jobs.h"

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/run_control.h"
#include "platform/services.h"
#include "support/quiet_ui.h"

namespace qs {
namespace {

// The split panel's mode controls on a bare form, nothing selected.
class SplitPanelTest : public ::testing::Test {
protected:
    SplitPanelTest() : m_override(Platform{nullptr, nullptr, nullptr, &ui}), form(U("主界面")) {
        using namespace names;
        Add(U("分组框分割"), ControlKind::GroupBox, Text());
        for (const std::string_view r : {ByParts, ByBytes, ByLines, ByChars, ByString}) {
            Add(U(r), ControlKind::RadioButton, U("分组框分割"));
        }
        for (const std::string_view e : {PartCount, ByteSize, LineMin, LineMax, CharMin, CharMax}) {
            Add(U(e), ControlKind::EditBox, U("分组框分割"));
        }
        Add(U(ByteUnit), ControlKind::ComboBox, U("分组框分割"));
        Add(U(ChapterSplit), ControlKind::CheckBox, U("分组框分割"));
        form.SetSelectedIndex(U(ByteUnit), 0);
    }

    void Add(const Text& name, ControlKind kind, const Text& parent) {
        Control c;
        c.name = name;
        c.kind = kind;
        c.parent = parent;
        form.Add(std::move(c));
    }

    QuietUi ui;
    ServicesOverride m_override;
    Form form;
};

TEST_F(SplitPanelTest, FirstSelectedModeAndPieceSizes) {
    EXPECT_EQ(SplitParamsOf(form).mode.index(), 0u);
    form.SetChecked(U(names::ByChars), true);
    EXPECT_TRUE(std::holds_alternative<SplitByCharsParams>(SplitParamsOf(form).mode));
    // A separator split with 按章节标题分割 is a split at the chapters.
    form.SetChecked(U(names::ByString), true);
    form.SetChecked(U(names::ChapterSplit), true);
    EXPECT_TRUE(std::holds_alternative<SplitAtChaptersParams>(SplitParamsOf(form).mode));

    // 3.12 in single precision times 1024, truncated.
    auto pieceBytes = [&] {
        return std::get<SplitBySizeParams>(SplitParamsOf(form).mode).PieceBytes();
    };
    form.SetChecked(U(names::ByBytes), true);
    form.SetText(U(names::ByteSize), "3.12");
    form.SetSelectedIndex(U(names::ByteUnit), 1);
    EXPECT_EQ(pieceBytes(), 3194);
    form.SetSelectedIndex(U(names::ByteUnit), 3);
    EXPECT_EQ(pieceBytes(), static_cast<std::int64_t>(3.12f * 1073741824.0));
    EXPECT_GT(pieceBytes(), std::int64_t{1} << 31);
    form.SetSelectedIndex(U(names::ByteUnit), -1);
    EXPECT_EQ(pieceBytes(), 3);
}

// A refused split shows the problem's message and puts the focus on the edit it concerns.
TEST_F(SplitPanelTest, ARefusalShowsItsMessageAndFocusesItsEdit) {
    bool stop = false;
    Text status;
    FailureList failures;
    WindowJobEvents events(form, JobKind::Split, stop, status, failures);
    const std::pair<SplitField, std::string_view> rows[] = {
        {SplitField::PartCount, names::PartCount},
        {SplitField::ByteSize, names::ByteSize},
        {SplitField::LineMin, names::LineMin},
        {SplitField::CharMin, names::CharMin},
    };
    for (const auto& [field, edit] : rows) {
        ui.messages.clear();
        form.SetFocus(Text());
        events.Refused({field, U("份数必须大于0")});
        ASSERT_EQ(ui.messages.size(), 1u) << edit;
        EXPECT_EQ(ui.messages[0].text, U("份数必须大于0")) << edit;
        EXPECT_EQ(form.Focused(), U(edit)) << edit;
    }
}

}  // namespace
}  // namespace qs

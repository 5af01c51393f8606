#include <gtest/gtest.h>

#include "support/headless_app.h"

namespace qs {
namespace {

struct Initial {
    std::string_view name;
    std::string_view text;
    bool checked;
};

TEST(MainWindowTest, FirstStartShowsTheInitialValues) {
    HeadlessApp h;
    Form& form = h.form();
    EXPECT_EQ(ToUtf8Lossy(form.Title()), "Qirnsplit v1.0.1.0 - 可拖放文件或文件夹");
    EXPECT_EQ(form.Left(), 50);
    EXPECT_EQ(form.Width(), 567);
    EXPECT_EQ(form.Height(), 494);
    EXPECT_EQ(form.Controls().size(), 48u);  // with the 更多选项 link
    EXPECT_EQ(ToUtf8Lossy(form.Controls().front()->name), "图片框1");
    EXPECT_EQ(ToUtf8Lossy(form.Controls().back()->name), "透明标签");

    const Initial rows[] = {
        {names::ByParts, "按份数", true},
        {names::PartCount, "100", false},
        {names::ByBytes, "按字节", false},
        {names::ByteSize, "3.12", false},
        {names::LineMin, "5", false},
        {names::LineMax, "10", false},
        {names::CharMin, "200", false},
        {names::CharMax, "500", false},
        {names::ByString, "按字符串", false},
        {names::SplitButton, "分割文件..", false},
        {names::SplitPattern, "*.*", false},
        {names::SplitDelete, "删除原文件", false},
        {names::SubfolderSave, "子目录保存", true},
        {names::RandomRename, "随机改名", false},
        {names::UseString, "使用字符串", true},
        {names::UseFile, "使用文件", false},
        {names::SeparatorText, "", false},
        {names::MergeButton, "合并文件..     ", false},
        {names::MergePattern, "*.*", false},
        {names::ParentSave, "父目录保存", true},
        {names::HandleEncoding, "处理文本编码", false},
        {names::UseNothing, "合并时不使用中间数据", false},
    };
    for (const Initial& row : rows) {
        SCOPED_TRACE(std::string(row.name));
        EXPECT_EQ(h.Caption(row.name), row.text);
        EXPECT_EQ(form.IsChecked(U(row.name)), row.checked);
    }
    EXPECT_EQ(form.Get(U(names::ByteUnit)).selectedIndex, 1);
    EXPECT_EQ(form.Get(U(names::ByteUnit)).items.size(), 4u);
    EXPECT_FALSE(form.Get(U(names::SplitPattern)).visible);
    EXPECT_EQ(form.Get(U(names::PartCount)).editType, EditType::Integer);
    EXPECT_EQ(form.Get(U(names::ByteSize)).editType, EditType::Decimal);
    EXPECT_TRUE(form.Get(U(names::SeparatorText)).multiLine);
    EXPECT_EQ(form.Get(U(names::LogoTimer)).period, 20);
    EXPECT_EQ(ToUtf8Lossy(form.Get(U(names::HomeLink)).url),
              "https://www.qirn.example/info.asp?id=189");

    // The created event ran the rules and embedded the status line.
    EXPECT_FALSE(h.Disabled(names::PartCount));
    EXPECT_TRUE(h.Disabled(names::ByteSize));
    EXPECT_TRUE(h.Disabled(names::SeparatorButton));
    EXPECT_TRUE(h.Disabled(names::SeparatorPath));
    const Control& status = form.Get(U(names::Status));
    EXPECT_EQ(status.parent, U(names::Progress));
    EXPECT_EQ(status.left, 10);
    EXPECT_EQ(status.top, 0);
    EXPECT_EQ(status.width, 518);
    EXPECT_EQ(status.height, 24);
}

TEST(MainWindowTest, SplitModeRules) {
    struct Row {
        const char* label;
        std::string_view radio;
        std::vector<std::string_view> enabled;
    };
    const std::vector<std::string_view> boxes = {
        names::PartCount, names::ByteSize,       names::ByteUnit,
        names::LineMin,   names::LineMax,        names::CharMin,
        names::CharMax,   names::SkipBlankLines, names::SeparatorButton};
    const Row rows[] = {
        {"parts", names::ByParts, {names::PartCount}},
        {"bytes", names::ByBytes, {names::ByteSize, names::ByteUnit}},
        {"lines", names::ByLines, {names::LineMin, names::LineMax, names::SkipBlankLines}},
        {"chars", names::ByChars, {names::CharMin, names::CharMax}},
        {"string", names::ByString, {names::SeparatorButton}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        HeadlessApp h;
        h.Click(row.radio);
        for (std::string_view box : boxes) {
            const bool shouldBeEnabled =
                std::find(row.enabled.begin(), row.enabled.end(), box) != row.enabled.end();
            EXPECT_EQ(!h.Disabled(box), shouldBeEnabled) << box;
        }
        for (std::string_view always :
             {names::SplitButton, names::SplitDelete, names::SubfolderSave, names::RandomRename}) {
            EXPECT_FALSE(h.Disabled(always)) << always;
        }
    }
}

TEST(MainWindowTest, RestoredSelectionGetsItsEnablingAtCreation) {
    HeadlessApp h(false);
    h.app.lifecycle.Attach(LifecyclePoint::CreatedBeforeRules, [&] {
        h.form().SetChecked(U(names::ByString), true);
        h.form().SetChecked(U(names::UseFile), true);
    });
    h.Open();
    EXPECT_FALSE(h.Disabled(names::SeparatorButton));
    EXPECT_TRUE(h.Disabled(names::PartCount));
    EXPECT_FALSE(h.Disabled(names::SeparatorPath));
    EXPECT_FALSE(h.Disabled(names::ChooseFileButton));
    EXPECT_TRUE(h.Disabled(names::SeparatorText));
}

TEST(MainWindowTest, SeparatorRules) {
    HeadlessApp h;
    h.Click(names::UseNothing);
    for (std::string_view c : {names::SeparatorText, names::LineBreakButton, names::PasteButton,
                               names::SeparatorPath, names::ChooseFileButton}) {
        EXPECT_TRUE(h.Disabled(c)) << c;
    }
    h.Click(names::UseString);
    EXPECT_FALSE(h.Disabled(names::SeparatorText));
    EXPECT_FALSE(h.Disabled(names::PasteButton));
    EXPECT_TRUE(h.Disabled(names::SeparatorPath));
}

TEST(MainWindowTest, LogoStaysInItsBandAndReverses) {
    HeadlessApp h;
    Form& form = h.form();
    const Control& logo = form.Get(U(names::Logo));
    const int lowest = 93 + 64 + 20 - 1;  // reverses one pixel past the icon bound
    const int highest = 567 - 20 + 1;     // and one pixel past the right bound
    int reversals = 0;
    int previous = logo.left;
    int direction = 1;
    for (int tick = 0; tick < 2000; ++tick) {
        form.Fire(U(names::LogoTimer), ControlEvent::TimerTick);
        const int step = logo.left - previous;
        ASSERT_EQ(std::abs(step), 1);
        if (step != direction) {
            ++reversals;
            direction = step;
        }
        previous = logo.left;
        ASSERT_GE(logo.left, lowest);
        ASSERT_LE(logo.left + logo.width, highest);
    }
    EXPECT_GE(reversals, 3);
}

TEST(MainWindowTest, HeaderLinksAndSeparatorButtons) {
    HeadlessApp h;
    h.Click(names::Logo);
    h.form().SetUrl(U(names::HomeLink), "https://elsewhere.example/");
    h.Click(names::HomePicture);
    ASSERT_EQ(h.ui.OpenedUrls().size(), 2u);
    EXPECT_EQ(h.ui.OpenedUrls()[0], "https://www.qirn.example/");
    EXPECT_EQ(h.ui.OpenedUrls()[1], "https://elsewhere.example/");

    h.form().SetText(U(names::SeparatorText), "old");
    h.Click(names::LineBreakButton);
    EXPECT_EQ(h.form().TextOf(U(names::SeparatorText)), "\r\n");
    EXPECT_EQ(h.form().Focused(), U(names::SeparatorText));
    h.ui.SetClipboard(std::string("a\0b", 3));
    h.Click(names::PasteButton);
    EXPECT_EQ(h.form().TextOf(U(names::SeparatorText)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace qs

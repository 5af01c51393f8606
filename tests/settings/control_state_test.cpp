#include "settings/control_state.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/services.h"
#include "support/quiet_ui.h"

namespace qs {
namespace {

Control Make(const char* name, ControlKind kind, const char* parent, const Text& text = Text(),
             bool checked = false) {
    Control c;
    c.name = U(name);
    c.kind = kind;
    c.parent = U(parent);
    c.text = text;
    c.checked = checked;
    return c;
}

// A small window with the stored kinds of the main window and two radio groups.
std::unique_ptr<Form> MakeForm() {
    auto form = std::make_unique<Form>(U("主界面"));
    form->Add(Make("分组框分割", ControlKind::GroupBox, ""));
    form->Add(Make("单选框按份数", ControlKind::RadioButton, "分组框分割", "", true));
    form->Add(Make("单选框按行数", ControlKind::RadioButton, "分组框分割"));
    form->Add(Make("单选框按字符串", ControlKind::RadioButton, "分组框分割"));
    form->Add(Make("编辑框份数", ControlKind::EditBox, "分组框分割", "100"));
    Control combo = Make("组合框字节单位", ControlKind::ComboBox, "分组框分割");
    combo.items = {"B", "KB", "MB", "GB"};
    combo.selectedIndex = 1;
    form->Add(combo);
    form->Add(Make("按钮输入字符串", ControlKind::Button, "分组框分割", U("输入字符串")));
    form->Add(Make("选择框子目录保存", ControlKind::CheckBox, "分组框分割", "", true));
    form->Add(Make("选择框随机改名", ControlKind::CheckBox, "分组框分割"));
    form->Add(Make("单选框使用字符串", ControlKind::RadioButton, "分组框合并", "", true));
    form->Add(Make("单选框使用文件", ControlKind::RadioButton, "分组框合并"));
    form->Add(Make("编辑框字符串", ControlKind::EditBox, "分组框合并"));
    form->Add(Make("按钮保密", ControlKind::Button, "分组框合并"));
    form->Add(Make("编辑框二进制", ControlKind::EditBox, "分组框合并"));
    form->Add(Make("标签1", ControlKind::Label, "分组框分割", "-"));
    return form;
}

class ControlStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qs_cs_XXXXXX";
        m_dir = ::mkdtemp(pattern);
        m_path = m_dir + "/Qirnsplit.ini";
    }
    void TearDown() override {
        CloseSettings();
        std::filesystem::remove_all(m_dir);
    }
    Bytes Disk() { return Fs().ReadWholeFile(m_path).value_or(""); }

    std::string m_dir;
    Text m_path;
    QuietUi m_ui;
    ServicesOverride m_override{Platform{nullptr, nullptr, nullptr, &m_ui}};
};

TEST_F(ControlStateTest, ChangedSettingsComeBackInAFreshForm) {
    const Bytes binary("x\0y", 3);
    {
        ASSERT_TRUE(OpenSettings(m_path));
        auto form = MakeForm();
        form->Click(U("单选框按字符串"));
        form->Click(U("单选框使用文件"));
        form->SetText(U("编辑框份数"), "7");
        form->SetText(U("编辑框字符串"), "line1\r\nline2\r\n");
        form->SetSelectedIndex(U("组合框字节单位"), 3);
        form->SetTag(U("按钮输入字符串"), U("第一章"));
        form->Click(U("选择框子目录保存"));
        form->Click(U("选择框随机改名"));
        form->SetTag(U("按钮保密"), U("禁止保存"));
        form->SetTag(U("编辑框二进制"), U("字节集方式"));
        form->SetText(U("编辑框二进制"), binary);
        SaveMainWindowStates(*form);
        CloseSettings();
    }
    EXPECT_EQ(Disk().find(U("按钮保密")), Bytes::npos);
    EXPECT_EQ(Disk().find(U("标签1")), Bytes::npos);
    EXPECT_EQ(Disk().find(U("编辑框二进制")), Bytes::npos);
    EXPECT_EQ(Fs().ReadWholeFile(m_dir + "/inibin/" + U("主界面-编辑框二进制") + ".ibn"), binary);

    ASSERT_TRUE(OpenSettings(m_path));
    auto form = MakeForm();
    form->SetTag(U("编辑框二进制"), U("字节集方式"));
    RestoreMainWindowStates(*form);
    EXPECT_FALSE(form->IsChecked(U("单选框按份数")));
    EXPECT_TRUE(form->IsChecked(U("单选框按字符串")));
    EXPECT_FALSE(form->IsChecked(U("单选框使用字符串")));
    EXPECT_TRUE(form->IsChecked(U("单选框使用文件")));
    EXPECT_EQ(form->TextOf(U("编辑框份数")), "7");
    EXPECT_EQ(form->TextOf(U("编辑框字符串")), "line1\r\nline2\r\n");
    EXPECT_EQ(form->Get(U("组合框字节单位")).selectedIndex, 3);
    EXPECT_EQ(form->Get(U("按钮输入字符串")).tag, U("第一章"));
    EXPECT_FALSE(form->IsChecked(U("选择框子目录保存")));
    EXPECT_TRUE(form->IsChecked(U("选择框随机改名")));
    EXPECT_EQ(form->TextOf(U("编辑框二进制")), binary);
    EXPECT_EQ(Settings()->Section(), U("主界面"));
}

TEST_F(ControlStateTest, FirstStartKeepsTheFormDefaults) {
    ASSERT_TRUE(OpenSettings(m_path));
    auto form = MakeForm();
    RestoreMainWindowStates(*form);
    EXPECT_TRUE(Fs().IsFile(m_path));
    EXPECT_TRUE(form->IsChecked(U("单选框按份数")));
    EXPECT_EQ(form->TextOf(U("编辑框份数")), "100");
    EXPECT_EQ(form->Get(U("组合框字节单位")).selectedIndex, 1);
    EXPECT_EQ(form->Get(U("按钮输入字符串")).tag, "");
}

TEST_F(ControlStateTest, RadioGroupKeepsOneSelectionOnInconsistentFiles) {
    const Text t = U("真"), f = U("假");
    const struct {
        const char* name;
        Text parts, lines, strings;  // stored values of the split group; empty: no entry
        const char* expected;
    } rows[] = {
        {"consistent", f, t, f, "单选框按行数"},
        {"only one entry", "", "", t, "单选框按字符串"},
        {"all false", f, f, f, "单选框按份数"},
        {"two true", f, t, t, "单选框按份数"},
        {"only a false entry for the selected one", f, "", "", "单选框按份数"},
    };
    for (const auto& row : rows) {
        Bytes file = "[" + U("主界面") + "]";
        const std::pair<const char*, Text> entries[] = {{"单选框按份数", row.parts},
                                                        {"单选框按行数", row.lines},
                                                        {"单选框按字符串", row.strings}};
        for (const auto& [key, value] : entries) {
            if (!value.empty()) {
                file += "\r\n" + U(key) + "=" + value;
            }
        }
        ASSERT_TRUE(Fs().WriteWholeFile(m_path, file));
        ASSERT_TRUE(OpenSettings(m_path));
        auto form = MakeForm();
        RestoreMainWindowStates(*form);
        int selected = 0;
        for (const char* name : {"单选框按份数", "单选框按行数", "单选框按字符串"}) {
            selected += form->IsChecked(U(name)) ? 1 : 0;
        }
        EXPECT_EQ(selected, 1) << row.name;
        EXPECT_TRUE(form->IsChecked(U(row.expected))) << row.name;
        EXPECT_TRUE(form->IsChecked(U("单选框使用字符串"))) << row.name;
    }
}

TEST_F(ControlStateTest, ComboIndexOutOfRangeIsIgnored) {
    for (const char* stored : {"9", "-5", "1.5", "1e300", "abc"}) {
        ASSERT_TRUE(Fs().WriteWholeFile(
            m_path, "[" + U("主界面") + "]\r\n" + U("组合框字节单位") + "=" + stored));
        ASSERT_TRUE(OpenSettings(m_path));
        auto form = MakeForm();
        RestoreMainWindowStates(*form);
        EXPECT_EQ(form->Get(U("组合框字节单位")).selectedIndex, 1) << stored;
    }
}

TEST_F(ControlStateTest, ListBoxItemsAndSelectionRoundTrip) {
    auto makeList = [] {
        auto form = std::make_unique<Form>(U("窗口"));
        Control list = Make("列表框文件", ControlKind::Label, "");
        form->Add(list);
        return form;
    };
    SettingsStore store;
    ASSERT_TRUE(store.OpenFile(m_path, m_dir));
    {
        auto form = makeList();
        form->SetItems(U("列表框文件"), {"a", "", "c"});
        form->SetSelectedIndex(U("列表框文件"), 2);
        SaveControlStates(store, *form, "W", {});
    }
    EXPECT_EQ(store.ReadText(U("列表框文件.选中"), ""), "2");
    auto form = makeList();
    RestoreControlStates(store, *form, "W", {});
    EXPECT_EQ(form->Get(U("列表框文件")).items, (TextList{"a", "", "c"}));
    EXPECT_EQ(form->Get(U("列表框文件")).selectedIndex, 2);
}

TEST_F(ControlStateTest, SaveNowConfirmsAndSkipsNamedControls) {
    ASSERT_TRUE(OpenSettings(m_path, Text(), [] { Ui().ProcessPendingEvents(); }));
    auto form = MakeForm();
    m_ui.pumps = 0;
    SaveSettingsNow(*form);
    ASSERT_EQ(m_ui.messages.size(), 1u);
    EXPECT_EQ(m_ui.messages[0].text, U("保存完毕！"));
    EXPECT_EQ(m_ui.messages[0].title, U("信息："));
    EXPECT_GE(m_ui.pumps, static_cast<int>(form->Controls().size()));

    SaveControlStates(*form, "Other", {U("编辑框份数")});
    Settings()->SetSection("Other");
    EXPECT_EQ(Settings()->ReadText(U("编辑框份数"), "none"), "none");
    EXPECT_EQ(Settings()->ReadText(U("编辑框字符串"), "none"), "none");  // empty content
    EXPECT_EQ(Settings()->ReadText(U("选择框子目录保存"), ""), U("真"));
}

}  // namespace
}  // namespace qs

#include "app/main_window.h"

#include <algorithm>

#include "platform/services.h"

namespace qs {
namespace {

struct ControlRow {
    std::string_view name;
    ControlKind kind;
    std::string_view parent;
    int left, top, width, height;
    std::string_view text = {};
};

Control Make(const ControlRow& s) {
    Control c;
    c.name = U(s.name);
    c.kind = s.kind;
    c.parent = s.parent.empty() ? Text() : U(s.parent);
    c.left = s.left;
    c.top = s.top;
    c.width = s.width;
    c.height = s.height;
    c.text = U(s.text);
    return c;
}

using K = ControlKind;

}  // namespace

std::unique_ptr<Form> BuildMainWindow() {
    auto form = std::make_unique<Form>(U(names::MainForm));
    form->SetTitle(U(kMainTitle));
    form->SetFormGeometry(50, 50, 567, 494);

    auto add = [&](const ControlRow& s) -> Control& { return form->Add(Make(s)); };
    auto edit = [&](const ControlRow& s, EditType type) -> Control& {
        Control& c = add(s);
        c.editType = type;
        return c;
    };
    using namespace names;

    add({Header, K::PictureBox, {}, 0, 0, 1000, 90});
    add({LogoTimer, K::Timer, Header, 0, 0, 0, 0}).period = 20;
    add({HeaderRule, K::Label, Header, -1, 88, 1200, 2});
    add({Logo, K::PictureButton, Header, 264, 12, 195, 64});
    add({SavePicture, K::PictureButton, Header, 15, 0, 64, 64});
    add({SaveLink, K::Hyperlink, Header, 15, 64, 64, 24, "保存配置"});
    add({HomePicture, K::PictureButton, Header, 93, 0, 64, 64});
    add({HomeLink, K::Hyperlink, Header, 93, 64, 64, 24, "软件主页"}).url = U(kProductPageUrl);
    // The options the panels have no room for: the links' row, after the two of them.
    add({MoreLink, K::Hyperlink, Header, 171, 64, 64, 24, "更多选项"});

    add({SplitPanel, K::GroupBox, {}, 16, 104, 256, 310, "分割"});
    add({ByParts, K::RadioButton, SplitPanel, 16, 24, 100, 24, "按份数"}).checked = true;
    edit({PartCount, K::EditBox, SplitPanel, 112, 24, 128, 24, "100"}, EditType::Integer);
    add({ByBytes, K::RadioButton, SplitPanel, 16, 56, 100, 24, "按字节"});
    edit({ByteSize, K::EditBox, SplitPanel, 112, 56, 61, 24, "3.12"}, EditType::Decimal);
    Control& unit = add({ByteUnit, K::ComboBox, SplitPanel, 177, 56, 63, 23});
    unit.items = {"B", "KB", "MB", "GB"};
    unit.selectedIndex = 1;
    add({ByLines, K::RadioButton, SplitPanel, 16, 88, 100, 24, "按行数"});
    edit({LineMin, K::EditBox, SplitPanel, 112, 88, 50, 24, "5"}, EditType::Integer);
    add({LineDash, K::Label, SplitPanel, 164, 88, 24, 24, "-"});
    edit({LineMax, K::EditBox, SplitPanel, 190, 88, 50, 24, "10"}, EditType::Integer);
    add({ByChars, K::RadioButton, SplitPanel, 16, 120, 100, 24, "按字符数"});
    edit({CharMin, K::EditBox, SplitPanel, 112, 120, 50, 24, "200"}, EditType::Integer);
    add({CharDash, K::Label, SplitPanel, 164, 120, 24, 24, "-"});
    edit({CharMax, K::EditBox, SplitPanel, 190, 120, 50, 24, "500"}, EditType::Integer);
    add({ByString, K::RadioButton, SplitPanel, 16, 152, 100, 24, "按字符串"});
    add({SeparatorButton, K::Button, SplitPanel, 112, 152, 128, 24, "输入字符串"});
    add({SplitButton, K::Button, SplitPanel, 16, 192, 224, 40, "分割文件.."});
    add({SplitPattern, K::EditBox, SplitPanel, 168, 200, 56, 24, "*.*"}).visible = false;
    add({SplitDelete, K::CheckBox, SplitPanel, 16, 240, 104, 24, "删除原文件"});
    add({SkipBlankLines, K::CheckBox, SplitPanel, 160, 240, 90, 24, "忽略空行"});
    add({SubfolderSave, K::CheckBox, SplitPanel, 16, 272, 120, 24, "子目录保存"}).checked = true;
    add({RandomRename, K::CheckBox, SplitPanel, 160, 272, 90, 24, "随机改名"});

    add({MergePanel, K::GroupBox, {}, 288, 104, 256, 310, "合并"});
    add({UseString, K::RadioButton, MergePanel, 16, 24, 160, 24, "使用字符串"}).checked = true;
    add({LineBreakButton, K::Button, MergePanel, 120, 24, 80, 24, "输入换行"});
    add({PasteButton, K::Button, MergePanel, 201, 24, 40, 24, "粘贴"});
    Control& separator = add({SeparatorText, K::EditBox, MergePanel, 16, 48, 225, 40});
    separator.multiLine = true;
    separator.verticalScrollBar = true;
    add({UseFile, K::RadioButton, MergePanel, 16, 96, 160, 24, "使用文件"});
    add({SeparatorPath, K::EditBox, MergePanel, 16, 120, 225, 24});
    add({ChooseFileButton, K::Button, MergePanel, 214, 122, 24, 20, ".."});
    add({UseNothing, K::RadioButton, MergePanel, 16, 152, 192, 24, "合并时不使用中间数据"});
    add({MergeButton, K::Button, MergePanel, 16, 192, 225, 40, "合并文件..     "});
    add({MergePattern, K::EditBox, MergePanel, 164, 200, 56, 24, "*.*"});
    add({MergeDelete, K::CheckBox, MergePanel, 16, 240, 104, 24, "删除原文件"});
    add({IncludeSubfolders, K::CheckBox, MergePanel, 136, 240, 112, 24, "遍历子目录"});
    add({ParentSave, K::CheckBox, MergePanel, 16, 272, 112, 24, "父目录保存"}).checked = true;
    add({HandleEncoding, K::CheckBox, MergePanel, 136, 272, 119, 24, "处理文本编码"});

    add({Progress, K::ProgressBar, {}, 16, 424, 528, 24});
    add({Status, K::TransparentLabel, {}, 24, 424, 504, 24});
    return form;
}

void ApplySplitModeRules(Form& form) {
    using namespace names;
    auto follow = [&](std::string_view dependant, std::string_view radio) {
        form.SetDisabled(U(dependant), !form.IsChecked(U(radio)));
    };
    follow(PartCount, ByParts);
    follow(ByteSize, ByBytes);
    follow(ByteUnit, ByBytes);
    follow(CharMin, ByChars);
    follow(CharMax, ByChars);
    follow(LineMin, ByLines);
    follow(LineMax, ByLines);
    follow(SkipBlankLines, ByLines);
    follow(SeparatorButton, ByString);
}

void ApplySeparatorRules(Form& form) {
    using namespace names;
    const bool useString = form.IsChecked(U(UseString));
    const bool useFile = form.IsChecked(U(UseFile));
    form.SetDisabled(U(SeparatorText), !useString);
    form.SetDisabled(U(LineBreakButton), !useString);
    form.SetDisabled(U(PasteButton), !useString);
    form.SetDisabled(U(SeparatorPath), !useFile);
    form.SetDisabled(U(ChooseFileButton), !useFile);
}

void EmbedStatusLabel(Form& form) {
    const Control& bar = form.Get(U(names::Progress));
    form.SetParent(U(names::Status), bar.name);
    form.SetGeometry(U(names::Status), 10, 0, bar.width - 10, bar.height);
}

void AnimateLogo(Form& form, bool& movingRight) {
    const Control& logo = form.Get(U(names::Logo));
    const Control& icon = form.Get(U(names::HomePicture));
    // The logo turns before the links' row ends, so that it never covers 更多选项.
    const Control* more = form.Find(U(names::MoreLink));
    const int leftBound =
        more ? std::max(icon.left + icon.width, more->left + more->width) : icon.left + icon.width;
    if (movingRight) {
        const int left = logo.left + 1;
        form.SetLeft(logo.name, left);
        if (left + logo.width > form.ClientWidth() - 20) {
            movingRight = false;
        }
    } else {
        const int left = logo.left - 1;
        form.SetLeft(logo.name, left);
        if (left < leftBound + 20) {
            movingRight = true;
        }
    }
}

void OpenUrl(const Text& url) {
    Ui().OpenUrl(url);
}

void WireMainWindow(Form& form) {
    using namespace names;
    for (std::string_view radio : {ByParts, ByBytes, ByLines, ByChars, ByString}) {
        form.On(U(radio), ControlEvent::Clicked, [&form] { ApplySplitModeRules(form); });
    }
    for (std::string_view radio : {UseString, UseFile, UseNothing}) {
        form.On(U(radio), ControlEvent::Clicked, [&form] { ApplySeparatorRules(form); });
    }
    auto movingRight = std::make_shared<bool>(true);
    form.On(U(LogoTimer), ControlEvent::TimerTick,
            [&form, movingRight] { AnimateLogo(form, *movingRight); });
    form.On(U(Logo), ControlEvent::Clicked, [] { OpenUrl(U(kHomePageUrl)); });
    form.On(U(HomePicture), ControlEvent::Clicked, [&form] { OpenUrl(form.Get(U(HomeLink)).url); });
    form.On(U(HomeLink), ControlEvent::Clicked, [&form] { OpenUrl(form.Get(U(HomeLink)).url); });
    form.On(U(LineBreakButton), ControlEvent::Clicked, [&form] {
        form.SetText(U(SeparatorText), "\r\n");
        form.SetFocus(U(SeparatorText));
    });
    form.On(U(PasteButton), ControlEvent::Clicked,
            [&form] { form.SetText(U(SeparatorText), Ui().ClipboardText()); });
}

}  // namespace qs

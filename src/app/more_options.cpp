#include "app/more_options.h"

#include <array>

#include "app/app.h"
#include "app/main_window.h"
#include "app/preview.h"
#include "encoding/output_text.h"
#include "platform/chinese_converter.h"
#include "platform/native_names.h"
#include "platform/services.h"

namespace qs {
namespace {

namespace mn = more_names;
using K = ControlKind;

// The choices of the two encoding boxes: what the user reads, and the command line's name
// (empty: the first item, no request).
struct Choice {
    std::string_view shown;
    std::string_view name;
};
constexpr std::array kOutputEncodings{
    Choice{"与原文件相同", ""},
    Choice{"UTF-8", "utf-8"},
    Choice{"UTF-8（带标记）", "utf-8-mark"},
    Choice{"GB18030", "gb18030"},
    Choice{"GBK", "gbk"},
    Choice{"Big5", "big5"},
    Choice{"Big5-HKSCS", "big5-hkscs"},
    Choice{"UTF-16LE", "utf-16le"},
    Choice{"UTF-16BE", "utf-16be"},
};
constexpr std::array kSourceEncodings{
    Choice{"自动识别", ""},         Choice{"UTF-8", "utf-8"},
    Choice{"GB18030", "gb18030"},   Choice{"GBK", "gbk"},
    Choice{"Big5", "big5"},         Choice{"Big5-HKSCS", "big5-hkscs"},
    Choice{"UTF-16LE", "utf-16le"}, Choice{"UTF-16BE", "utf-16be"},
};
constexpr std::array kZh{
    Choice{"不转换", ""},
    Choice{"繁体转简体", "t2s"},
    Choice{"简体转繁体", "s2t"},
    Choice{"繁体转台湾正体", "t2tw"},
    Choice{"简体转台湾正体", "s2tw"},
};

template <std::size_t N>
TextList Items(const std::array<Choice, N>& choices) {
    TextList items;
    for (const Choice& c : choices) {
        items.push_back(U(c.shown));
    }
    return items;
}

// The choice selected in a box; the first (the default) when the index is out of range.
template <std::size_t N>
const Choice& Chosen(const Form& more, std::string_view box, const std::array<Choice, N>& choices) {
    const Control* c = more.Find(U(box));
    const int i = c ? c->selectedIndex : 0;
    return choices[i >= 0 && static_cast<std::size_t>(i) < N ? static_cast<std::size_t>(i) : 0];
}

Control Make(std::string_view name, K kind, int left, int top, int width, int height,
             std::string_view caption = {}) {
    Control c;
    c.name = U(name);
    c.kind = kind;
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    c.text = U(caption);
    return c;
}

bool Checked(const Form& more, std::string_view name) {
    const Control* c = more.Find(U(name));
    return c && c->checked;
}

Text TextIn(const Form& more, std::string_view name) {
    const Control* c = more.Find(U(name));
    return c ? c->text : Text();
}

OutputRequest OutputOf(const Form& more) {
    OutputRequest request;
    request.encoding = ParseOutputEncoding(Chosen(more, mn::OutputEncoding, kOutputEncodings).name);
    request.zh = ParseZhConversion(Chosen(more, mn::Zh, kZh).name).value_or(ZhConversion::None);
    return request;
}

// The chapter options switch the others off while 按章节标题分割 is not ticked.
void FollowChapters(Form& more) {
    const bool on = more.IsChecked(U(mn::Chapters));
    for (std::string_view name : {mn::ChapterRule, mn::RuleFile, mn::ChooseRuleFile, mn::PerPiece,
                                  mn::PerVolume, mn::Epub}) {
        more.SetDisabled(U(name), !on);
    }
    if (on) {
        more.SetDisabled(U(mn::PerPiece), more.IsChecked(U(mn::PerVolume)));
    }
}

}  // namespace

std::unique_ptr<Form> BuildMoreOptions() {
    auto form = std::make_unique<Form>(U(mn::Form));
    form->SetTitle(U("更多选项"));
    form->SetFormGeometry(50, 50, 420, 436);
    auto add = [&](Control c) -> Control& { return form->Add(std::move(c)); };
    // A drop-down list of choices, the first (the default) selected.
    auto combo = [&](std::string_view name, int left, int top, int width, int height,
                     const TextList& items) {
        Control& c = add(Make(name, K::ComboBox, left, top, width, height));
        c.items = items;
        c.selectedIndex = 0;
    };
    auto label = [&](std::string_view name, int left, int top, std::string_view caption) {
        add(Make(name, K::Label, left, top, 84, 24, caption)).tag = U("禁止保存");
    };

    label("标签输出编码", 16, 16, "输出编码");
    combo(mn::OutputEncoding, 104, 16, 160, 23, Items(kOutputEncodings));
    label("标签繁简", 16, 48, "繁简");
    combo(mn::Zh, 104, 48, 160, 23, Items(kZh));
    label("标签源文件编码", 16, 80, "源文件编码");
    combo(mn::SourceEncoding, 104, 80, 160, 23, Items(kSourceEncodings));
    label("标签输出文件夹", 16, 112, "输出文件夹");
    add(Make(mn::OutputFolder, K::EditBox, 104, 112, 256, 24));
    add(Make(mn::ChooseOutputFolder, K::Button, 364, 112, 32, 24, ".."));
    add(Make(mn::Manifest, K::CheckBox, 16, 144, 160, 24, "生成校验清单"));
    add(Make(mn::Verify, K::Button, 240, 144, 156, 24, "校验/还原.."));

    add(Make(mn::Chapters, K::CheckBox, 16, 184, 200, 24, "按章节标题分割"));
    label("标签标题规则", 36, 212, "标题规则");
    add(Make(mn::ChapterRule, K::EditBox, 124, 212, 272, 24));
    label("标签规则列表", 36, 244, "规则列表");
    add(Make(mn::RuleFile, K::EditBox, 124, 244, 236, 24));
    add(Make(mn::ChooseRuleFile, K::Button, 364, 244, 32, 24, ".."));
    label("标签每份章节数", 36, 276, "每份章节数");
    Control& perPiece = add(Make(mn::PerPiece, K::EditBox, 124, 276, 60, 24, "1"));
    perPiece.editType = EditType::Integer;
    add(Make(mn::PerVolume, K::CheckBox, 204, 276, 140, 24, "每卷一份"));
    add(Make(mn::Epub, K::CheckBox, 36, 308, 200, 24, "生成EPUB电子书"));

    add(Make(mn::Preview, K::Button, 16, 352, 100, 28, "预览.."));
    add(Make(mn::Close, K::Button, 296, 352, 100, 28, "关闭")).defaultButton = true;
    for (std::string_view name :
         {mn::ChooseOutputFolder, mn::Verify, mn::ChooseRuleFile, mn::Preview, mn::Close}) {
        form->Get(U(name)).tag = U("禁止保存");
    }
    FollowChapters(*form);
    return form;
}

void ApplyMoreOptions(const Form& more, SplitParams& params, const RuleReader& rules) {
    params.output = OutputOf(more);
    params.manifest = Checked(more, mn::Manifest);
    if (!SplitsAtChapters(more)) {
        return;
    }
    SplitAtChaptersParams chapters;
    chapters.expression = TextIn(more, mn::ChapterRule);
    chapters.perPiece = std::max(1, ParseLeadingInt(TextIn(more, mn::PerPiece)));
    chapters.perVolume = Checked(more, mn::PerVolume);
    chapters.epub = Checked(more, mn::Epub);
    const Text ruleFile = TextIn(more, mn::RuleFile);
    if (!ruleFile.empty() && rules) {
        chapters.rules = rules(ruleFile);
    }
    params.mode = chapters;
}

void ApplyMoreOptions(const Form& more, MergeParams& params) {
    params.output = OutputOf(more);
    // Another encoding, or 繁简, needs the text: as --to does on the command line.
    if (!params.output.Empty()) {
        params.processTextEncoding = true;
    }
}

TextEncoding SourceEncodingOf(const Form& more) {
    const std::optional<TextFormat> named =
        ParseOutputEncoding(Chosen(more, mn::SourceEncoding, kSourceEncodings).name);
    return named ? FormatOf(*named).encoding : TextEncoding::Undetected;
}

Text OutputFolderOf(const Form& more) {
    return TextIn(more, mn::OutputFolder);
}

bool SplitsAtChapters(const Form& more) {
    return Checked(more, mn::Chapters);
}

Text MoreOptionsNote(const Form& more) {
    TextList parts;
    if (const Choice& c = Chosen(more, mn::OutputEncoding, kOutputEncodings); !c.name.empty()) {
        parts.push_back(U("输出 ") + U(c.shown));
    }
    if (const Choice& c = Chosen(more, mn::Zh, kZh); !c.name.empty()) {
        parts.push_back(U(c.shown));
    }
    if (const Choice& c = Chosen(more, mn::SourceEncoding, kSourceEncodings); !c.name.empty()) {
        parts.push_back(U("源文件按 ") + U(c.shown) + U(" 读取"));
    }
    if (!OutputFolderOf(more).empty()) {
        parts.push_back(U("输出到 ") + DisplayText(OutputFolderOf(more)));
    }
    if (Checked(more, mn::Manifest)) {
        parts.push_back(U("生成校验清单"));
    }
    if (SplitsAtChapters(more)) {
        parts.push_back(U(Checked(more, mn::Epub) ? "按章节标题分割（EPUB）" : "按章节标题分割"));
    }
    if (parts.empty()) {
        return Text();
    }
    Text note = U("更多选项：");
    for (std::size_t i = 0; i < parts.size(); ++i) {
        note += (i == 0 ? Text() : U("，")) + parts[i];
    }
    return note;
}

void WireMoreOptions(App& app) {
    Form& more = app.MoreForm();
    more.On(U(mn::Chapters), ControlEvent::Clicked, [&more] { FollowChapters(more); });
    more.On(U(mn::PerVolume), ControlEvent::Clicked, [&more] { FollowChapters(more); });
    more.On(U(mn::ChooseOutputFolder), ControlEvent::Clicked, [&more] {
        const Text chosen =
            Ui().ChooseFolder(more.TextOf(U(mn::OutputFolder)), U("选择输出文件夹"));
        if (!chosen.empty()) {
            more.SetText(U(mn::OutputFolder), chosen);
        }
    });
    more.On(U(mn::ChooseRuleFile), ControlEvent::Clicked, [&more] {
        const Text chosen = Ui().OpenFileDialog(U("选择标题规则列表"),
                                                U("规则列表(*.json)|*.json|所有文件(*.*)|*.*"),
                                                more.TextOf(U(mn::RuleFile)));
        if (!chosen.empty()) {
            more.SetText(U(mn::RuleFile), chosen);
        }
    });
    more.On(U(mn::Verify), ControlEvent::Clicked, [&app] {
        if (app.verifyManifest) {
            app.verifyManifest();
        }
    });
    more.On(U(mn::Preview), ControlEvent::Clicked, [&app] { PreviewChosenFiles(app); });
    more.On(U(mn::Close), ControlEvent::Clicked, [&more] { more.Close(); });
}

void ShowMoreOptions(App& app) {
    Form& more = app.MoreForm();
    if (more.IsOpen()) {
        return;
    }
    FollowChapters(more);
    more.MarkOpen();
    more.SetFocus(U(mn::Close));
    Ui().RunModal(more);
    more.Close();
    app.run.ShowIdleNote(MoreOptionsNote(more));
}

}  // namespace qs

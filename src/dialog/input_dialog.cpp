#include "dialog/input_dialog.h"

#include <cmath>

#include "app/app.h"
#include "app/main_window.h"
#include "platform/services.h"
#include "text/characters.h"

namespace qs {
namespace {

bool g_open = false;

Control Make(std::string_view name, ControlKind kind, std::string_view parent, int left, int top,
             int width, int height, std::string_view caption = {}) {
    Control c;
    c.name = U(name);
    c.kind = kind;
    c.parent = parent.empty() ? Text() : U(parent);
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    c.text = U(caption);
    return c;
}

int DropFraction(double value) {
    return static_cast<int>(std::trunc(value));
}

}  // namespace

std::unique_ptr<Form> BuildInputDialog() {
    using namespace names;
    using K = ControlKind;
    auto form = std::make_unique<Form>(U(InputDialog));
    form->SetFormGeometry(50, 50, 495, 393);
    Control& prompt = form->Add(Make(Prompt, K::EditBox, {}, 13, 8, 395, 33));
    prompt.readOnly = true;
    prompt.multiLine = true;
    Control& body = form->Add(Make(Body, K::EditBox, {}, 5, 56, 411, 168));
    body.multiLine = true;
    body.verticalScrollBar = true;
    form->Add(Make(BottomBar, K::ShapeBox, {}, 8, 320, 336, 34));
    form->Add(Make(RestoreButton, K::Button, BottomBar, 0, 5, 51, 24, "恢复"));
    form->Add(Make(ClearButton, K::Button, BottomBar, 54, 5, 51, 24, "清空"));
    form->Add(Make(DialogPasteButton, K::Button, BottomBar, 107, 5, 85, 24, "粘贴"));
    form->Add(Make(OkButton, K::Button, {}, 351, 328, 64, 24, "确定")).defaultButton = true;
    form->Add(Make(CancelButton, K::Button, {}, 414, 328, 64, 24, "取消"));
    return form;
}

int EstimatePromptHeight(const Text& prompt, int width) {
    const int perLine = width / 6;
    int rows = 0;
    for (const Text& line : SplitText(prompt, "\r\n")) {
        if (perLine <= 0) {
            ++rows;  // a box too narrow for one cell still shows a row per line
            continue;
        }
        const int length = static_cast<int>(line.size());
        const int whole = length / perLine;
        rows += whole == 0 ? 1 : (length % perLine == 0 ? whole : whole + 1);
    }
    return rows * 12;
}

void LayoutInputDialog(Form& dialog, const Text& prompt, int margin) {
    using namespace names;
    const int m = margin < 1 ? 5 : margin;
    const int w = dialog.ClientWidth();
    const int h = dialog.ClientHeight();
    const int promptWidth = w - 2 * m;
    const int promptHeight = EstimatePromptHeight(prompt, promptWidth);
    dialog.SetGeometry(U(Prompt), m, m, promptWidth, promptHeight);
    const Control& bar = dialog.Get(U(BottomBar));
    const int bodyTop = m + promptHeight + m;
    const int bodyHeight = h - bodyTop - bar.height;
    dialog.SetGeometry(U(Body), m, bodyTop, promptWidth, bodyHeight);
    dialog.SetGeometry(U(BottomBar), m, bodyTop + bodyHeight, bar.width, bar.height);
    const Control& cancel = dialog.Get(U(CancelButton));
    const Control& ok = dialog.Get(U(OkButton));
    const int buttonTop = DropFraction(bar.top + bar.height / 2.0 - cancel.height / 2.0);
    const int cancelLeft = w - m - cancel.width;
    dialog.SetGeometry(U(CancelButton), cancelLeft, buttonTop, cancel.width, cancel.height);
    dialog.SetGeometry(U(OkButton), cancelLeft - ok.width, buttonTop, ok.width, ok.height);
}

MessageResult ShowNotice(const Text& text, MessageButtons buttons, const Text& title,
                         bool defaultNo) {
    MessageRequest request;
    request.defaultNo = defaultNo;
    request.text = text;
    request.title = title.empty() ? U("Qirn：") : title;
    request.buttons = buttons;
    request.icon = MessageIcon::Information;
    request.systemModal = true;
    return Ui().ShowMessage(request);
}

bool InputDialogIsOpen() {
    return g_open;
}

bool ShowInputDialog(const Text& initialText, const Text& title, const Text& prompt, Text& text) {
    if (g_open) {
        return false;
    }
    using namespace names;
    InputDialogRequest request{prompt, title, initialText, 5};
    bool accepted = false;
    Text result;

    std::unique_ptr<Form> owned = BuildInputDialog();
    Form& form = *owned;
    const Text& body = U(Body);
    form.On(Text(), ControlEvent::Created, [&] {
        form.SetText(U(Prompt), request.prompt);
        form.SetTitle(request.title);
        form.SetText(body, request.initialText);
        accepted = false;
        result.clear();
        request.margin = 5;
        const double sw = Ui().ScreenWidth(), sh = Ui().ScreenHeight();
        const int left = DropFraction(sw / 2 - form.Width() / 2.0);
        const int top = DropFraction((sh - 30) / 2 - form.Height() / 2.0);
        form.SetFormGeometry(left, top, form.Width(), form.Height());
        LayoutInputDialog(form, request.prompt, request.margin);
        form.SetFocus(body);
    });
    form.On(Text(), ControlEvent::Resized,
            [&] { LayoutInputDialog(form, request.prompt, request.margin); });
    form.SetCloseCheck([&] {
        if (form.TextOf(body) == request.initialText) {
            return true;
        }
        // Enter keeps the edits: only a deliberate 是 discards them.
        return ShowNotice(U("内容已被改动，是否要放弃？"), MessageButtons::YesNo, Text(), true) ==
               MessageResult::Yes;
    });
    form.On(U(ClearButton), ControlEvent::Clicked, [&] { form.SetText(body, Text()); });
    form.On(U(RestoreButton), ControlEvent::Clicked, [&] {
        if (!request.initialText.empty()) {
            form.SetText(body, request.initialText);
        } else {
            ShowNotice(U("启动值为空！"));
        }
    });
    form.On(U(DialogPasteButton), ControlEvent::Clicked,
            [&] { form.SetText(body, Ui().ClipboardText()); });
    form.On(U(OkButton), ControlEvent::Clicked, [&] {
        result = form.TextOf(body);
        accepted = true;
        form.Close();
    });
    form.On(U(CancelButton), ControlEvent::Clicked, [&] { form.Close(); });

    g_open = true;
    form.MarkOpen();
    form.Fire(Text(), ControlEvent::Created);
    Ui().RunModal(form);
    g_open = false;
    if (accepted) {
        text = result;
    }
    return accepted;
}

void EditSplitSeparator(Form& mainForm) {
    const Text& button = U(names::SeparatorButton);
    const Text title =
        U("请输入用于分割的字符串，这些字符串必然多次出现在目标文件中，这样才能以此为分割点");
    Text separator;
    // The title bar cuts the instructions off: the prompt box shows them whole, in two lines.
    const Text prompt =
        U("请输入用于分割的字符串，这些字符串必然多次出现在目标文件中，\r\n这样才能以此为分割点");
    if (ShowInputDialog(mainForm.Get(button).tag, title, prompt, separator)) {
        mainForm.SetTag(button, separator);
    }
}

void WireInputDialog(App& app) {
    Form& form = app.MainForm();
    form.On(U(names::SeparatorButton), ControlEvent::Clicked,
            [&form] { EditSplitSeparator(form); });
}

}  // namespace qs

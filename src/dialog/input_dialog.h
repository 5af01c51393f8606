#pragma once

#include <string_view>

#include "app/control_model.h"
#include "platform/ui_services.h"

namespace qs {

class App;

namespace names {
inline constexpr std::string_view InputDialog = "InputDialog";
inline constexpr std::string_view Prompt = "编辑框提示";
inline constexpr std::string_view Body = "编辑框正文";
inline constexpr std::string_view BottomBar = "外形框";
inline constexpr std::string_view RestoreButton = "按钮恢复";
inline constexpr std::string_view ClearButton = "按钮清空";
inline constexpr std::string_view DialogPasteButton = "按钮粘贴";
inline constexpr std::string_view OkButton = "按钮确定";
inline constexpr std::string_view CancelButton = "按钮取消";
}  // namespace names

struct InputDialogRequest {
    Text prompt;
    Text title;
    Text initialText;
    int margin = 5;
};

// The dialog form with its controls at their initial places, nothing wired.
std::unique_ptr<Form> BuildInputDialog();

// Opens the dialog modally. False at once when it is already open; otherwise returns
// whether it was accepted, and then (only then) stores the edited text into text.
bool ShowInputDialog(const Text& initialText, const Text& title, const Text& prompt, Text& text);
bool InputDialogIsOpen();

// Edits the split separator kept in the tag of 按钮输入字符串; the instructions stand in the
// title and in the prompt box.
void EditSplitSeparator(Form& mainForm);
// Connects 按钮输入字符串 of the app's main window to EditSplitSeparator.
void WireInputDialog(App& app);

void LayoutInputDialog(Form& dialog, const Text& prompt, int margin);
// Rows of a 6 by 12 pixel cell needed by the prompt at the given width, in pixels.
int EstimatePromptHeight(const Text& prompt, int width);

// An information message box, system-modal; an empty title becomes "Qirn：". defaultNo:
// Enter answers No.
MessageResult ShowNotice(const Text& text, MessageButtons buttons = MessageButtons::Ok,
                         const Text& title = Text(), bool defaultNo = false);

}  // namespace qs

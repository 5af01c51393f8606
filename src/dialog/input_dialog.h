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
// whether it was accepted, and then (only then) stores the edited text into text. With
// chapterSplit the check box "按章节标题分割" is shown with that state (the body disabled
// while it is ticked) and its state is stored back on acceptance; with epubBook as well, so
// is "生成EPUB电子书" beside it (enabled while 按章节标题分割 is ticked).
bool ShowInputDialog(const Text& initialText, const Text& title, const Text& prompt, Text& text,
                     bool* chapterSplit = nullptr, bool* epubBook = nullptr);
bool InputDialogIsOpen();

// Edits the split separator kept in the tag of 按钮输入字符串, whether the split goes by
// chapter headings instead (选择框按章节标题分割 of the main window) and whether it makes
// a book of them (选择框生成EPUB电子书).
void EditSplitSeparator(Form& mainForm);
// Connects 按钮输入字符串 of the app's main window to EditSplitSeparator.
void WireInputDialog(App& app);

void LayoutInputDialog(Form& dialog, const Text& prompt, int margin);
// Rows of a 6 by 12 pixel cell needed by the prompt at the given width, in pixels.
int EstimatePromptHeight(const Text& prompt, int width);

// An information message box, system-modal; an empty title becomes "Qirn：".
MessageResult ShowNotice(const Text& text, MessageButtons buttons = MessageButtons::Ok,
                         const Text& title = Text());

}  // namespace qs

#pragma once

#include <cstdint>

#include "platform/code_page.h"

namespace qs {

class Form;

// Message-box buttons, icons and answers, numbered as the desktop's traditional style values.
enum class MessageButtons : int { Ok = 0, OkCancel = 1, YesNo = 4 };
enum class MessageIcon : int { None = 0, Warning = 0x30, Information = 0x40 };
enum class MessageResult : int {
    Ok = 0,
    Cancel = 1,
    Abort = 2,
    Retry = 3,
    Ignore = 4,
    Yes = 5,
    No = 6
};

struct MessageRequest {
    Text text;
    Text title;  // already defaulted by the caller ("信息：" when none was given)
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    bool systemModal = false;
    Text details;  // shown on request, copyable; empty: none
    // The button Enter presses: No, for a question whose Yes loses something.
    bool defaultNo = false;
};

// The services of the desktop that the program uses. Qt implements them for the real
// window; tests use the scripted implementation, which answers from queues and records.
class UiServices {
public:
    virtual ~UiServices() = default;

    virtual MessageResult ShowMessage(const MessageRequest& request) = 0;

    // Multi-selection open dialog: the chosen full paths; none when cancelled. The filter is
    // "|"-separated alternating descriptions and patterns.
    virtual TextList OpenFilesDialog(const Text& title, const Text& filter,
                                     const Text& initialFolder) = 0;
    // Single-file open dialog: one full path; empty when cancelled.
    virtual Text OpenFileDialog(const Text& title, const Text& filter,
                                const Text& initialFolder) = 0;
    // Folder chooser with the initial folder preselected; empty when cancelled.
    virtual Text ChooseFolder(const Text& initialFolder, const Text& title) = 0;

    // The clipboard's plain text; empty when it holds none.
    virtual Text ClipboardText() = 0;

    // Dispatches pending events; must be cheap enough to call once per line of a file.
    virtual void ProcessPendingEvents() = 0;
    // Whether Ctrl is held now (or was pressed since the last probe).
    virtual bool IsCtrlDown() = 0;

    // Opens a folder in the desktop's file manager (a new window where there is one).
    virtual bool OpenFolder(const Text& folder) = 0;
    // Opens a URL or document with the desktop's handler.
    virtual bool OpenUrl(const Text& url) = 0;

    // Shows a form as a modal window and returns when the form has been closed
    // (Form::RequestClose accepted).
    virtual void RunModal(Form& form) = 0;

    // Screen size in pixels, for centring dialogs.
    virtual int ScreenWidth() = 0;
    virtual int ScreenHeight() = 0;
};

}  // namespace qs

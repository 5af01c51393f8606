#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/control_model.h"
#include "platform/ui_services.h"

namespace qs {

// The desktop for tests: answers come from queues filled by the test, every call is
// recorded, and ProcessPendingEvents runs the actions the test scheduled for it, so a
// stop or a nested job can be triggered at an exact point of a running loop.
class ScriptedUi : public UiServices {
public:
    using Action = std::function<void()>;
    using ModalScript = std::function<void(Form&)>;

    struct DialogCall {
        enum Kind { OpenFiles, OpenFile, ChooseFolder } kind = OpenFiles;
        Text title;
        Text filter;  // empty for the folder chooser
        Text initialFolder;
    };

    // Message boxes: queued answers first; when none is left, the default answer (settable)
    // or, without one, OK for OK boxes, Cancel for OK/Cancel and No for Yes/No.
    void QueueAnswer(MessageResult result) { m_answers.push_back(result); }
    void SetDefaultAnswer(std::optional<MessageResult> result) { m_defaultAnswer = result; }

    // Dialog answers; an empty queue means the user cancelled.
    void QueueOpenFiles(const TextList& paths) { m_openFiles.push_back(paths); }
    void QueueOpenFile(const Text& path) { m_openFile.push_back(path); }
    void QueueFolder(const Text& folder) { m_folders.push_back(folder); }

    void SetClipboard(const Text& text) { m_clipboard = text; }
    void SetCtrlDown(bool down) { m_ctrlDown = down; }
    void SetScreenSize(int width, int height);

    // Scripts for RunModal, one per modal window shown. After the script (or without one)
    // a form that is still open is closed without its close check, i.e. cancelled.
    void QueueModal(ModalScript script) { m_modals.push_back(std::move(script)); }

    // Runs action at the k-th ProcessPendingEvents call from now (k >= 1).
    void AtPump(int k, Action action);
    // Runs action at every ProcessPendingEvents call.
    void EveryPump(Action action) { m_everyPump.push_back(std::move(action)); }
    // Calls so far (since the last reset); scheduled actions keep their distance.
    int PumpCount() const { return m_pumps; }
    void ResetPumpCount();
    void ClearPumpActions();

    // Records.
    const std::vector<MessageRequest>& Messages() const { return m_messages; }
    const std::vector<DialogCall>& Dialogs() const { return m_dialogs; }
    const TextList& OpenedFolders() const { return m_openedFolders; }
    const TextList& OpenedUrls() const { return m_openedUrls; }
    const TextList& ModalForms() const { return m_modalForms; }
    int CtrlProbes() const { return m_ctrlProbes; }
    void ClearRecords();

    // The last message's text as UTF-8 (empty when none was shown), for assertions.
    std::string LastMessageUtf8() const;

    MessageResult ShowMessage(const MessageRequest& request) override;
    TextList OpenFilesDialog(const Text& title, const Text& filter,
                             const Text& initialFolder) override;
    Text OpenFileDialog(const Text& title, const Text& filter, const Text& initialFolder) override;
    Text ChooseFolder(const Text& initialFolder, const Text& title) override;
    Text ClipboardText() override { return m_clipboard; }
    void ProcessPendingEvents() override;
    bool IsCtrlDown() override;
    bool OpenFolder(const Text& folder) override;
    bool OpenUrl(const Text& url) override;
    void RunModal(Form& form) override;
    int ScreenWidth() override { return m_screenWidth; }
    int ScreenHeight() override { return m_screenHeight; }

private:
    struct Scheduled {
        int due;
        Action action;
    };

    std::deque<MessageResult> m_answers;
    std::optional<MessageResult> m_defaultAnswer;
    std::deque<TextList> m_openFiles;
    std::deque<Text> m_openFile, m_folders;
    std::deque<ModalScript> m_modals;
    Text m_clipboard;
    bool m_ctrlDown = false;
    int m_ctrlProbes = 0;
    int m_screenWidth = 1024, m_screenHeight = 768;

    int m_pumps = 0;
    std::vector<Scheduled> m_scheduled;
    std::vector<Action> m_everyPump;

    std::vector<MessageRequest> m_messages;
    std::vector<DialogCall> m_dialogs;
    TextList m_openedFolders, m_openedUrls, m_modalForms;
};

}  // namespace qs

#include "support/scripted_ui.h"

#include "app/control_model.h"

namespace qs {
namespace {

template <typename T>
T PopOr(std::deque<T>& queue, T fallback) {
    if (queue.empty()) {
        return fallback;
    }
    T front = std::move(queue.front());
    queue.pop_front();
    return front;
}

}  // namespace

void ScriptedUi::SetScreenSize(int width, int height) {
    m_screenWidth = width;
    m_screenHeight = height;
}

void ScriptedUi::AtPump(int k, Action action) {
    m_scheduled.push_back({m_pumps + (k < 1 ? 1 : k), std::move(action)});
}

void ScriptedUi::ResetPumpCount() {
    for (Scheduled& s : m_scheduled) {
        s.due -= m_pumps;
    }
    m_pumps = 0;
}

void ScriptedUi::ClearPumpActions() {
    m_scheduled.clear();
    m_everyPump.clear();
}

void ScriptedUi::ClearRecords() {
    m_messages.clear();
    m_dialogs.clear();
    m_openedFolders.clear();
    m_openedUrls.clear();
    m_modalForms.clear();
    m_ctrlProbes = 0;
}

std::string ScriptedUi::LastMessageUtf8() const {
    return m_messages.empty() ? std::string() : ToUtf8Lossy(m_messages.back().text);
}

MessageResult ScriptedUi::ShowMessage(const MessageRequest& request) {
    m_messages.push_back(request);
    if (!m_answers.empty()) {
        return PopOr(m_answers, MessageResult::Ok);
    }
    if (m_defaultAnswer) {
        return *m_defaultAnswer;
    }
    switch (request.buttons) {
        case MessageButtons::OkCancel:
            return MessageResult::Cancel;
        case MessageButtons::YesNo:
            return MessageResult::No;
        default:
            return MessageResult::Ok;
    }
}

TextList ScriptedUi::OpenFilesDialog(const Text& title, const Text& filter,
                                     const Text& initialFolder) {
    m_dialogs.push_back({DialogCall::OpenFiles, title, filter, initialFolder});
    return PopOr(m_openFiles, TextList());
}

Text ScriptedUi::OpenFileDialog(const Text& title, const Text& filter, const Text& initialFolder) {
    m_dialogs.push_back({DialogCall::OpenFile, title, filter, initialFolder});
    return PopOr(m_openFile, Text());
}

Text ScriptedUi::ChooseFolder(const Text& initialFolder, const Text& title) {
    m_dialogs.push_back({DialogCall::ChooseFolder, title, Text(), initialFolder});
    return PopOr(m_folders, Text());
}

void ScriptedUi::ProcessPendingEvents() {
    ++m_pumps;
    // Actions may schedule further actions or pump again; take the due ones out first.
    std::vector<Action> due;
    for (auto it = m_scheduled.begin(); it != m_scheduled.end();) {
        if (it->due <= m_pumps) {
            due.push_back(std::move(it->action));
            it = m_scheduled.erase(it);
        } else {
            ++it;
        }
    }
    const std::vector<Action> every = m_everyPump;
    for (const Action& action : every) {
        action();
    }
    for (const Action& action : due) {
        action();
    }
}

bool ScriptedUi::IsCtrlDown() {
    ++m_ctrlProbes;
    return m_ctrlDown;
}

bool ScriptedUi::OpenFolder(const Text& folder) {
    m_openedFolders.push_back(folder);
    return true;
}

bool ScriptedUi::OpenUrl(const Text& url) {
    m_openedUrls.push_back(url);
    return true;
}

void ScriptedUi::RunModal(Form& form) {
    m_modalForms.push_back(form.Name());
    form.MarkOpen();
    ModalScript script = PopOr(m_modals, ModalScript());
    if (script) {
        script(form);
    }
    if (form.IsOpen()) {
        form.Close();
    }
}

}  // namespace qs

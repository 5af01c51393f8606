#pragma once

#include <QString>
#include <cstdint>

#include "platform/ui_services.h"

class QApplication;

namespace qs {

// The desktop services on Qt. Dialog methods stay virtual so that tests can answer them
// while the event pump, the modal forms and the rest stay real.
class QtUi : public UiServices {
public:
    MessageResult ShowMessage(const MessageRequest& request) override;
    TextList OpenFilesDialog(const Text& title, const Text& filter,
                             const Text& initialFolder) override;
    Text OpenFileDialog(const Text& title, const Text& filter, const Text& initialFolder) override;
    Text ChooseFolder(const Text& initialFolder, const Text& title) override;
    Text ClipboardText() override;
    void ProcessPendingEvents() override;
    bool IsCtrlDown() override;
    bool OpenFolder(const Text& folder) override;
    bool OpenUrl(const Text& url) override;
    void RunModal(Form& form) override;
    int ScreenWidth() override;
    int ScreenHeight() override;

    // How many times ProcessPendingEvents actually dispatched (for measurements).
    std::uint64_t Dispatches() const { return m_dispatches; }

private:
    std::int64_t m_lastDispatch = 0;
    std::uint64_t m_dispatches = 0;
};

// "文本文件|*.txt;*.htm|所有文件|*.*" → "文本文件 (*.txt *.htm);;所有文件 (*)".
QString ToQtFilter(const Text& filter);

// The program's look: the desktop's small font, with Chinese drawn in the installed CJK face.
void ApplyDesktopLook(QApplication& application);

}  // namespace qs

#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <deque>
#include <functional>
#include <vector>

#include "gui/qt_ui.h"
#include "text/text.h"

namespace qs::testing {

// The one QApplication of the test program, on the offscreen platform unless told otherwise.
QApplication& App();

// Runs the real event loop until the condition holds or the time is up.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Types the text into the widget as key presses and releases, one per character.
void TypeInto(QWidget* widget, const QString& text);
// Types the text into a window as the window system delivers keys: to whatever inside it has
// the keyboard focus, or to nothing.
void TypeIntoWindow(QWidget* window, const QString& text);

// The real Qt services with the dialogs answered by the test: messages from a queue (the
// first button when the queue is empty), file and folder choices from queues (cancelled
// when empty). Every message shown is recorded.
class AnsweringUi : public QtUi {
public:
    MessageResult ShowMessage(const MessageRequest& request) override;
    TextList OpenFilesDialog(const Text& title, const Text& filter,
                             const Text& initialFolder) override;
    Text OpenFileDialog(const Text& title, const Text& filter, const Text& initialFolder) override;
    Text ChooseFolder(const Text& initialFolder, const Text& title) override;
    bool OpenFolder(const Text& folder) override;
    bool OpenUrl(const Text& url) override;

    std::deque<MessageResult> answers;
    std::deque<Text> files;
    std::deque<Text> folders;
    std::vector<MessageRequest> shown;
    std::vector<Text> opened;
    // Runs while a message is "on screen", before its answer is taken.
    std::function<void(const MessageRequest&)> onMessage;
};

}  // namespace qs::testing

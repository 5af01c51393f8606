#include "qt_harness.h"

#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <cstdlib>

namespace qs::testing {

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        auto* created = new QApplication(argc, argv);
        ApplyDesktopLook(*created);
        return created;
    }();
    return *application;
}

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void TypeInto(QWidget* widget, const QString& text) {
    for (const QChar character : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(character));
        QApplication::sendEvent(widget, &release);
    }
}

void TypeIntoWindow(QWidget* window, const QString& text) {
    for (const QChar character : text) {
        QTest::sendKeyEvent(QTest::Click, window->windowHandle(), Qt::Key_unknown,
                            QString(character), Qt::NoModifier);
    }
}

MessageResult AnsweringUi::ShowMessage(const MessageRequest& request) {
    shown.push_back(request);
    if (onMessage) {
        onMessage(request);
    }
    if (answers.empty()) {
        return request.buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
    }
    const MessageResult answer = answers.front();
    answers.pop_front();
    return answer;
}

Text AnsweringUi::OpenFileDialog(const Text&, const Text&, const Text&) {
    if (files.empty()) {
        return Text();
    }
    Text answer = files.front();
    files.pop_front();
    return answer;
}

TextList AnsweringUi::OpenFilesDialog(const Text& title, const Text& filter, const Text& initial) {
    Text answer = OpenFileDialog(title, filter, initial);
    return answer.empty() ? TextList() : TextList{answer};
}

Text AnsweringUi::ChooseFolder(const Text&, const Text&) {
    if (folders.empty()) {
        return Text();
    }
    Text answer = folders.front();
    folders.pop_front();
    return answer;
}

bool AnsweringUi::OpenFolder(const Text& folder) {
    opened.push_back(folder);
    return true;
}

bool AnsweringUi::OpenUrl(const Text& url) {
    opened.push_back(url);
    return true;
}

}  // namespace qs::testing

#pragma once

#include <memory>

#include "platform/services.h"
#include "text/text.h"

class QApplication;

namespace qs {

class App;
class FormWindow;

// The main window of an App on Qt: the form's widgets with their pictures, and the panels
// the App registered for drops connected to its drop delivery.
class QtMainWindow {
public:
    explicit QtMainWindow(App& app);
    ~QtMainWindow();
    QtMainWindow(const QtMainWindow&) = delete;
    QtMainWindow& operator=(const QtMainWindow&) = delete;

    FormWindow& Window() { return *m_window; }
    // Connects every panel registered so far (the App registers them when the window is
    // created).
    void AttachDrops();

private:
    App& m_app;
    std::unique_ptr<FormWindow> m_window;
};

// The settings store on the given file for the program's lifecycle: opened at start-up,
// restored into the window before its rules, saved when it closes, closed at exit, and
// saved on demand from the save picture and link.
void WireSettings(App& app, const Text& settingsPath);

// The whole program on Qt: start-up, the window, Qt's event loop until the window has
// closed, shut-down. Paths given (full, e.g. by the desktop's menu entry) arrive as a drop on
// the split panel once the window is up. Returns the exit code.
int RunQtProgram(App& app, QApplication& application, const TextList& opened = {});

}  // namespace qs

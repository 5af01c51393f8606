#include "platform/qt/qt_program.h"

#include <QApplication>

#include "app/app.h"
#include "app/drag_drop.h"
#include "app/startup.h"
#include "platform/qt/form_window.h"
#include "platform/qt/main_window_view.h"

namespace qs {

QtMainWindow::QtMainWindow(App& app)
    : m_app(app), m_window(std::make_unique<FormWindow>(app.MainForm())) {
    DecorateMainWindow(m_window->View());
}

QtMainWindow::~QtMainWindow() = default;

void QtMainWindow::AttachDrops() {
    for (const Text& panel : m_app.drops.registeredPanels) {
        App* app = &m_app;
        m_window->View().SetDropHandler(
            panel, [app, panel](const TextList& paths) { DeliverDrop(*app, panel, paths); });
    }
}

int RunQtProgram(App& app, QApplication& application) {
    QtMainWindow main(app);
    return RunProgram(app, [&] {
        main.AttachDrops();
        main.Window().show();
        application.exec();
    });
}

}  // namespace qs

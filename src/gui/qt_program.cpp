#include "gui/qt_program.h"

#include <QApplication>

#include "app/app.h"
#include "app/drag_drop.h"
#include "app/main_window.h"
#include "app/run_control.h"
#include "app/startup.h"
#include "gui/form_window.h"
#include "gui/main_window_view.h"
#include "settings/control_state.h"

namespace qs {

QtMainWindow::QtMainWindow(App& app)
    : m_app(app), m_window(std::make_unique<FormWindow>(app.MainForm())) {
    DecorateMainWindow(m_window->View());
    // The bar shows the job's own measure, which moves within one large file too, by the
    // bytes of it read so far.
    m_window->View().SetProgressDetail(U(names::Progress),
                                       [this] { return m_app.run.progress.Fraction(); });
}

QtMainWindow::~QtMainWindow() = default;

void QtMainWindow::AttachDrops() {
    for (const Text& panel : m_app.drops.registeredPanels) {
        App* app = &m_app;
        m_window->View().SetDropHandler(
            panel, [app, panel](const TextList& paths) { DeliverDrop(*app, panel, paths); });
    }
}

void WireSettings(App& app, const Text& settingsPath) {
    Form& form = app.MainForm();
    Form& more = app.MoreForm();
    // 更多选项 keeps its states in a section of its own: the main window's keys stay as they are.
    const Text moreSection = U(more_names::Form);
    app.lifecycle.Attach(LifecyclePoint::StartUp, [settingsPath] {
        OpenSettings(settingsPath, Text(), [] { ProcessPendingEvents(); });
    });
    app.lifecycle.Attach(LifecyclePoint::CreatedBeforeRules, [&form, &more, moreSection] {
        RestoreMainWindowStates(form);
        RestoreControlStates(more, moreSection, {});
    });
    app.lifecycle.Attach(LifecyclePoint::AboutToClose, [&form, &more, moreSection] {
        SaveControlStates(more, moreSection, {});
        SaveMainWindowStates(form);
    });
    app.lifecycle.Attach(LifecyclePoint::Exit, [] { CloseSettings(); });
    auto saveNow = [&form, &more, moreSection] {
        SaveControlStates(more, moreSection, {});
        SaveSettingsNow(form);
    };
    form.On(U(names::SavePicture), ControlEvent::Clicked, saveNow);
    form.On(U(names::SaveLink), ControlEvent::LeftButtonDown, saveNow);
}

int RunQtProgram(App& app, QApplication& application, const TextList& opened) {
    QtMainWindow main(app);
    return RunProgram(app, [&] {
        main.AttachDrops();
        main.Window().show();
        if (!opened.empty()) {
            main.Window().View().Drop(U(names::SplitPanel), opened);
        }
        application.exec();
    });
}

}  // namespace qs

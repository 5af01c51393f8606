#include <QApplication>

#include "app/app.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "dialog/input_dialog.h"
#include "merge/merge_job.h"
#include "platform/qt/qt_program.h"
#include "platform/qt/qt_ui.h"
#include "platform/services.h"
#include "settings/control_state.h"
#include "split/split_job.h"

namespace {

void WireSettings(qs::App& app) {
    using qs::LifecyclePoint;
    qs::Form& form = app.MainForm();
    app.lifecycle.Attach(LifecyclePoint::StartUp, [] { qs::OpenSettings(qs::SettingsFilePath()); });
    app.lifecycle.Attach(LifecyclePoint::CreatedBeforeRules,
                         [&form] { qs::RestoreMainWindowStates(form); });
    app.lifecycle.Attach(LifecyclePoint::AboutToClose, [&form] { qs::SaveMainWindowStates(form); });
    app.lifecycle.Attach(LifecyclePoint::Exit, [] { qs::CloseSettings(); });
    form.On(qs::U(qs::names::SavePicture), qs::ControlEvent::Clicked,
            [&form] { qs::SaveSettingsNow(form); });
    form.On(qs::U(qs::names::SaveLink), qs::ControlEvent::LeftButtonDown,
            [&form] { qs::SaveSettingsNow(form); });
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    qs::ApplyDesktopLook(application);
    qs::QtUi ui;
    qs::ServicesOverride services({nullptr, nullptr, nullptr, &ui});

    qs::App app;
    WireSettings(app);
    qs::InstallSplitJob(app);
    qs::InstallMergeJob(app);
    qs::WireInputDialog(app);
    return qs::RunQtProgram(app, application);
}

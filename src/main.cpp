#include <QApplication>

#include "app/app.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "dialog/input_dialog.h"
#include "merge/merge_job.h"
#include "platform/qt/qt_program.h"
#include "platform/qt/qt_ui.h"
#include "platform/services.h"
#include "split/split_job.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    qs::ApplyDesktopLook(application);
    qs::QtUi ui;
    qs::ServicesOverride services({nullptr, nullptr, nullptr, &ui});

    qs::App app;
    qs::WireSettings(app, qs::SettingsFilePath());
    qs::InstallSplitJob(app);
    qs::InstallMergeJob(app);
    qs::WireInputDialog(app);
    return qs::RunQtProgram(app, application);
}

#include <QApplication>
#include <cstdio>

#include "app/app.h"
#include "app/kept_reports.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "app/window_jobs.h"
#include "cli/cli_program.h"
#include "cli/command_line.h"
#include "cli/launch.h"
#include "cli/window_handoff.h"
#include "dialog/input_dialog.h"
#include "gui/command_parts.h"
#include "gui/qt_program.h"
#include "gui/qt_ui.h"
#include "platform/services.h"

// The window program; the command line hands over to it (and it still runs commands itself).
int main(int argc, char** argv) {
    using qs::cli::HasDisplay;
    const qs::cli::LaunchRequest launch = qs::cli::ReadLaunch(argc, argv, HasDisplay());
    if (launch.launch == qs::cli::Launch::UsageError) {
        std::fprintf(stderr, "qirnsplit: %s\n", launch.error.c_str());
        return qs::cli::kExitUsage;
    }
    // A command runs without any window object, so it needs no display.
    if (launch.launch == qs::cli::Launch::CommandLine) {
        return qs::cli::RunCommandLine(argc, argv);
    }
    // Without a display Qt would abort with a message about reinstalling the program.
    if (!HasDisplay()) {
        std::fputs(qs::cli::NoDisplayMessage(), stderr);
        return 1;
    }
    QApplication application(argc, argv);
    qs::ApplyDesktopLook(application);
    qs::QtUi ui;
    qs::ServicesOverride services({nullptr, nullptr, nullptr, &ui});

    qs::App app;
    app.run.reportsFolder = qs::ReportsFolder();
    qs::WireSettings(app, qs::SettingsFilePath());
    qs::InstallSplitJob(app);
    qs::InstallMergeJob(app);
    qs::WireInputDialog(app);
    qs::WireCommandLineParts(app);
    // Files handed over by the desktop arrive as a drop on the split panel, question included.
    return qs::RunQtProgram(app, application, launch.paths);
}

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "app/app.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "app/window_jobs.h"
#include "dialog/input_dialog.h"
#include "gui/form_window.h"
#include "gui/qt_program.h"
#include "gui/qt_text.h"
#include "merge/merge_job.h"
#include "platform/services.h"
#include "qt_harness.h"
#include "split/split_job.h"
#include "support/temp_folder.h"

namespace qs {
namespace {

FormWindow* ProgramWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<FormWindow*>(widget); window && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

void Wire(App& app, const Text& settingsPath) {
    WireSettings(app, settingsPath);
    InstallSplitJob(app);
    InstallMergeJob(app);
    WireInputDialog(app);
}

// The whole program as main runs it, with the user's actions played from timers.
TEST(QtProgram, ClosingTheWindowDuringASplitStopsItSavesAndEnds) {
    QApplication& application = testing::App();
    testing::AnsweringUi ui;
    ServicesOverride services{{nullptr, nullptr, nullptr, &ui}};
    TempFolder temp;
    std::string lines;
    for (int i = 0; i < 200000; ++i) {
        lines += "line\r\n";
    }
    temp.Write(U("大.txt"), lines);
    const Text settings = temp.File(U("Qirnsplit.ini"));

    bool jobRunningAtClose = false;
    bool gaveUp = false;
    int exitCode = -1;
    {
        App app;
        Wire(app, settings);
        ui.files.push_back(temp.File(U("大.txt")));
        // A loaded machine may take a while to show the window: wait for it, not a fixed time.
        std::function<void()> whenShown = [&] {
            FormWindow* window = ProgramWindow();
            if (window == nullptr) {
                QTimer::singleShot(20, whenShown);
                return;
            }
            auto* count = qobject_cast<QLineEdit*>(window->View().WidgetOf(U(names::PartCount)));
            count->setText(QStringLiteral("7"));
            emit count->textEdited(count->text());
            qobject_cast<QAbstractButton*>(window->View().WidgetOf(U(names::ByLines)))->click();
            QTimer::singleShot(150, [&] {
                jobRunningAtClose = app.run.AnyBusy();
                ProgramWindow()->close();
            });
            // The split runs inside this click until it stops.
            qobject_cast<QAbstractButton*>(window->View().WidgetOf(U(names::SplitButton)))->click();
        };
        QTimer::singleShot(20, whenShown);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&] {
            gaveUp = true;
            application.quit();
        });
        guard.start(30000);
        exitCode = RunQtProgram(app, application);
        EXPECT_FALSE(app.MainForm().IsOpen());
    }
    ASSERT_FALSE(gaveUp);
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(jobRunningAtClose);
    EXPECT_EQ(ProgramWindow(), nullptr);
    // Closing while busy finishes without the question about the output folder.
    EXPECT_TRUE(ui.shown.empty()) << ToUtf8Lossy(ui.shown.front().text);
    int pieces = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(ToUtf8Lossy(temp.Path()))) {
        pieces += entry.path().extension() == ".txt" ? 1 : 0;
    }
    EXPECT_GT(pieces, 1);  // the source and at least one piece
    EXPECT_LT(pieces, 20001);

    // The next start finds the options as they were at the close.
    App next;
    Wire(next, settings);
    StartUp(next);
    OpenMainWindow(next);
    EXPECT_EQ(next.MainForm().TextOf(U(names::PartCount)), "7");
    EXPECT_TRUE(next.MainForm().IsChecked(U(names::ByLines)));
    ShutDown(next);
}

}  // namespace
}  // namespace qs

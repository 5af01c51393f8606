#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/startup.h"
#include "fs/paths.h"
#include "platform/posix_file_system.h"
#include "platform/process.h"
#include "support/faulty_file_system.h"
#include "support/headless_app.h"

namespace qs {
namespace {

TEST(StartupTest, LifecycleStepsRunInOrderAroundTheLoop) {
    HeadlessApp h(false);
    std::vector<std::string> trace;
    auto step = [&](const char* what) { return [&trace, what] { trace.push_back(what); }; };
    h.app.lifecycle.Attach(LifecyclePoint::Exit, step("exit"));
    h.app.lifecycle.Attach(LifecyclePoint::AboutToClose, step("save"));
    h.app.lifecycle.Attach(LifecyclePoint::CreatedAfterStatusLine, [&] {
        trace.push_back(h.form().Get(U(names::Status)).parent == U(names::Progress)
                            ? "after status line"
                            : "too early");
    });
    h.app.lifecycle.Attach(LifecyclePoint::CreatedBeforeRules, [&] {
        trace.push_back("restore");
        h.form().SetChecked(U(names::ByString), true);
    });
    h.app.lifecycle.Attach(LifecyclePoint::StartUp, step("open store"));

    const int code = RunProgram(h.app, [&] {
        trace.push_back("loop");
        EXPECT_FALSE(h.Disabled(names::SeparatorButton));  // rules ran after the restore
        EXPECT_TRUE(h.form().RequestClose());
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(trace, (std::vector<std::string>{"open store", "restore", "after status line", "loop",
                                               "save", "exit"}));
    EXPECT_FALSE(h.form().IsOpen());
    EXPECT_EQ(h.app.drops.registeredPanels.size(), 2u);
}

TEST(StartupTest, ALoopThatLeavesTheWindowOpenStillSaves) {
    HeadlessApp h(false);
    int saves = 0;
    h.app.lifecycle.Attach(LifecyclePoint::AboutToClose, [&] { ++saves; });
    RunProgram(h.app, [] {});
    EXPECT_EQ(saves, 1);
}

TEST(StartupTest, ClosingDuringAJobStopsItFirstThenSavesAndCloses) {
    HeadlessApp h;
    int saves = 0, steps = 0;
    bool openWhenSaved = false;
    h.app.lifecycle.Attach(LifecyclePoint::AboutToClose, [&] {
        ++saves;
        openWhenSaved = h.app.run.AnyBusy();
    });
    h.app.startSplitJob = [&](const Text&, const TextList&) {
        if (!h.app.run.BeginJob(JobKind::Split))
            return;
        for (; steps < 100 && !h.app.run.StopRequested; ++steps)
            ProcessPendingEvents();
        h.app.run.lastSplitFolder = "/out";
        h.app.run.EndJob(JobKind::Split, {"/in/a.txt"});
    };
    h.ui.AtPump(3, [&] {
        EXPECT_FALSE(h.form().RequestClose());  // refused for now
        EXPECT_TRUE(h.form().IsOpen());
        EXPECT_EQ(saves, 0);
    });
    h.Click(names::SplitButton);
    EXPECT_EQ(steps, 3);  // ended at the poll right after the close request
    EXPECT_EQ(saves, 1);
    EXPECT_FALSE(openWhenSaved);
    EXPECT_FALSE(h.form().IsOpen());
    EXPECT_TRUE(h.ui.Messages().empty());  // nobody is asked about a folder while closing
    EXPECT_FALSE(h.app.run.ClosePending());
}

TEST(StartupTest, SettingsFileLivesBesideTheExecutable) {
    TempFolder elsewhere;
    const auto cwd = std::filesystem::current_path();
    ASSERT_EQ(::chdir(elsewhere.Path().c_str()), 0);
    const Text path = SettingsFilePath();
    std::filesystem::current_path(cwd);
    EXPECT_EQ(path, ExecutableFolder() + "/Qirnsplit.ini");
    EXPECT_NE(path.find("/tests"), Text::npos);
}

TEST(StartupTest, UnwritableExecutableFolderFallsBackToTheConfigFolder) {
    TempFolder exe, config, home;
    PosixFileSystem posix;
    FaultyFileSystem faulty(posix);
    faulty.FailPath(FaultyFileSystem::Op::Create, exe.Path() + "/");
    ServicesOverride guard(Platform{&faulty, nullptr, nullptr, nullptr});

    struct Row {
        const char* label;
        Text xdg;
        Text expected;
    };
    const Row rows[] = {
        {"XDG_CONFIG_HOME", config.Path() + "/", config.Path() + "/Qirnsplit"},
        {"HOME", "", home.Path() + "/.config/Qirnsplit"},
        {"relative XDG is ignored", "rel", home.Path() + "/.config/Qirnsplit"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(ChooseSettingsFolder(exe.Path(), row.xdg, home.Path()), row.expected);
        EXPECT_TRUE(posix.IsFolder(row.expected));
    }
    EXPECT_EQ(ChooseSettingsFolder(config.Path(), "", home.Path()), config.Path());
    EXPECT_FALSE(posix.Exists(config.Path() + "/.Qirnsplit.probe"));
}

TEST(StartupTest, InstalledProgramKeepsItsSettingsInTheConfigFolder) {
    TempFolder prefix, config;
    PosixFileSystem posix;
    ServicesOverride guard(Platform{&posix, nullptr, nullptr, nullptr});
    EnsureDirectoryChain(prefix.Path() + "/bin/");
    EXPECT_EQ(ChooseSettingsFolder(prefix.Path() + "/bin", config.Path(), ""),
              prefix.Path() + "/bin");
    EnsureDirectoryChain(prefix.Path() + "/share/applications/");
    posix.WriteWholeFile(prefix.Path() + "/share/applications/" + Text(kDesktopEntryName), "");
    for (const char* folder : {"/bin", "/lib/qirnsplit"}) {
        EnsureDirectoryChain(prefix.Path() + folder + "/");
        EXPECT_EQ(ChooseSettingsFolder(prefix.Path() + folder, config.Path(), ""),
                  config.Path() + "/Qirnsplit");
    }
}

}  // namespace
}  // namespace qs

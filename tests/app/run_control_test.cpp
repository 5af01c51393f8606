#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/run_control.h"
#include "app/window_jobs.h"
#include "job/output_folder_claim.h"
#include "support/headless_app.h"

namespace qs {
namespace {

// Shaped like the real jobs: start protocol, a per-file loop with three polls per file
// that ends on a stop, end protocol.
int RunFakeJob(App& app, JobKind kind, const TextList& paths, std::vector<std::string>* captions) {
    RunControl& run = app.run;
    if (!run.BeginJob(kind)) {
        return -1;
    }
    const int n = static_cast<int>(paths.size());
    WindowJobEvents events(run, kind);
    events.FilesStarting(n);
    int finished = 0;
    for (int i = 0; i < n && !run.StopRequested; ++i) {
        events.SourceStarted(i + 1, n, paths[static_cast<std::size_t>(i)]);
        for (int step = 0; step < 3 && !run.StopRequested; ++step) {
            ProcessPendingEvents();
            if (captions) {
                captions->push_back(ToUtf8Lossy(app.MainForm().TextOf(U(StartButtonOf(kind)))));
            }
        }
        if (!run.StopRequested) {
            ++finished;
        }
    }
    (kind == JobKind::Split ? run.lastSplitFolder : run.lastMergeFolder) = "/out/a";
    run.EndJob(kind, paths);
    return finished;
}

TEST(RunControlTest, StartButtonCaptionsCarryBusyStoppingAndIdle) {
    struct Row {
        const char* label;
        JobKind kind;
        std::string_view button;
        const char* running;
        const char* stopping;
        const char* idle;
    };
    const Row rows[] = {
        {"split", JobKind::Split, names::SplitButton, "正在分割，点击停止", "正在停止中",
         "分割文件.."},
        {"merge", JobKind::Merge, names::MergeButton, "正在合并，点击停止", "正在停止中     ",
         "合并文件..     "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        HeadlessApp h;
        std::vector<std::string> captions;
        int finished = 0;
        auto entry = [&] {
            finished =
                RunFakeJob(h.app, row.kind, {"/in/a.txt", "/in/b.txt", "/in/c.txt"}, &captions);
        };
        h.app.startSplitJob = [&](const Text&, const TextList&) { entry(); };
        h.app.startMergeJob = [&](const Text&, const TextList&, bool, bool) { entry(); };
        // Pump 5 falls on the second file; the click there is the stop request.
        h.ui.AtPump(5, [&] { h.Click(row.button); });
        h.Click(row.button);

        ASSERT_EQ(captions.size(), 5u);
        EXPECT_EQ(captions[3], row.running);
        EXPECT_EQ(captions[4], row.stopping);
        EXPECT_EQ(h.Caption(row.button), row.idle);
        EXPECT_EQ(finished, 1);
        EXPECT_EQ(h.form().Get(U(names::Progress)).position, 2);
        EXPECT_EQ(h.form().Get(U(names::Progress)).maximum, 3);
        EXPECT_EQ(h.Caption(names::Status), "(2/3)b.txt");
        // A stopped job still offers its folder.
        ASSERT_EQ(h.ui.Messages().size(), 1u);
        EXPECT_EQ(h.ui.Messages()[0].buttons, MessageButtons::YesNo);
        EXPECT_EQ(ToUtf8Lossy(h.ui.Messages()[0].title), "信息：");
        EXPECT_TRUE(h.form().Get(U(names::MergePattern)).visible);
    }
}

TEST(RunControlTest, PhaseWordOnTheSplitButtonCountsAsBusy) {
    HeadlessApp h;
    h.form().SetText(U(names::SplitButton), U("读入文件.."));
    EXPECT_FALSE(h.app.run.BeginJob(JobKind::Split));
    EXPECT_TRUE(h.app.run.StopRequested);
    EXPECT_EQ(h.Caption(names::SplitButton), "正在停止中");
}

TEST(RunControlTest, MergeHidesItsPatternWhileRunning) {
    HeadlessApp h;
    ASSERT_TRUE(h.app.run.BeginJob(JobKind::Merge));
    EXPECT_FALSE(h.form().Get(U(names::MergePattern)).visible);
    h.app.run.EndJob(JobKind::Merge, {});
    EXPECT_TRUE(h.form().Get(U(names::MergePattern)).visible);
    EXPECT_TRUE(h.ui.Messages().empty());  // an empty list asks nothing
}

TEST(RunControlTest, EndOfMergeOffersParentFolderAndOpensOnYes) {
    struct Row {
        const char* label;
        bool parentSave;
        bool suppress;
        const char* offered;  // empty: no question
    };
    const Row rows[] = {
        {"parent save", true, false, "/data/in"},
        {"own folder", false, false, "/data/in/sub"},
        {"suppressed", true, true, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        HeadlessApp h;
        h.form().SetChecked(U(names::ParentSave), row.parentSave);
        h.ui.QueueAnswer(MessageResult::Yes);
        ASSERT_TRUE(h.app.run.BeginJob(JobKind::Merge));
        h.app.run.lastMergeFolder = "/data/in/sub";
        h.app.run.EndJob(JobKind::Merge, {"/data/in/sub/a.txt"}, row.suppress);
        if (row.offered[0] == '\0') {
            EXPECT_TRUE(h.ui.Messages().empty());
            continue;
        }
        ASSERT_EQ(h.ui.Messages().size(), 1u);
        EXPECT_EQ(h.ui.LastMessageUtf8(), std::string("合并完毕！是否打开目录：") + row.offered);
        ASSERT_EQ(h.ui.OpenedFolders().size(), 1u);
        EXPECT_EQ(h.ui.OpenedFolders()[0], row.offered);
    }
}

TEST(RunControlTest, FolderNamedLikeAProgramIsOpenedAsAFolder) {
    HeadlessApp h;
    h.ui.QueueAnswer(MessageResult::Yes);
    h.app.run.AskOpenOutputFolder(JobKind::Split, "/data/tool.EXE");
    ASSERT_EQ(h.ui.OpenedFolders().size(), 1u);
    EXPECT_EQ(h.ui.OpenedFolders()[0], "/data/tool.EXE");
}

TEST(RunControlTest, UncutBooksAndFailuresFollowTheCompletionQuestion) {
    HeadlessApp h;
    FailureList& failures = h.app.run.Failures(JobKind::Split);
    failures.Add(FailureKind::Unreadable, "/in/a.txt");
    failures.Add(FailureKind::SourceKept, "/in/b.txt");
    h.app.run.uncutBooks.push_back({"/in/c.txt", 1, 97});
    h.app.run.AskOpenOutputFolder(JobKind::Split, "/out");
    EXPECT_EQ(h.ui.LastMessageUtf8(),
              "分割完毕！是否打开目录：/"
              "out\r\n\r\n以下文件看来没有按章节分开（标题太少，或一章占了大半）："
              "\r\n/in/c.txt（1 个章节标题，最长一章占全文 97%）"
              "\r\n\r\n以下 2 项操作失败：\r\n无法读取：/in/a.txt\r\n未删除原文件：/in/b.txt");
    // A new job starts with empty lists.
    ASSERT_TRUE(h.app.run.BeginJob(JobKind::Split));
    EXPECT_TRUE(failures.Empty());
    EXPECT_TRUE(h.app.run.uncutBooks.empty());
}

TEST(RunControlTest, TheWindowShowsAWaitAndKeepsUncutBooksForItsQuestion) {
    HeadlessApp h;
    ASSERT_TRUE(h.app.run.BeginJob(JobKind::Split));
    WindowJobEvents events(h.app.run, JobKind::Split);
    events.SourceStarted(1, 1, "/in/c.txt");
    events.WaitingForFolder("/out/");
    EXPECT_EQ(h.form().TextOf(U(names::Status)), WaitingForFolderText("/out/"));
    events.FolderWaitOver();
    EXPECT_EQ(h.form().TextOf(U(names::Status)), h.app.run.StatusText);
    events.BookLooksUncut({"/in/c.txt", 1, 97});
    ASSERT_EQ(h.app.run.uncutBooks.size(), 1u);
    EXPECT_EQ(h.app.run.uncutBooks[0].longestPercent, 97);
}

TEST(RunControlTest, FailureListShowsTenThenEllipsis) {
    struct Row {
        const char* label;
        int count;
        int lines;  // item lines shown
        bool ellipsis;
    };
    const Row rows[] = {{"none", 0, 0, false}, {"ten", 10, 10, false}, {"eleven", 11, 10, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        FailureList list;
        for (int i = 0; i < row.count; ++i) {
            list.Add(i % 2 ? FailureKind::NotWritten : FailureKind::FolderNotCreated,
                     "/p" + std::to_string(i));
        }
        Text text = "Q";
        list.AppendTo(text);
        const std::string utf8 = ToUtf8Lossy(text);
        if (row.count == 0) {
            EXPECT_EQ(utf8, "Q");
            continue;
        }
        EXPECT_EQ(utf8.find("Q\r\n\r\n以下 " + std::to_string(row.count) + " 项操作失败："), 0u);
        int lines = 0;
        for (std::size_t at = utf8.find("\r\n无法"); at != std::string::npos;
             at = utf8.find("\r\n无法", at + 1)) {
            ++lines;
        }
        EXPECT_EQ(lines, row.lines);
        EXPECT_EQ(utf8.size() >= 8 && utf8.substr(utf8.size() - 6) == "……", row.ellipsis);
    }
}

TEST(RunControlTest, ChooseFolderTrimsAndRemembersTheInitialFolder) {
    HeadlessApp h;
    h.ui.QueueFolder(U("　 /data/书 　"));
    EXPECT_EQ(ChooseFolder(h.app.run, "/start", U("标题")), U("/data/书"));
    EXPECT_EQ(h.app.run.chooseFolderInitial, "/start");
    ASSERT_EQ(h.ui.Dialogs().size(), 1u);
    EXPECT_EQ(h.ui.Dialogs()[0].initialFolder, "/start");
    EXPECT_EQ(ChooseFolder(h.app.run, "/start", "t"), "");  // cancelled
}

TEST(RunControlTest, IsKeyDownDispatchesBetweenTwoProbes) {
    HeadlessApp h;
    h.ui.AtPump(1, [&] { h.ui.SetCtrlDown(true); });
    EXPECT_TRUE(IsKeyDown(17));
    EXPECT_EQ(h.ui.CtrlProbes(), 2);
    EXPECT_EQ(h.ui.PumpCount(), 1);
}

}  // namespace
}  // namespace qs

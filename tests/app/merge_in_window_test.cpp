#include <cerrno>

#include "app/drag_drop.h"
#include "app/main_window.h"
#include "app/window_jobs.h"
#include "merge_window_fixture.h"
#include "platform/system_error.h"

namespace qs::testing {
namespace {

class MergeJobTest : public MergeWindowTest {
protected:
    void entry(const Text& folder, const TextList& paths, bool folders, bool quiet) {
        h.app.StartMergeJob(folder, paths, folders, quiet);
    }
};

TEST_F(MergeJobTest, ButtonPathMergesChosenFolderAndAsksTheCompletionQuestion) {
    Check("选择框父目录保存", false);
    const Text folder = Folder("books");
    Put(U("books/第10章.txt"), "10");
    Put(U("books/第2章.txt"), "2");
    Put(U("books/第1章.txt"), "1");
    form->SetTag(U("按钮合并文件"), "/previous");
    ui.QueueFolder(folder);
    form->Click(U("按钮合并文件"));
    EXPECT_EQ(Read(U("books/第1章等3个文件.txt")), "1210");
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0].text, U("合并完毕！是否打开目录：") + folder);
    ASSERT_EQ(ui.Dialogs().size(), 1u);
    EXPECT_EQ(ui.Dialogs()[0].initialFolder, "/previous");
    EXPECT_EQ(ui.Dialogs()[0].title, U("选择一个文件夹，将读入文件夹下的所有 *.* "
                                       "文件进行合并。你也可以直接拖放要合并的文件或文件夹到软件"));
    EXPECT_EQ(form->Get(U("按钮合并文件")).tag, folder);
    EXPECT_EQ(form->TextOf(U("按钮合并文件")), U("合并文件..     "));
    EXPECT_TRUE(form->Get(U("编辑框文件类型1")).visible);
}

TEST_F(MergeJobTest, CancelledFolderDialogMergesNothing) {
    form->SetTag(U("按钮合并文件"), "/previous");
    form->Click(U("按钮合并文件"));
    EXPECT_TRUE(ui.Messages().empty());
    EXPECT_EQ(form->Get(U("按钮合并文件")).tag, "/previous");
    EXPECT_EQ(form->TextOf(U("按钮合并文件")), U("合并文件..     "));
}

TEST_F(MergeJobTest, ButtonPathListsFailuresWithTheirReasonsInTheQuestion) {
    Check("选择框父目录保存", false);
    const Text folder = Folder("f");
    Put("f/a.txt", "a");
    Fs().CreateFolder(folder + U("/a等1个文件.txt"));  // the output name is taken by a folder
    ui.QueueFolder(folder);
    form->Click(U("按钮合并文件"));
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0].text, U("合并完毕！是否打开目录：") + folder + "\r\n\r\n" +
                                         U("以下 1 项操作失败：") + "\r\n" + U("无法写入：") +
                                         folder + U("/a等1个文件.txt（") + SystemErrorText(EISDIR) +
                                         U("）"));
    EXPECT_EQ(ui.Messages()[0].icon, MessageIcon::Warning);
}

TEST_F(MergeJobTest, DroppedFilesAskWithTheParentFolder) {
    const Text a = Put("x/y/a.txt", "a");
    const Text b = Put("x/y/b.txt", "b");
    ui.QueueAnswer(MessageResult::Yes);
    entry("", {a, b}, false, false);
    EXPECT_EQ(Read(U("x/a等2个文件.txt")), "ab");
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0].text, U("合并完毕！是否打开目录：") + m_temp.File("x"));
    EXPECT_EQ(ui.Messages()[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(ui.Messages()[0].title, U("信息："));
    EXPECT_EQ(ui.OpenedFolders(), (TextList{m_temp.File("x")}));
}

TEST_F(MergeJobTest, QuestionListsFailures) {
    const Text a = Put("x/y/a.txt", "a");
    const Text missing = m_temp.File("x/y/gone.txt");
    entry("", {a, missing}, false, false);
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0].text, U("合并完毕！是否打开目录：") + m_temp.File("x") + "\r\n\r\n" +
                                         U("以下 1 项操作失败：") + "\r\n" + U("无法读取：") +
                                         missing + U("（") + SystemErrorText(ENOENT) + U("）"));
}

TEST_F(MergeJobTest, QuietFilesPartAsksNothing) {
    const Text a = Put("x/y/a.txt", "a");
    entry("", {a}, false, true);
    EXPECT_TRUE(ui.Messages().empty());
    EXPECT_EQ(run.lastMergeFolder, m_temp.File("x"));
}

TEST_F(MergeJobTest, CtrlSelectsObjectEnumerationForTheWholeJob) {
    Check("选择框父目录保存", false);
    form->SetText(U("编辑框文件类型1"), "a*");
    const Text root = Folder("C");
    Put("C/ba.txt", "x");
    entry("", {root}, true, false);
    EXPECT_FALSE(Exists(U("C/ba等1个文件.txt"))) << "whole-name match: ba does not begin with a";
    ui.SetCtrlDown(true);
    entry("", {root}, true, false);
    EXPECT_EQ(Read(U("C/ba等1个文件.txt")), "x");
}

TEST_F(MergeJobTest, SecondClickStopsTheRunningJob) {
    Check("选择框父目录保存", false);
    const Text folder = Folder("S");
    for (int i = 1; i <= 5; ++i) {
        Put("S/f" + std::to_string(i) + ".txt", std::to_string(i));
    }
    Text captionAfterClick;
    ui.QueueFolder(folder);
    // Pump 1 is the Ctrl probe, the listing pumps once per entry; the first file's pump
    // follows them.
    ui.AtPump(7, [&] {
        form->Click(U("按钮合并文件"));
        captionAfterClick = form->TextOf(U("按钮合并文件"));
    });
    form->Click(U("按钮合并文件"));
    EXPECT_EQ(captionAfterClick, U("正在停止中     "));
    EXPECT_EQ(Read(U("S/f1等5个文件.txt")), "1");
    EXPECT_EQ(form->TextOf(U("按钮合并文件")), U("合并文件..     "));
}

TEST_F(MergeJobTest, StopBetweenDroppedFoldersEndsTheJob) {
    Check("选择框父目录保存", false);
    const Text a = Folder("A");
    const Text b = Folder("B");
    Put("A/a.txt", "a");
    Put("B/b.txt", "b");
    ui.AtPump(3, [&] { run.StopRequested = true; });  // the pump after A's only file
    entry("", {a, b}, true, false);
    EXPECT_TRUE(Exists(U("A/a等1个文件.txt")));
    EXPECT_FALSE(Exists(U("B/b等1个文件.txt")));
    EXPECT_EQ(ui.Messages().size(), 1u) << "a stopped job still offers the folder";
}

// Whatever pump of the walk the stop arrives in after the first output, the sub-folder is
// not merged (the next unit's start would clear the request again) unless its file had
// already begun, which is then finished.
TEST_F(MergeJobTest, StopAfterAFolderOutputEndsTheWalk) {
    Check("选择框父目录保存", false);
    Check("选择框遍历子目录", true);
    for (int k = 1; k <= 4; ++k) {
        const Text name = "R" + std::to_string(k);
        const Text root = Folder(name);
        Put(name + "/r.txt", "r");
        Put(name + "/S/s.txt", "s");
        int after = 0;
        Text statusAtStop;
        ui.ClearPumpActions();
        ui.EveryPump([&, name, k] {
            if (Exists(name + U("/r等1个文件.txt")) && ++after == k) {
                statusAtStop = run.StatusText;
                h.Click(names::MergeButton);
            }
        });
        entry("", {root}, true, false);
        ASSERT_EQ(after >= k, true) << "the walk has at least four pumps after the first output";
        EXPECT_EQ(Exists(name + U("/S/s等1个文件.txt")), statusAtStop == "(1/1)s.txt")
            << "stop at pump " << k;
        EXPECT_EQ(h.Caption(names::MergeButton), "合并文件..     ");
    }
}

// Files and folders dropped together: the files give one output without a question, then
// each folder is merged and the question is asked once, for the folders.
TEST_F(MergeJobTest, MixedDropOnTheMergePanel) {
    Check("选择框父目录保存", false);
    const Text a = Put("in/a.txt", "a");
    const Text b = Put("in/b.txt", "b");
    const Text folder = Folder("F");
    Put("F/f.txt", "f");
    ui.QueueAnswer(MessageResult::Ok);  // the drop confirmation
    DeliverDrop(h.app, U(names::MergePanel), {a, folder, b});
    EXPECT_EQ(Read(U("in/a等2个文件.txt")), "ab");
    EXPECT_EQ(Read(U("F/f等1个文件.txt")), "f");
    ASSERT_EQ(ui.Messages().size(), 2u);
    EXPECT_EQ(ui.Messages()[0].text, U("确定合并被拖放的 3 个吗？"));
    EXPECT_EQ(ui.Messages()[1].text, U("合并完毕！是否打开目录：") + folder);
}

class MergeCoreTest : public MergeWindowTest {
protected:
    MergeResult Merge(const TextList& paths) { return MergeInWindow(run, paths); }
};

TEST_F(MergeCoreTest, ChooseSeparatorFileButton) {
    h.Click(names::UseFile);
    form->SetText(U(names::SeparatorPath), "/old");
    h.Click(names::ChooseFileButton);  // cancelled
    EXPECT_EQ(form->TextOf(U(names::SeparatorPath)), "/old");
    ui.QueueOpenFile("/new/sep.bin");
    h.Click(names::ChooseFileButton);
    EXPECT_EQ(form->TextOf(U(names::SeparatorPath)), "/new/sep.bin");
    ASSERT_EQ(ui.Dialogs().size(), 2u);
    EXPECT_EQ(ui.Dialogs()[1].initialFolder, "/old");
    EXPECT_EQ(ui.Dialogs()[1].title, U("选择一个文件作为合并中间数据"));
    EXPECT_EQ(ui.Dialogs()[1].filter, U("全部文件(*.*)|*.*"));
}

TEST_F(MergeCoreTest, LineBreakButtonGivesCrLf) {
    form->SetText(U(names::SeparatorText), "old");
    h.Click(names::LineBreakButton);
    const Text a = Put("d/a.txt", "A");
    const Text b = Put("d/b.txt", "B");
    const Text c = Put("d/c.txt", "C");
    Merge({a, b, c});
    EXPECT_EQ(Read(U("a等3个文件.txt")),
              "A\x0D\x0A"
              "B\x0D\x0A"
              "C");
}

}  // namespace
}  // namespace qs::testing

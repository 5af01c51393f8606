#include <gtest/gtest.h>

#include "app/drag_drop.h"
#include "support/headless_app.h"

namespace qs {
namespace {

struct SplitCall {
    Text folder;
    TextList paths;
};
struct MergeCall {
    TextList paths;
    bool folders;
    bool suppress;
};

// A headless window whose job entries only record their calls.
struct DropFixture {
    DropFixture() {
        h.app.startSplitJob = [this](const Text& folder, const TextList& paths) {
            split.push_back({folder, paths});
        };
        h.app.startMergeJob = [this](const Text&, const TextList& paths, bool folders,
                                     bool suppress) {
            merge.push_back({paths, folders, suppress});
            if (onMerge)
                onMerge();
        };
    }
    Text Folder(const char* name) {
        const Text path = h.temp.File(name);
        Fs().CreateFolder(path);
        return path;
    }
    Text File(const char* name) {
        h.temp.Write(name, "x");
        return h.temp.File(name);
    }

    HeadlessApp h;
    std::vector<SplitCall> split;
    std::vector<MergeCall> merge;
    std::function<void()> onMerge;
};

TEST(DragDropTest, OneFolderOnTheSplitPanelSplitsTheFolder) {
    DropFixture f;
    const Text folder = f.Folder("in");
    f.h.ui.QueueAnswer(MessageResult::Ok);
    DeliverDrop(f.h.app, U(names::SplitPanel), {folder});
    EXPECT_EQ(f.h.ui.LastMessageUtf8(), "确定分割被拖放目录下的所有文件吗？");
    EXPECT_EQ(f.h.ui.Messages()[0].buttons, MessageButtons::OkCancel);
    ASSERT_EQ(f.split.size(), 1u);
    EXPECT_EQ(f.split[0].folder, folder);
    EXPECT_TRUE(f.split[0].paths.empty());

    DeliverDrop(f.h.app, U(names::SplitPanel), {folder});  // the default answer cancels
    EXPECT_EQ(f.split.size(), 1u);
}

TEST(DragDropTest, SplitPanelCountsFilesOnly) {
    struct Row {
        const char* label;
        int files, folders;
        const char* question;
    };
    const Row rows[] = {
        {"one file", 1, 0, "确定分割被拖放的 1 个文件吗？"},
        {"three files two folders", 3, 2, "确定分割被拖放的 3 个文件吗？"},
        {"two folders", 0, 2, "确定分割被拖放的 0 个文件吗？"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        DropFixture f;
        TextList drop, files;
        const char* fileNames[] = {"a.txt", "b.txt", "c.txt"};
        const char* folderNames[] = {"d1", "d2"};
        // Files and folders interleaved, as a shell may deliver them.
        for (int i = 0; i < std::max(row.files, row.folders); ++i) {
            if (i < row.files) {
                files.push_back(f.File(fileNames[i]));
                drop.push_back(files.back());
            }
            if (i < row.folders)
                drop.push_back(f.Folder(folderNames[i]));
        }
        f.h.ui.QueueAnswer(MessageResult::Ok);
        DeliverDrop(f.h.app, U(names::SplitPanel), drop);
        ASSERT_EQ(f.h.ui.Messages().size(), 1u);
        EXPECT_EQ(f.h.ui.LastMessageUtf8(), row.question);
        ASSERT_EQ(f.split.size(), 1u);
        EXPECT_TRUE(f.split[0].folder.empty());
        TextList got = f.split[0].paths, want = files;
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want);
        EXPECT_EQ(f.h.app.drops.SplitDropList.size(), files.size());
    }
}

TEST(DragDropTest, NextDropEmptiesTheListAndCancelStartsNothing) {
    DropFixture f;
    f.h.ui.QueueAnswer(MessageResult::Ok);
    DeliverDrop(f.h.app, U(names::SplitPanel), {f.File("a"), f.File("b")});
    DeliverDrop(f.h.app, U(names::SplitPanel), {f.File("c")});  // cancelled
    EXPECT_EQ(f.split.size(), 1u);
    EXPECT_EQ(f.h.app.drops.SplitDropList, TextList{f.h.temp.File("c")});
}

TEST(DragDropTest, MergePanelMergesFilesQuietlyThenFolders) {
    DropFixture f;
    const Text a = f.File("a.txt"), b = f.File("b.txt"), d = f.Folder("d");
    f.h.ui.QueueAnswer(MessageResult::Ok);
    DeliverDrop(f.h.app, U(names::MergePanel), {a, d, b});
    EXPECT_EQ(f.h.ui.LastMessageUtf8(), "确定合并被拖放的 3 个吗？");
    ASSERT_EQ(f.merge.size(), 2u);
    EXPECT_EQ(f.merge[0].paths, (TextList{a, b}));
    EXPECT_FALSE(f.merge[0].folders);
    EXPECT_TRUE(f.merge[0].suppress);
    EXPECT_EQ(f.merge[1].paths, TextList{d});
    EXPECT_TRUE(f.merge[1].folders);
    EXPECT_FALSE(f.merge[1].suppress);
}

TEST(DragDropTest, FilesOnlyAreNotSuppressedAndCancelMergesNothing) {
    DropFixture f;
    f.h.ui.QueueAnswer(MessageResult::Ok);
    DeliverDrop(f.h.app, U(names::MergePanel), {f.File("a.txt")});
    ASSERT_EQ(f.merge.size(), 1u);
    EXPECT_FALSE(f.merge[0].suppress);
    DeliverDrop(f.h.app, U(names::MergePanel), {f.File("a.txt")});
    EXPECT_EQ(f.merge.size(), 1u);
}

TEST(DragDropTest, StopDuringTheFileMergePreventsTheFolderMerge) {
    DropFixture f;
    f.onMerge = [&] {
        if (f.merge.size() == 1)
            f.h.app.run.RequestStop();
    };
    f.h.ui.QueueAnswer(MessageResult::Ok);
    DeliverDrop(f.h.app, U(names::MergePanel), {f.File("a.txt"), f.Folder("d")});
    EXPECT_EQ(f.merge.size(), 1u);
}

TEST(DragDropTest, LeftOverStopDoesNotBlockFolders) {
    DropFixture f;
    f.h.app.run.RequestStop();  // from an earlier job
    f.h.ui.QueueAnswer(MessageResult::Ok);
    DeliverDrop(f.h.app, U(names::MergePanel), {f.File("a.txt"), f.Folder("d")});
    EXPECT_EQ(f.merge.size(), 2u);
    f.merge.clear();
    f.h.ui.QueueAnswer(MessageResult::Ok);
    DeliverDrop(f.h.app, U(names::MergePanel), {f.Folder("e")});
    ASSERT_EQ(f.merge.size(), 1u);
    EXPECT_TRUE(f.merge[0].folders);
}

TEST(DragDropTest, StopClickDuringARealFileMergePreventsTheFolderMerge) {
    HeadlessApp h;
    int merges = 0;
    h.app.startMergeJob = [&](const Text&, const TextList& paths, bool, bool suppress) {
        if (!h.app.run.BeginJob(JobKind::Merge))
            return;
        ++merges;
        for (int i = 0; i < 5 && !h.app.run.StopRequested; ++i)
            ProcessPendingEvents();
        h.app.run.EndJob(JobKind::Merge, paths, suppress);
    };
    h.temp.Write("a.txt", "x");
    Fs().CreateFolder(h.temp.File("d"));
    h.ui.QueueAnswer(MessageResult::Ok);
    h.ui.AtPump(2, [&] { h.Click(names::MergeButton); });
    DeliverDrop(h.app, U(names::MergePanel), {h.temp.File("a.txt"), h.temp.File("d")});
    EXPECT_EQ(merges, 1);
    EXPECT_EQ(h.Caption(names::MergeButton), "合并文件..     ");
}

TEST(DragDropTest, DropsElsewhereAndEmptyPathsAreIgnored) {
    DropFixture f;
    for (std::string_view place : {names::Header, names::Progress, names::MainForm}) {
        DeliverDrop(f.h.app, U(place), {f.File("a.txt")});
    }
    EXPECT_TRUE(f.h.ui.Messages().empty());
    f.h.ui.QueueAnswer(MessageResult::Ok);
    DeliverDrop(f.h.app, U(names::SplitPanel), {f.File("a.txt"), ""});
    EXPECT_EQ(f.h.ui.LastMessageUtf8(), "确定分割被拖放的 1 个文件吗？");
}

TEST(DragDropTest, LongPathsAreHandedOnWhole) {
    DropFixture f;
    const Text longPath = "/" + std::string(400, 'p') + "/" + U("长文件名.txt");
    f.h.ui.QueueAnswer(MessageResult::Ok);
    DeliverDrop(f.h.app, U(names::SplitPanel), {longPath});
    ASSERT_EQ(f.split.size(), 1u);
    EXPECT_EQ(f.split[0].paths, TextList{longPath});
}

}  // namespace
}  // namespace qs

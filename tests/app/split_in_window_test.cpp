// The window's split: the file dialog, drops, the start button as stop button, and what the
// user is told at the end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "app/window_jobs.h"
#include "split/split_job.h"
#include "support/split_controls.h"

#include "app/main_window.h"
#include "app/more_options.h"
#include "encoding/charset_converter.h"
#include "platform/posix_file_system.h"
#include "platform/services.h"
#include "split/split_state.h"
#include "support/faulty_file_system.h"
#include "support/headless_app.h"

namespace qs {
namespace {

using namespace split_controls;

class SplitJobTest : public ::testing::Test {
protected:
    SplitJobTest() {
        InstallSplitJob(h.app);
        h.ui.SetDefaultAnswer(MessageResult::No);
        h.form().SetChecked(PartsRadio(), true);
        h.form().SetText(PartCountEdit(), "2");
        h.form().SetChecked(SubfolderCheck(), false);
        h.form().SetChecked(DeleteSourceCheck(), false);
        h.form().SetChecked(RandomRenameCheck(), false);
    }
    Text File(const char* name) { return h.temp.File(name); }
    bool Exists(const char* name) { return Fs().Exists(File(name)); }
    void Run(const TextList& paths) { h.app.StartSplitJob(Text(), paths); }
    std::string Caption() { return h.Caption(names::SplitButton); }
    int Questions() {
        int n = 0;
        for (const auto& m : h.ui.Messages()) {
            n += m.text.rfind(U("分割完毕！是否打开目录："), 0) == 0 ? 1 : 0;
        }
        return n;
    }

    std::string Question() { return ToUtf8Lossy(h.ui.Messages().back().text); }

    HeadlessApp h;
};

TEST_F(SplitJobTest, StopDuringTheThirdOfFiveFiles) {
    TextList paths;
    for (int i = 1; i <= 5; ++i) {
        const Text name = "f" + std::to_string(i) + ".txt";
        h.temp.Write(name, "0123456789");
        paths.push_back(h.temp.File(name));
    }
    h.form().SetText(PartCountEdit(), "4");
    // Four pieces and one pump after each file: the third file's second piece is pump 12.
    h.ui.AtPump(12, [&] { h.Click(names::SplitButton); });
    Run(paths);
    EXPECT_TRUE(Exists("f2_4.txt"));
    EXPECT_TRUE(Exists("f3_2.txt"));
    EXPECT_FALSE(Exists("f3_3.txt"));
    EXPECT_FALSE(Exists("f4_1.txt"));
    EXPECT_FALSE(Exists("f5_1.txt"));
    EXPECT_EQ(Caption(), "分割文件..");
    // A stopped job is never reported as complete: it says where it stopped.
    EXPECT_EQ(Questions(), 0);
    EXPECT_EQ(h.ui.Messages().back().text,
              U("分割已停止，停在第 3 个文件（共 5 个）！是否打开目录：") + h.temp.Path());
    EXPECT_EQ(h.app.run.lastSplitFolder, h.temp.Path());
}

// The line mode cuts a UTF-8 source before its encoding is settled: a stop there still
// keeps, named and reported, the pieces cut before it, and no more.
TEST_F(SplitJobTest, StopInTheLineModeKeepsThePiecesCutBeforeIt) {
    h.form().SetChecked(LinesRadio(), true);
    h.form().SetText(LineMinEdit(), "1");
    h.form().SetText(LineMaxEdit(), "1");
    h.temp.Write("s.txt", "\xE4\xB8\x80\n\xE4\xBA\x8C\r\n\xE4\xB8\x89\r\xE5\x9B\x9B");  // 一二三四
    h.ui.AtPump(3, [&] { h.Click(names::SplitButton); });
    Run({File("s.txt")});
    EXPECT_EQ(h.temp.Read("s_2.txt"), "\xE4\xBA\x8C");
    EXPECT_FALSE(Exists("s_3.txt"));
    EXPECT_EQ(h.ui.Messages().back().text,
              U("分割已停止，停在第 1 个文件（共 1 个）！是否打开目录：") + h.temp.Path());
}

TEST_F(SplitJobTest, ZeroPartsWithThreeFiles) {
    TextList paths;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        h.temp.Write(name, "abc");
        paths.push_back(File(name));
    }
    h.form().SetText(PartCountEdit(), "0");
    h.form().SetChecked(SubfolderCheck(), true);
    h.form().SetChecked(DeleteSourceCheck(), true);
    Run(paths);
    ASSERT_EQ(h.ui.Messages().size(), 2u);
    EXPECT_EQ(h.ui.Messages()[0].text, U("份数必须大于0"));
    EXPECT_EQ(h.ui.Messages()[1].text, U("分割完毕！是否打开目录：") + h.temp.Path());
    EXPECT_TRUE(Fs().IsFolder(File("a")));
    EXPECT_FALSE(Fs().IsFolder(File("b")));
    EXPECT_TRUE(Exists("a.txt") && Exists("b.txt") && Exists("c.txt"));
    EXPECT_FALSE(Exists("a/a_1.txt"));
}

TEST_F(SplitJobTest, DroppedFolderAndTheCtrlKey) {
    h.temp.Write("ba.txt", "xy");
    h.form().SetText(FileTypeEdit(), "a*");
    // Whole-name matching: no name begins with a, so nothing runs and nothing is asked.
    h.app.StartSplitJob(h.temp.Path(), TextList());
    EXPECT_FALSE(Exists("ba_1.txt"));
    EXPECT_EQ(Questions(), 0);
    EXPECT_EQ(Caption(), "分割文件..");
    EXPECT_EQ(h.form().Get(SplitButton()).tag, h.temp.Path());

    // With Ctrl held the other listing searches the name anywhere.
    h.ui.SetCtrlDown(true);
    h.app.StartSplitJob(h.temp.Path(), TextList());
    EXPECT_TRUE(Exists("ba_1.txt"));
    EXPECT_EQ(Questions(), 1);
    EXPECT_EQ(h.app.run.lastSplitFolder, h.temp.Path());
}

TEST_F(SplitJobTest, FileDialogTitleFilterAndCancel) {
    h.Click(names::SplitButton);
    ASSERT_EQ(h.ui.Dialogs().size(), 1u);
    EXPECT_EQ(h.ui.Dialogs()[0].title, U("选择多个文件进行分割："));
    EXPECT_EQ(h.ui.Dialogs()[0].filter,
              U("TXT文档(*.txt)|*.txt|HTML文档(*.htm;*.html)|*.htm;*.html|所有文件(*.*)|*.*"));
    EXPECT_EQ(Questions(), 0);
    EXPECT_EQ(Caption(), "分割文件..");

    h.temp.Write("a.txt", "abcd");
    h.temp.Write("b.txt", "efgh");
    h.ui.QueueOpenFiles({File("a.txt"), File("b.txt")});
    h.ui.QueueAnswer(MessageResult::Yes);
    h.Click(names::SplitButton);
    EXPECT_EQ(h.temp.Read("b_2.txt"), "gh");
    ASSERT_EQ(h.ui.OpenedFolders().size(), 1u);
    EXPECT_EQ(h.ui.OpenedFolders()[0], h.temp.Path());
}

TEST_F(SplitJobTest, SourceIsDeletedOnlyAfterACompleteSplit) {
    h.form().SetChecked(DeleteSourceCheck(), true);
    h.temp.Write("ok.txt", "abcd");
    Run({File("ok.txt")});
    EXPECT_FALSE(Exists("ok.txt"));
    EXPECT_EQ(h.temp.Read("ok_1.txt") + h.temp.Read("ok_2.txt"), "abcd");
    EXPECT_TRUE(h.app.run.Failures(JobKind::Split).Empty());

    // The second piece cannot be written: the source stays, and the question says so.
    PosixFileSystem posix;
    FaultyFileSystem faulty(posix);
    ServicesOverride guard(Platform{&faulty, nullptr, nullptr, nullptr});
    faulty.FailNth(FaultyFileSystem::Op::Commit, 2);
    h.temp.Write("bad.txt", "abcd");
    Run({File("bad.txt")});
    EXPECT_EQ(h.temp.Read("bad.txt"), "abcd");
    EXPECT_TRUE(Exists("bad_1.txt"));
    EXPECT_FALSE(Exists("bad_2.txt"));
    const Text& question = h.ui.Messages().back().text;
    EXPECT_NE(question.find(U("以下 2 项操作失败：")), Text::npos);
    EXPECT_NE(question.find(U("无法写入：") + File("bad_2.txt")), Text::npos);
    EXPECT_NE(question.find(U("未删除原文件：") + File("bad.txt")), Text::npos);
    // No temporary file is left beside the pieces.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(ToUtf8Lossy(h.temp.Path()))) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 4);  // ok_1, ok_2, bad and bad_1
}

TEST_F(SplitJobTest, StoppedOrEmptySplitKeepsTheSource) {
    h.form().SetChecked(DeleteSourceCheck(), true);
    h.form().SetText(PartCountEdit(), "3");
    h.temp.Write("s.txt", "abcdef");
    h.ui.AtPump(1, [&] { h.Click(names::SplitButton); });
    Run({File("s.txt")});
    EXPECT_EQ(h.temp.Read("s.txt"), "abcdef");
    EXPECT_FALSE(Exists("s_2.txt"));

    // A byte-size split of an empty file makes no piece.
    h.form().SetChecked(BytesRadio(), true);
    h.form().SetText(ByteSizeEdit(), "4");
    h.temp.Write("empty.txt", "");
    Run({File("empty.txt")});
    EXPECT_TRUE(Exists("empty.txt"));
}

TEST_F(SplitJobTest, UnwritableOutputFolderIsReported) {
    PosixFileSystem posix;
    FaultyFileSystem faulty(posix);
    ServicesOverride guard(Platform{&faulty, nullptr, nullptr, nullptr});
    faulty.FailNth(FaultyFileSystem::Op::CreateFolder, 0);
    faulty.FailNth(FaultyFileSystem::Op::Create, 0);
    h.form().SetChecked(SubfolderCheck(), true);
    h.form().SetChecked(DeleteSourceCheck(), true);
    h.temp.Write("s.txt", "abcd");
    Run({File("s.txt")});
    EXPECT_EQ(faulty.Count(FaultyFileSystem::Op::CreateFolder), 3);
    EXPECT_EQ(h.temp.Read("s.txt"), "abcd");
    const Text& question = h.ui.Messages().back().text;
    EXPECT_NE(question.find(U("无法创建文件夹：") + File("s") + "/"), Text::npos);
    EXPECT_NE(question.find(U("以下 4 项操作失败：")), Text::npos);
}

TEST_F(SplitJobTest, PiecesAreOnDiskBeforeTheSourceGoes) {
    using Op = FaultyFileSystem::Op;
    PosixFileSystem posix;
    FaultyFileSystem faulty(posix);
    ServicesOverride guard(Platform{&faulty, nullptr, nullptr, nullptr});
    // Before the k-th flush, the file's bytes become others of the same length.
    const auto scramble = [&](const char* name, int k) {
        return [&, name, k] {
            faulty.Before(Op::Sync, k, [&, name] {
                h.temp.Write(name, std::string(h.temp.Read(name).size(), 'y'));
            });
        };
    };
    const bool stampsShowChanges = posix.StampsShowEveryChange(h.temp.Path());
    const auto unreadable = [&] {
        faulty.Before(Op::Sync, 3, [&] { faulty.FailPath(Op::Read, "/s.txt"); });
    };
    const auto lines = [&] {
        h.form().SetChecked(LinesRadio(), true);
        h.form().SetText(LineMinEdit(), "1");
        h.form().SetText(LineMaxEdit(), "1");
    };
    struct Row {
        const char* name;
        bool deletion;
        std::function<void()> fault;
        int syncs;  // the two pieces, then their folder once
        const char* failure;
        int parts = 2;
        std::function<void()> mode = [] {};
        std::string source = std::string(static_cast<std::size_t>(2 * parts), 'x');
    } rows[] = {
        {"no deletion, no flush", false, [] {}, 0, nullptr},
        {"deletion", true, [] {}, 3, nullptr},
        // Many pieces go with their whole file system, or one by one when it cannot be flushed.
        {"many pieces", true, [] {}, 1, nullptr, 40},
        {"many pieces, one by one", true, [&] { faulty.FailNth(Op::Sync, 1); }, 42, nullptr, 40},
        // Flushed together before the deletion: the pieces stay, and so does the source.
        {"a piece cannot be flushed", true, [&] { faulty.FailNth(Op::Sync, 2); }, 2,
         "未删除原文件："},
        {"the folder cannot be flushed", true, [&] { faulty.FailNth(Op::Sync, 3); }, 3,
         "未删除原文件："},
        {"a piece replaced after it was written", true,
         [&] { faulty.Before(Op::Sync, 2, [&] { h.temp.Write("s_1.txt", "other"); }); }, 3,
         "未删除原文件："},
        // Read back: a piece of the size written but other bytes, or another file of the
        // same bytes in its name, is no proof.
        {"a piece's bytes changed in place", true,
         [&] { faulty.Before(Op::Sync, 2, [&] { h.temp.Write("s_2.txt", "xy"); }); }, 3,
         "未删除原文件："},
        {"another file in a piece's name", true,
         [&] {
             faulty.Before(Op::Sync, 2, [&] {
                 std::filesystem::rename(ToUtf8Lossy(File("s_1.txt")), ToUtf8Lossy(File("t")));
                 h.temp.Write("s_1.txt", "xx");
             });
         },
         3, "未删除原文件："},
        {"a piece's bytes changed in place, its times put back", true,
         [&] {
             faulty.Before(Op::Sync, 2, [&] {
                 struct stat st {};
                 const std::string piece = ToUtf8Lossy(File("s_2.txt"));
                 ::stat(piece.c_str(), &st);
                 h.temp.Write("s_2.txt", "xy");
                 const struct timespec times[2] = {st.st_atim, st.st_mtim};
                 ::utimensat(AT_FDCWD, piece.c_str(), times, 0);
             });
         },
         3, "未删除原文件："},
        {"one of many pieces changed", true,
         [&] { faulty.Before(Op::Sync, 1, [&] { h.temp.Write("s_40.txt", "x"); }); }, 1,
         "未删除原文件：", 40},
        // Pieces read back as they were named, where stamps show every change, need no second
        // reading of the source; others are compared with it: no reading, no proof.
        {"the source cannot be read again", true, unreadable, 3,
         stampsShowChanges ? nullptr : "未删除原文件："},
        {"a line source cannot be read again", true, unreadable, 3, "未删除原文件：", 2, lines,
         "xx\nxx\n"},
        {"one of many pieces gone", true,
         [&] { faulty.Before(Op::Sync, 1, [&] { Fs().DeleteFile(File("s_17.txt")); }); }, 1,
         "未删除原文件：", 40},
        // Text pieces and books are read back as well; pieces that cannot give the source
        // back (blank lines left out) keep it, and say why.
        {"a line piece's bytes changed in place", true, scramble("s_2.txt", 2), 3, "未删除原文件：",
         2, lines, "xx\nxx\n"},
        {"blank lines left out", true, [] {}, 0, "未删除原文件（跳过了空行", 2,
         [&] {
             lines();
             h.form().SetChecked(U(names::SkipBlankLines), true);
         },
         "xx\n\nxx\n"},
        {"a book's bytes changed in place", true, scramble("s.epub", 1), 2, "未删除原文件：", 2,
         [&] {
             h.form().SetChecked(SeparatorRadio(), true);
             h.app.MoreForm().SetChecked(U(more_names::Chapters), true);
             h.app.MoreForm().SetChecked(U(more_names::Epub), true);
         },
         "第一章 开始\n正文\n第二章 继续\n正文\n"},
    };
    for (const Row& row : rows) {
        faulty.Reset();
        h.form().SetChecked(PartsRadio(), true);
        h.form().SetChecked(U(names::SkipBlankLines), false);
        h.app.MoreForm().SetChecked(U(more_names::Chapters), false);
        row.mode();
        h.temp.Write("s.txt", row.source);
        h.form().SetText(PartCountEdit(), std::to_string(row.parts).c_str());
        h.form().SetChecked(DeleteSourceCheck(), row.deletion);
        row.fault();
        const int before = faulty.Count(Op::Sync);
        Run({File("s.txt")});
        EXPECT_EQ(faulty.Count(Op::Sync) - before, row.syncs) << row.name;
        EXPECT_EQ(Exists("s.txt"), !row.deletion || row.failure) << row.name;
        if (row.failure) {
            EXPECT_NE(Question().find(row.failure), std::string::npos) << row.name << Question();
        }
        for (const auto& e : std::filesystem::directory_iterator(ToUtf8Lossy(h.temp.Path()))) {
            std::filesystem::remove(e.path());
        }
    }
}

TEST_F(SplitJobTest, EmptyDroppedFolderTouchesNothing) {
    h.form().SetMaximum(U(names::Progress), 7);
    h.form().SetPosition(U(names::Progress), 5);
    h.form().SetText(U(names::Status), U("前一个"));
    h.app.StartSplitJob(h.temp.Path(), TextList());
    const Control& bar = h.form().Get(U(names::Progress));
    EXPECT_EQ(bar.maximum, 7);
    EXPECT_EQ(bar.position, 5);
    EXPECT_EQ(h.Caption(names::Status), "");  // the last job's words go when one starts
}

TEST_F(SplitJobTest, UnreadableSourceIsReported) {
    Run({File("missing.txt")});
    EXPECT_NE(h.ui.Messages().back().text.find(U("无法读取：") + File("missing.txt")), Text::npos);
}

}  // namespace
}  // namespace qs

// Jobs on files as old archives and desktops leave them: names that are not UTF-8, named
// pipes, links that lead back into their own folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "app/main_window.h"
#include "app/window_jobs.h"
#include "merge/merge_job.h"
#include "platform/native_names.h"
#include "split/split_job.h"
#include "split/split_state.h"
#include "support/headless_app.h"
#include "support/split_controls.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

class OddFilesTest : public ::testing::Test {
protected:
    OddFilesTest() {
        InstallSplitJob(h.app);
        InstallMergeJob(h.app);
        h.ui.SetDefaultAnswer(MessageResult::No);
        h.form().SetChecked(U("选择框父目录保存"), false);
        h.form().SetChecked(split_controls::PartsRadio(), true);
        h.form().SetText(split_controls::PartCountEdit(), "2");
        h.form().SetChecked(split_controls::SubfolderCheck(), false);
    }
    // The names in the folder as the file system holds them, sorted.
    std::vector<std::string> NativeNames(const Text& folder) {
        std::string native;
        EXPECT_TRUE(InternalToNative(folder, native));
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(native)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    HeadlessApp h;
};

TEST_F(OddFilesTest, NamesThatAreNotUtf8AreListedSplitMergedAndDeletedByTheirBytes) {
    const std::string gbk = "\xD6\xD0\xCE\xC4";  // 中文 in GBK
    const Text old = h.temp.File("old");
    fs::create_directory(fs::path(std::string(h.temp.Path()) + "/old"));
    h.temp.Write(NativeToInternal("old/" + gbk + ".txt"), "AB");
    h.temp.Write("old/b.txt", "C");
    h.temp.Write(NativeToInternal("old/\xFF.txt"), "D");

    h.app.StartMergeJob(Text(), {old}, true, true);
    // Listed in name order, b.txt first: b等3个文件.txt
    const std::string output =
        "b\xE7\xAD\x89"
        "3\xE4\xB8\xAA\xE6\x96\x87\xE4\xBB\xB6.txt";
    EXPECT_EQ(h.temp.Read(NativeToInternal("old/" + output)).size(), 4u);
    EXPECT_TRUE(h.app.run.Failures(JobKind::Merge).Empty());

    h.form().SetChecked(split_controls::DeleteSourceCheck(), true);
    h.app.StartSplitJob(Text(),
                        {NativeToInternal(std::string(h.temp.Path()) + "/old/" + gbk + ".txt")});
    EXPECT_EQ(NativeNames(old), (std::vector<std::string>{"b.txt", output, gbk + "_1.txt",
                                                          gbk + "_2.txt", "\xFF.txt"}));
    EXPECT_EQ(h.temp.Read(NativeToInternal("old/" + gbk + "_2.txt")), "B");
    // Shown as its GB18030 characters.
    EXPECT_EQ(h.app.run.StatusText, "(1/1)" + gbk + ".txt");
    EXPECT_TRUE(h.app.run.Failures(JobKind::Split).Empty());
}

// Only regular files are read: a pipe is listed as unreadable and never waited on; a
// folder walk does not follow a link back into itself.
TEST_F(OddFilesTest, PipesAreSkippedAndLinksNeverLoop) {
    ::alarm(60);  // a blocking open would hang the test for good
    const std::string d = std::string(h.temp.Path()) + "/d";
    fs::create_directories(d + "/sub");
    ASSERT_EQ(::mkfifo((d + "/pipe.txt").c_str(), 0600), 0);
    fs::create_directory_symlink(d, d + "/sub/loop");
    h.temp.Write("d/a.txt", "A");
    h.temp.Write("d/sub/b.txt", "B");
    h.form().SetChecked(U("选择框遍历子目录"), true);

    h.app.StartMergeJob(Text(), {h.temp.File("d")}, true, true);
    EXPECT_EQ(h.temp.Read(U("d/a等2个文件.txt")), "A");
    EXPECT_EQ(h.temp.Read(U("d/sub/b等1个文件.txt")), "B");
    EXPECT_EQ(NativeNames(h.temp.File("d/sub")),
              (std::vector<std::string>{"b.txt",
                                        "b\xE7\xAD\x89"
                                        "1\xE4\xB8\xAA\xE6\x96\x87\xE4\xBB\xB6.txt",
                                        "loop"}));
    const TextList unreadable = {U("无法读取：") + h.temp.File("d/pipe.txt")};
    TextList failures;
    for (const auto& [kind, path] : h.app.run.Failures(JobKind::Merge).Items()) {
        failures.push_back(FailureList::Label(kind) + path);
    }
    EXPECT_EQ(failures, unreadable);

    h.app.StartSplitJob(h.temp.File("d"), {});
    ASSERT_EQ(h.app.run.Failures(JobKind::Split).Count(), 1u);
    EXPECT_EQ(h.app.run.Failures(JobKind::Split).Items()[0].second, h.temp.File("d/pipe.txt"));
    ::alarm(0);
}

}  // namespace
}  // namespace qs

// Jobs on files as old archives and desktops leave them: names that are not UTF-8.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/main_window.h"
#include "merge/merge_job.h"
#include "platform/native_names.h"
#include "split/split_job.h"
#include "split/split_settings.h"
#include "support/headless_app.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

class OddFilesTest : public ::testing::Test {
protected:
    OddFilesTest() {
        InstallSplitJob(h.app);
        InstallMergeJob(h.app);
        h.ui.SetDefaultAnswer(ResultNo);
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

}  // namespace
}  // namespace qs

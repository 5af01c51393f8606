// Faults made with real files and folders, without the fault-injecting file system.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "support/engine_jobs.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

const std::string kA = "alpha\r\nbeta\r\ngamma\r\ndelta\r\n";
const std::string kB = "one\ntwo\nthree\n";

class RealFault : public ::testing::Test {
protected:
    RealFault() {
        fs::create_directories(Native("src"));
        h.temp.Write("src/a.txt", kA);
        h.temp.Write("src/b.txt", kB);
        h.PlainJobs(true);
        h.split.params.mode = SplitIntoPartsParams{2};
    }
    std::string Native(const std::string& relative) {
        return ToUtf8Lossy(h.temp.File(U(relative)));
    }
    Text Src(const std::string& name) { return h.Src(name); }
    std::string Read(const std::string& relative) { return h.temp.Read(U(relative)); }
    bool Exists(const std::string& relative) {
        std::error_code ignored;
        const fs::file_status status = fs::symlink_status(Native(relative), ignored);
        return fs::exists(status) || fs::is_symlink(status);
    }
    std::string Messages() { return h.Messages(); }
    // The pieces base_1, base_2, ... joined.
    std::string Pieces(const std::string& folder, const std::string& base) {
        std::string joined;
        for (int i = 1; Exists(folder + "/" + base + "_" + std::to_string(i) + ".txt"); ++i) {
            joined += Read(folder + "/" + base + "_" + std::to_string(i) + ".txt");
        }
        return joined;
    }
    bool NoTemporary() {
        for (const auto& e : fs::recursive_directory_iterator(ToUtf8Lossy(h.temp.Path()))) {
            if (e.path().filename().string().rfind(".qirnsplit-", 0) == 0) {
                return false;
            }
        }
        return true;
    }

    EngineJobs h;
};

TEST_F(RealFault, SplitPieceNameTakenByAFolder) {
    fs::create_directories(Native("src/a_1.txt/inner"));
    h.Split({Src("a.txt")});
    EXPECT_TRUE(fs::is_directory(Native("src/a_1.txt/inner")));
    EXPECT_EQ(Read("src/a.txt"), kA) << "a source whose piece failed must stay";
    EXPECT_NE(Messages().find("无法写入"), std::string::npos) << Messages();
    EXPECT_NE(Messages().find("未删除原文件"), std::string::npos) << Messages();
    EXPECT_TRUE(NoTemporary());
}

TEST_F(RealFault, MergeOutputNameTakenByAFolder) {
    fs::create_directories(Native("src/a等2个文件.txt"));
    h.Merge({Src("a.txt"), Src("b.txt")});
    EXPECT_TRUE(fs::is_directory(Native("src/a等2个文件.txt")));
    EXPECT_EQ(Read("src/a.txt"), kA);
    EXPECT_EQ(Read("src/b.txt"), kB);
    EXPECT_NE(Messages().find("无法写入"), std::string::npos) << Messages();
    EXPECT_TRUE(NoTemporary());
}

TEST_F(RealFault, SplitSourceThatLinksToAnotherSource) {
    fs::create_symlink("a.txt", Native("src/link.txt"));
    h.Split({Src("a.txt"), Src("link.txt")});
    // Whichever name came first, its pieces hold the whole text.
    EXPECT_TRUE(Pieces("src", "a") == kA || Pieces("src", "link") == kA)
        << Pieces("src", "a") << "|" << Pieces("src", "link");
    if (!Exists("src/a.txt")) {
        EXPECT_EQ(Pieces("src", "a"), kA);
    }
    EXPECT_TRUE(NoTemporary());
}

TEST_F(RealFault, MergeSourceThatLinksToAnotherSource) {
    fs::create_symlink("a.txt", Native("src/link.txt"));
    h.Merge({Src("a.txt"), Src("link.txt"), Src("b.txt")});
    const std::string out = Read("src/a等3个文件.txt");
    EXPECT_EQ(out, kA + kA + kB);
    EXPECT_TRUE(NoTemporary());
}

TEST_F(RealFault, SplitSourceListedTwiceWithDeletion) {
    h.split.params.pattern = "*.*|*.txt";
    h.Split({h.temp.File("src")});
    EXPECT_EQ(Pieces("src", "a"), kA);
    EXPECT_EQ(Pieces("src", "b"), kB);
    EXPECT_FALSE(Exists("src/a.txt"));
    EXPECT_FALSE(Exists("src/b.txt"));
    EXPECT_TRUE(NoTemporary());
}

TEST_F(RealFault, MergeSourceListedTwiceWithDeletion) {
    h.merge.params.pattern = "*.*|*.txt";
    h.Merge({}, {h.temp.File("src")});
    // Every listed member went into the output, in listing order, before any deletion.
    EXPECT_EQ(Read("src/a等4个文件.txt"), kA + kB + kA + kB);
    EXPECT_FALSE(Exists("src/a.txt"));
    EXPECT_FALSE(Exists("src/b.txt"));
    EXPECT_TRUE(NoTemporary());
}

// A folder the job cannot write into. Root writes through permission bits, so there the
// same refusal is made another real way: the sub-folder's name is taken by a file.
TEST_F(RealFault, SplitIntoAFolderThatCannotBeWritten) {
    h.split.params.subfolder = true;
    if (geteuid() != 0) {
        fs::create_directories(Native("src/a"));
        fs::permissions(Native("src/a"), fs::perms::owner_read | fs::perms::owner_exec);
    } else {
        h.temp.Write("src/a", "in the way");
    }
    h.Split({Src("a.txt")});
    EXPECT_EQ(Read("src/a.txt"), kA);
    if (geteuid() == 0) {
        EXPECT_EQ(Read("src/a"), "in the way");
    }
    EXPECT_FALSE(Messages().empty());
    EXPECT_NE(Messages().find("未删除原文件"), std::string::npos) << Messages();
    EXPECT_TRUE(NoTemporary());
}

TEST_F(RealFault, MergeIntoAFolderThatCannotBeWritten) {
    // The output goes to the parent of the members' folder, which is read-only; as root the
    // output's place beside the members is taken by a folder instead.
    h.merge.params.saveInParentFolder = true;
    fs::create_directories(Native("ro/in"));
    h.temp.Write("ro/in/a.txt", kA);
    h.temp.Write("ro/in/b.txt", kB);
    if (geteuid() != 0) {
        fs::permissions(Native("ro"), fs::perms::owner_read | fs::perms::owner_exec);
    }
    const Text a = h.temp.File("ro/in/a.txt");
    const Text b = h.temp.File("ro/in/b.txt");
    if (geteuid() == 0) {
        h.merge.params.saveInParentFolder = false;
        fs::create_directories(Native("ro/in/a等2个文件.txt/x"));
    }
    h.Merge({a, b});
    if (geteuid() != 0) {
        fs::permissions(Native("ro"), fs::perms::owner_all);
    }
    EXPECT_EQ(Read("ro/in/a.txt"), kA);
    EXPECT_EQ(Read("ro/in/b.txt"), kB);
    EXPECT_NE(Messages().find("无法写入"), std::string::npos) << Messages();
    EXPECT_TRUE(NoTemporary());
}

}  // namespace
}  // namespace qs

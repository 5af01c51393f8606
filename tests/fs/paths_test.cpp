#include "fs/paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <set>

#include "platform/services.h"

namespace qs {
namespace {

struct SplitRow {
    const char* name;
    Text path;
    Text directory;
    Text fileName;
    Text baseName;
    Text extension;
};

TEST(PathsTest, SplitWithBackslash) {
    const SplitRow rows[] = {
        {"chinese names", U("D:\\书\\第一章.txt"), U("D:\\书"), U("第一章.txt"), U("第一章"),
         "txt"},
        {"dot in the folder", "D:\\a.b\\c", "D:\\a.b", "c", "c", ""},
        {"two dots", "D:\\a\\b.tar.gz", "D:\\a", "b.tar.gz", "b.tar", "gz"},
        {"trailing dot", "D:\\a\\b.", "D:\\a", "b.", "b", ""},
        {"dot file", "D:\\a\\.txt", "D:\\a", ".txt", "", "txt"},
        {"trailing separator", "D:\\a\\", "D:\\a", "", "", ""},
        {"no separator", "b.txt", "", "b.txt", "b", "txt"},
        {"drive only", "D:", "", "D:", "D:", ""},
        {"empty", "", "", "", "", ""},
        // 誠 (D5 5C) ends with a backslash byte that is not a separator
        {"trail byte 5C", "D:\\x\\\xD5\x5C.txt", "D:\\x", "\xD5\x5C.txt", "\xD5\x5C", "txt"},
        {"trail byte 5C only", "\xD5\x5C", "", "\xD5\x5C", "\xD5\x5C", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(PathDirectory(row.path, '\\'), row.directory) << row.name;
        EXPECT_EQ(PathFileName(row.path, '\\'), row.fileName) << row.name;
        EXPECT_EQ(PathBaseName(row.path, '\\'), row.baseName) << row.name;
        EXPECT_EQ(PathExtension(row.path, '\\'), row.extension) << row.name;
    }
}

TEST(PathsTest, SplitWithSlashByDefault) {
    EXPECT_EQ(PathDirectory("/home/a/b.txt"), "/home/a");
    EXPECT_EQ(PathFileName("/home/a/b.txt"), "b.txt");
    EXPECT_EQ(PathBaseName("/home/a.d/b"), "b");
    EXPECT_EQ(PathExtension("/home/a.d/b"), "");
    EXPECT_EQ(PathDirectory("/b"), "");
    EXPECT_EQ(PathFileName("a\\b"), "a\\b");
}

// Folders and files by full path; "D:" is there from the start.
class MemoryFileSystem : public FileSystem {
public:
    std::set<Text> folders{"D:"};
    std::set<Text> files;
    std::vector<Text> created;

    PathKind Kind(const Text& path) override {
        if (folders.count(path)) {
            return PathKind::Folder;
        }
        return files.count(path) ? PathKind::File : PathKind::Missing;
    }
    bool CreateFolder(const Text& path) override {
        const Text parent = PathDirectory(path, '\\');
        if (path.empty() || Kind(path) != PathKind::Missing || !folders.count(parent)) {
            return false;
        }
        folders.insert(path);
        created.push_back(path);
        return true;
    }
    bool DeleteFile(const Text&) override { return false; }
    std::optional<Bytes> ReadWholeFile(const Text&) override { return std::nullopt; }
    std::unique_ptr<ReadHandle> OpenRead(const Text&) override { return nullptr; }
    bool WriteWholeFile(const Text&, std::string_view) override { return false; }
    std::unique_ptr<AtomicWriter> CreateAtomic(const Text&) override { return nullptr; }
    std::unique_ptr<ReadWriteFile> OpenReadWrite(const Text&) override { return nullptr; }
    std::optional<std::vector<DirEntry>> List(const Text&) override { return std::nullopt; }
    std::optional<std::pair<std::uint64_t, std::uint64_t>> FileIdentity(const Text&) override {
        return std::nullopt;
    }
};

TEST(EnsureDirectoryChainTest, BackslashPaths) {
    struct Row {
        const char* name;
        Text path;
        bool ok;
        std::vector<Text> created;
    };
    const Row rows[] = {
        {"trailing separator", "D:\\x\\y\\", true, {"D:\\x", "D:\\x\\y"}},
        {"last component not created", "D:\\x\\y", true, {"D:\\x"}},
        {"server share", "\\\\server\\share\\dir\\", false, {}},
        {"file in the way", "D:\\f\\y\\", false, {}},
        {"no separator", "abc", true, {}},
        // 誠 (D5 5C) in a folder name is not a separator
        {"trail byte 5C", "D:\\\xD5\x5C\\", true, {"D:\\\xD5\x5C"}},
    };
    for (const auto& row : rows) {
        MemoryFileSystem fs;
        fs.files.insert("D:\\f");
        ServicesOverride use({&fs, nullptr, nullptr, nullptr});
        EXPECT_EQ(EnsureDirectoryChain(row.path, '\\'), row.ok) << row.name;
        EXPECT_EQ(fs.created, row.created) << row.name;
    }
}

TEST(EnsureDirectoryChainTest, AbsolutePosixPath) {
    char pattern[] = "/tmp/qs-paths-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string root = pattern;
    EXPECT_TRUE(EnsureDirectoryChain(U(root + "/书/第一/")));
    EXPECT_TRUE(std::filesystem::is_directory(root + "/书/第一"));
    EXPECT_TRUE(EnsureDirectoryChain(U(root + "/书/第一/")));  // all there already
    EXPECT_TRUE(EnsureDirectoryChain(U(root + "/a/b")));
    EXPECT_TRUE(std::filesystem::is_directory(root + "/a"));
    EXPECT_FALSE(std::filesystem::exists(root + "/a/b"));
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace qs

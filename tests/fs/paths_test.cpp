#include "fs/paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <set>

#include "platform/services.h"

namespace qs {
namespace {

// Every piece of a path as the jobs name their outputs after it.
TEST(PathsTest, PartsOfOddPaths) {
    const struct {
        const char* name;
        Text path;
        Text folder;
        Text fileName;
        Text stem;
        Text extension;
    } rows[] = {
        {"chinese names", U("/书/第一章.txt"), U("/书"), U("第一章.txt"), U("第一章"), "txt"},
        {"no extension", "/a.b/c", "/a.b", "c", "c", ""},
        {"two dots", "/a/b.tar.gz", "/a", "b.tar.gz", "b.tar", "gz"},
        {"trailing dot", "/a/b.", "/a", "b.", "b", ""},
        {"leading dot", "/a/.txt", "/a", ".txt", "", "txt"},
        {"trailing separator", "/a/", "/a", "", "", ""},
        {"root file", "/b", "", "b", "b", ""},
        {"no separator", "b.txt", "", "b.txt", "b", "txt"},
        {"empty", "", "", "", "", ""},
        {"backslash is a name byte", "a\\b.c", "", "a\\b.c", "a\\b", "c"},
        // a stray lead byte takes neither the dot nor the separator after it
        {"stray lead byte", "/x\x81/\x81.t", "/x\x81", "\x81.t", "\x81", "t"},
        // a byte that is not UTF-8 in a name, as the file system hands it over
        {"escaped byte", "/d/\x8F\x39\x81\x30.txt", "/d", "\x8F\x39\x81\x30.txt",
         "\x8F\x39\x81\x30", "txt"},
    };
    for (const auto& row : rows) {
        const PathParts parts = ParsePath(row.path);
        EXPECT_EQ(parts.folder, row.folder) << row.name;
        EXPECT_EQ(PathDirectory(row.path), row.folder) << row.name;
        EXPECT_EQ(PathFileName(row.path), row.fileName) << row.name;
        EXPECT_EQ(parts.stem, row.stem) << row.name;
        EXPECT_EQ(parts.extension, row.extension) << row.name;
        EXPECT_EQ(parts.DotExtension(), row.extension.empty() ? "" : "." + row.extension)
            << row.name;
    }
}

// Folders and files by full path; the root is there from the start.
class MemoryFileSystem : public FileSystem {
public:
    std::set<Text> folders{""};
    std::set<Text> files;
    std::vector<Text> created;

    PathKind Kind(const Text& path) override {
        if (folders.count(path)) {
            return PathKind::Folder;
        }
        return files.count(path) ? PathKind::File : PathKind::Missing;
    }
    bool CreateFolder(const Text& path) override {
        const Text parent = PathDirectory(path);
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

TEST(EnsureDirectoryChainTest, MakesEachMissingFolder) {
    struct Row {
        const char* name;
        Text path;
        bool ok;
        std::vector<Text> created;
    };
    const Row rows[] = {
        {"trailing separator", "/x/y/", true, {"/x", "/x/y"}},
        {"last component not created", "/x/y", true, {"/x"}},
        {"file in the way", "/f/y/", false, {}},
        {"no separator", "abc", true, {}},
        {"root only", "/", true, {}},
        // 誠 (D5 5C) in a folder name
        {"trail byte 5C", "/\xD5\x5C/", true, {"/\xD5\x5C"}},
    };
    for (const auto& row : rows) {
        MemoryFileSystem fs;
        fs.files.insert("/f");
        ServicesOverride use({&fs, nullptr, nullptr, nullptr});
        EXPECT_EQ(EnsureDirectoryChain(row.path), row.ok) << row.name;
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

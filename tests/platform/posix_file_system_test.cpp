#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/posix_file_system.h"
#include "platform/services.h"
#include "support/faulty_file_system.h"
#include "support/scripted_ui.h"

namespace qs {
namespace {

namespace stdfs = std::filesystem;

class PosixFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qs-fs-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_root = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        stdfs::permissions(m_root, stdfs::perms::owner_all, stdfs::perm_options::add, ignored);
        stdfs::remove_all(m_root, ignored);
    }
    Text Path(const std::string& name) const { return m_root + "/" + name; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : stdfs::directory_iterator(m_root)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    std::string m_root;
    PosixFileSystem m_fs;
};

TEST_F(PosixFileSystemTest, WholeFileRoundTripKeepsZeroBytes) {
    const Bytes bytes("a\0b\r\n\xFF", 6);
    ASSERT_TRUE(m_fs.WriteWholeFile(Path("x.bin"), bytes));
    EXPECT_EQ(m_fs.ReadWholeFile(Path("x.bin")).value(), bytes);
    EXPECT_EQ(m_fs.Kind(Path("x.bin")), PathKind::File);
    EXPECT_EQ(Names(), std::vector<std::string>{"x.bin"});  // no temporary left
}

TEST_F(PosixFileSystemTest, LargeFilesAreReadWholeWithoutDispatchingEvents) {
    std::string big;
    for (int i = 0; big.size() < (9u << 20) + 3; ++i) {
        big += static_cast<char>(i * 13 % 256);
    }
    ASSERT_TRUE(m_fs.WriteWholeFile(Path("big.bin"), big));
    ScriptedUi ui;
    ServicesOverride services(Platform{nullptr, nullptr, nullptr, &ui});
    EXPECT_TRUE(m_fs.ReadWholeFile(Path("big.bin")).value() == big);
    EXPECT_EQ(ui.PumpCount(), 0);
}

TEST_F(PosixFileSystemTest, ReplacingAFileLeavesNoTemporary) {
    ASSERT_TRUE(m_fs.WriteWholeFile(Path("x.txt"), "first"));
    ASSERT_TRUE(m_fs.WriteWholeFile(Path("x.txt"), "second"));
    EXPECT_EQ(m_fs.ReadWholeFile(Path("x.txt")).value(), "second");
    EXPECT_EQ(Names(), std::vector<std::string>{"x.txt"});
}

TEST_F(PosixFileSystemTest, FailedAtomicWriteLeavesOldFileAndNoTemporary) {
    ASSERT_TRUE(m_fs.WriteWholeFile(Path("keep.txt"), "old"));
    FaultyFileSystem faulty(m_fs);
    faulty.FailNth(FaultyFileSystem::Op::Write, 1);
    EXPECT_FALSE(faulty.WriteWholeFile(Path("keep.txt"), "new content"));
    EXPECT_EQ(m_fs.ReadWholeFile(Path("keep.txt")).value(), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"keep.txt"});

    faulty.FailNth(FaultyFileSystem::Op::Commit, 1);
    EXPECT_FALSE(faulty.WriteWholeFile(Path("keep.txt"), "newer"));
    EXPECT_EQ(m_fs.ReadWholeFile(Path("keep.txt")).value(), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"keep.txt"});
}

// A handle of another file system: the writer cannot copy in the kernel from it.
class MemoryReadHandle : public ReadHandle {
public:
    MemoryReadHandle(std::string bytes, std::int64_t failAt)
        : m_bytes(std::move(bytes)), m_failAt(failAt) {}
    std::int64_t Length() override { return static_cast<std::int64_t>(m_bytes.size()); }
    bool Seek(std::int64_t position) override {
        m_position = static_cast<std::size_t>(position);
        return true;
    }
    std::int64_t Read(char* buffer, std::int64_t size) override {
        if (m_failAt >= 0 && static_cast<std::int64_t>(m_position) >= m_failAt) {
            return -1;
        }
        const std::size_t n = std::min(static_cast<std::size_t>(size), m_bytes.size() - m_position);
        m_bytes.copy(buffer, n, m_position);
        m_position += n;
        return static_cast<std::int64_t>(n);
    }

private:
    std::string m_bytes;
    std::int64_t m_failAt;
    std::size_t m_position = 0;
};

TEST_F(PosixFileSystemTest, CopyFromAppendsTheRestOfASource) {
    // More than one buffer of the buffered copy, with every byte value.
    std::string big;
    for (int i = 0; i < 700000; ++i) {
        big += static_cast<char>(i * 7 % 256);
    }
    ASSERT_TRUE(m_fs.WriteWholeFile(Path("big.bin"), big));
    auto writer = m_fs.CreateAtomic(Path("out.bin"));
    ASSERT_TRUE(writer->Write("head|"));
    auto source = m_fs.OpenRead(Path("big.bin"));
    ASSERT_TRUE(source->Seek(3));
    EXPECT_EQ(writer->CopyFrom(*source), AtomicWriter::CopyResult::Copied);
    MemoryReadHandle memory(big, -1);
    EXPECT_EQ(writer->CopyFrom(memory), AtomicWriter::CopyResult::Copied);
    ASSERT_TRUE(writer->Commit());
    EXPECT_EQ(m_fs.ReadWholeFile(Path("out.bin")).value(), "head|" + big.substr(3) + big);
}

TEST_F(PosixFileSystemTest, CopyFromWithALimitCopiesExactlyThatMuch) {
    ASSERT_TRUE(m_fs.WriteWholeFile(Path("src.bin"), "0123456789"));
    auto writer = m_fs.CreateAtomic(Path("out.bin"));
    auto source = m_fs.OpenRead(Path("src.bin"));
    ASSERT_TRUE(source->Seek(2));
    EXPECT_EQ(writer->CopyFrom(*source, 3), AtomicWriter::CopyResult::Copied);  // 234
    EXPECT_EQ(writer->CopyFrom(*source, 0), AtomicWriter::CopyResult::Copied);
    MemoryReadHandle memory("abcdef", -1);
    EXPECT_EQ(writer->CopyFrom(memory, 4), AtomicWriter::CopyResult::Copied);  // abcd
    ASSERT_TRUE(writer->Commit());
    EXPECT_EQ(m_fs.ReadWholeFile(Path("out.bin")).value(), "234abcd");

    // A source that ends before the limit was cut short under the copy.
    auto shortWriter = m_fs.CreateAtomic(Path("short.bin"));
    ASSERT_TRUE(source->Seek(8));
    EXPECT_EQ(shortWriter->CopyFrom(*source, 5), AtomicWriter::CopyResult::ReadFailed);
    MemoryReadHandle shortMemory("xy", -1);
    EXPECT_EQ(shortWriter->CopyFrom(shortMemory, 3), AtomicWriter::CopyResult::ReadFailed);
}

TEST_F(PosixFileSystemTest, CopyFromTellsReadFailuresFromWriteFailures) {
    auto writer = m_fs.CreateAtomic(Path("out.bin"));
    MemoryReadHandle broken(std::string(300000, 'x'), 262144);
    EXPECT_EQ(writer->CopyFrom(broken), AtomicWriter::CopyResult::ReadFailed);

    FaultyFileSystem faulty(m_fs);
    faulty.FailNth(FaultyFileSystem::Op::Write, 1);
    auto failing = faulty.CreateAtomic(Path("other.bin"));
    MemoryReadHandle fine("abc", -1);
    EXPECT_EQ(failing->CopyFrom(fine), AtomicWriter::CopyResult::WriteFailed);
    EXPECT_FALSE(failing->Commit());
}

TEST_F(PosixFileSystemTest, WriterWithoutCommitChangesNothing) {
    {
        auto writer = m_fs.CreateAtomic(Path("never.txt"));
        ASSERT_TRUE(writer);
        EXPECT_TRUE(writer->Write("abc"));
    }
    EXPECT_TRUE(Names().empty());
}

TEST_F(PosixFileSystemTest, ReplacedFileKeepsItsPermissions) {
    ASSERT_TRUE(m_fs.WriteWholeFile(Path("mode.txt"), "1"));
    ::chmod(Path("mode.txt").c_str(), 0640);
    ASSERT_TRUE(m_fs.WriteWholeFile(Path("mode.txt"), "2"));
    struct stat st {};
    ASSERT_EQ(::stat(Path("mode.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(PosixFileSystemTest, NeverReplacesAFolderByAFile) {
    ASSERT_TRUE(m_fs.CreateFolder(Path("dir")));
    EXPECT_FALSE(m_fs.WriteWholeFile(Path("dir"), "x"));
    EXPECT_EQ(m_fs.Kind(Path("dir")), PathKind::Folder);
}

TEST_F(PosixFileSystemTest, ReadOnlySourceCanBeRead) {
    ASSERT_TRUE(m_fs.WriteWholeFile(Path("ro.txt"), "data"));
    ::chmod(Path("ro.txt").c_str(), 0444);
    EXPECT_EQ(m_fs.ReadWholeFile(Path("ro.txt")).value(), "data");
    auto handle = m_fs.OpenRead(Path("ro.txt"));
    ASSERT_TRUE(handle);
    EXPECT_EQ(handle->Length(), 4);
    ASSERT_TRUE(handle->Seek(2));
    char buffer[8];
    EXPECT_EQ(handle->Read(buffer, 8), 2);
    EXPECT_EQ(std::string(buffer, 2), "ta");
}

TEST_F(PosixFileSystemTest, ChineseNamesCrossTheBoundaryAsUtf8) {
    const Text name = "\xB5\xDA\xD2\xBB\xD5\xC2.txt";  // 第一章.txt in GB18030
    ASSERT_TRUE(m_fs.WriteWholeFile(Path(name), "x"));
    EXPECT_TRUE(stdfs::exists(m_root + "/\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0.txt"));
    auto entries = m_fs.List(Text(m_root));
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ((*entries)[0].name, name);
    EXPECT_FALSE((*entries)[0].isFolder);
}

TEST_F(PosixFileSystemTest, RangesOfASparseSourceCopyTheirZerosAndData) {
    // Islands of data in holes; ranges that start, end and lie wholly in either.
    constexpr std::int64_t kSize = 3 << 20;
    Bytes expected(kSize, '\0');
    {
        auto file = m_fs.OpenReadWrite(Path("sparse.bin"));
        ASSERT_TRUE(file && file->Truncate(kSize));
        for (const std::int64_t at : {std::int64_t{0}, kSize / 3, kSize / 3 * 2 + 77, kSize - 5}) {
            const std::string island(5000 - static_cast<std::size_t>(at % 4995), 'd');
            ASSERT_TRUE(file->WriteAt(at, island));
            expected.replace(static_cast<std::size_t>(at), island.size(), island);
        }
    }
    auto source = m_fs.OpenRead(Path("sparse.bin"));
    std::srand(26);
    for (int k = 0; k < 40; ++k) {
        const std::int64_t start = k == 0 ? 6000 : std::rand() % kSize;
        const std::int64_t length = k == 0 ? (1 << 20) - 6000 : std::rand() % (kSize - start);
        auto writer = m_fs.CreateAtomic(Path("piece.bin"));
        ASSERT_EQ(writer->CopyRange(*source, start, length), AtomicWriter::CopyResult::Copied);
        ASSERT_EQ(writer->CommitNew(Path("piece" + std::to_string(k))),
                  AtomicWriter::NameResult::Named);
        ASSERT_EQ(
            m_fs.ReadWholeFile(Path("piece" + std::to_string(k))).value(),
            expected.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length)))
            << "range " << start << " + " << length;
    }
}

TEST_F(PosixFileSystemTest, InPlaceEditing) {
    auto file = m_fs.OpenReadWrite(Path("s.ini"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->ReadAll().value(), "");
    ASSERT_TRUE(file->WriteAt(0, "hello world"));
    ASSERT_TRUE(file->WriteAt(6, "there"));
    ASSERT_TRUE(file->Truncate(8));
    EXPECT_EQ(file->ReadAll().value(), "hello th");
}

TEST_F(PosixFileSystemTest, CommitNewNeverReplaces) {
    // Also in a held folder, whose files every call reaches through the folder.
    for (const bool held : {false, true}) {
        for (const std::string& name : Names()) {
            stdfs::remove(m_root + "/" + name);
        }
        const std::unique_ptr<FolderHold> hold = held ? m_fs.HoldFolder(Text(m_root)) : nullptr;
        ASSERT_EQ(hold != nullptr, held);
        using Name = AtomicWriter::NameResult;
        ASSERT_TRUE(m_fs.WriteWholeFile(Path("old.txt"), "old"));
        ASSERT_TRUE(m_fs.WriteWholeFile(Path("src.bin"), "0123456789"));
        auto source = m_fs.OpenRead(Path("src.bin"));
        auto writer = m_fs.CreateAtomic(Path("old.txt"));
        ASSERT_TRUE(writer);
        // A range at an offset, wherever the source stands.
        EXPECT_EQ(writer->CopyRange(*source, 6, 3), AtomicWriter::CopyResult::Copied);
        EXPECT_EQ(writer->CopyRange(*source, 1, 2), AtomicWriter::CopyResult::Copied);
        EXPECT_TRUE(writer->Sync());
        EXPECT_EQ(writer->CommitNew(Path("old.txt")), Name::Taken);
        EXPECT_EQ(m_fs.ReadWholeFile(Path("old.txt")).value(), "old");
        EXPECT_EQ(writer->CommitNew(Path("new.txt")), Name::Named);
        EXPECT_EQ(m_fs.ReadWholeFile(Path("new.txt")).value(), "67812");
        EXPECT_EQ(writer->CommitNew(Path("other.txt")), Name::Failed) << "named once only";
        EXPECT_EQ(m_fs.FileSize(Path("new.txt")), 5);
        EXPECT_EQ(m_fs.FileSize(Path(".")), std::nullopt);
        EXPECT_TRUE(m_fs.SyncToDisk(Text(m_root)));
        EXPECT_TRUE(m_fs.SyncFileSystemOf(Text(m_root)));
        EXPECT_FALSE(m_fs.SyncFileSystemOf(Path("none")));
        EXPECT_FALSE(m_fs.SyncToDisk(Path("none")));
        // A taken name, then a replacing commit of the target.
        auto replacing = m_fs.CreateAtomic(Path("old.txt"));
        ASSERT_TRUE(replacing->Write("fresh"));
        EXPECT_EQ(replacing->CommitNew(Path("new.txt")), Name::Taken);
        EXPECT_TRUE(replacing->Commit());
        EXPECT_EQ(m_fs.ReadWholeFile(Path("old.txt")).value(), "fresh");
        EXPECT_EQ(Names().size(), 3u) << "no temporary file is left";
        EXPECT_TRUE(m_fs.FileIdentity(Path("old.txt")));
        EXPECT_TRUE(m_fs.DeleteFile(Path("src.bin")));
        EXPECT_EQ(m_fs.Kind(Path("src.bin")), PathKind::Missing);
    }
}

TEST_F(PosixFileSystemTest, AFileReadBackAsItIsNamedGivesAStampOnlyForWhatWasWritten) {
    for (const bool held : {false, true}) {
        const std::unique_ptr<FolderHold> hold = held ? m_fs.HoldFolder(Text(m_root)) : nullptr;
        const struct {
            const char* name;
            std::string written, expected;
        } rows[] = {{"same", "abc", "abc"},   {"empty", "", ""},       {"other", "abc", "abd"},
                    {"shorter", "abc", "ab"}, {"longer", "ab", "abc"}, {"unasked", "abc", ""}};
        for (const auto& row : rows) {
            const Text path = Path(std::string(row.name) + (held ? "-held" : ""));
            SCOPED_TRACE(path);
            auto writer = m_fs.CreateAtomic(path);
            ASSERT_TRUE(writer && writer->Write(row.written));
            if (std::string_view(row.name) != "unasked") {
                writer->ReadBackWhenNamed(row.expected);
            }
            ASSERT_EQ(writer->CommitNew(path), AtomicWriter::NameResult::Named);
            const std::optional<FileStamp> readBack = writer->ReadBack();
            writer.reset();
            if (row.written != row.expected || std::string_view(row.name) == "unasked") {
                EXPECT_FALSE(readBack);
                continue;
            }
            ASSERT_TRUE(readBack);
            EXPECT_EQ(*readBack, m_fs.Stamp(path));
            if (!m_fs.StampsShowEveryChange(Text(m_root))) {
                continue;
            }
            // Other bytes of the same length at once, the modification time put back: the
            // change time still shows it.
            struct stat st {};
            ASSERT_EQ(::stat(path.c_str(), &st), 0);
            std::ofstream(path, std::ios::binary | std::ios::trunc)
                << std::string(row.written.size(), 'z');
            const struct timespec times[2] = {st.st_atim, st.st_mtim};
            ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
            EXPECT_NE(m_fs.Stamp(path)->changedNs, readBack->changedNs);
        }
    }
    EXPECT_FALSE(m_fs.StampsShowEveryChange(Path("none")));
}

TEST_F(PosixFileSystemTest, StampsOfManyFilesAreEachOnesStamp) {
    // Enough to be looked at side by side, in a held folder and beside it; a missing file
    // and a folder have none.
    const std::unique_ptr<FolderHold> hold = m_fs.HoldFolder(Text(m_root));
    std::vector<Text> paths = {Path("none"), Text(m_root)};
    for (int k = 0; k < 1200; ++k) {
        paths.push_back(Path("f" + std::to_string(k)));
        ASSERT_TRUE(
            m_fs.WriteWholeFile(paths.back(), std::string(static_cast<std::size_t>(k), 'x')));
    }
    const std::vector<std::optional<FileStamp>> stamps = m_fs.Stamps(paths);
    ASSERT_EQ(stamps.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(stamps[i], m_fs.Stamp(paths[i])) << paths[i];
    }
    EXPECT_EQ(stamps.back()->size, 1199);
}

TEST_F(PosixFileSystemTest, ManyFilesInAHeldFolderAreMadeAheadAndNoneIsLeft) {
    auto openDescriptors = [] {
        return std::distance(stdfs::directory_iterator("/proc/self/fd"), {});
    };
    const auto before = openDescriptors();
    const mode_t mask = ::umask(027);
    {
        const std::unique_ptr<FolderHold> hold = m_fs.HoldFolder(Text(m_root));
        for (int k = 0; k < 100; ++k) {
            const std::string name = "p" + std::to_string(k);
            auto writer = m_fs.CreateAtomic(Path(name));
            ASSERT_TRUE(writer && writer->Write(name));
            ASSERT_EQ(writer->CommitNew(Path(name)), AtomicWriter::NameResult::Named);
        }
    }
    ::umask(mask);
    EXPECT_EQ(openDescriptors(), before) << "the files made ahead and not taken are closed";
    ASSERT_EQ(Names().size(), 100u);
    for (int k = 0; k < 100; k += 33) {
        const std::string name = "p" + std::to_string(k);
        EXPECT_EQ(m_fs.ReadWholeFile(Path(name)).value(), name);
        EXPECT_EQ(stdfs::status(m_root + "/" + name).permissions(),
                  stdfs::perms::owner_read | stdfs::perms::owner_write | stdfs::perms::group_read);
    }
}

TEST_F(PosixFileSystemTest, JobsOnTwoThreadsHoldFoldersOfTheirOwn) {
    auto job = [this](const std::string& folder) {
        stdfs::create_directories(m_root + "/" + folder);
        for (int k = 0; k < 200; ++k) {
            const std::unique_ptr<FolderHold> hold = m_fs.HoldFolder(Path(folder));
            const Text piece = Path(folder + "/p" + std::to_string(k));
            auto writer = m_fs.CreateAtomic(piece);
            ASSERT_TRUE(writer && writer->Write("x"));
            ASSERT_EQ(writer->CommitNew(piece), AtomicWriter::NameResult::Named);
            ASSERT_EQ(m_fs.Kind(piece), PathKind::File);
        }
    };
    std::thread other(job, "b");
    job("a");
    other.join();
    EXPECT_EQ(std::distance(stdfs::directory_iterator(m_root + "/b"), {}), 200);
}

TEST_F(PosixFileSystemTest, MissingThingsAreReportedNotCrashed) {
    EXPECT_EQ(m_fs.Kind(Path("none")), PathKind::Missing);
    EXPECT_FALSE(m_fs.ReadWholeFile(Path("none")).has_value());
    EXPECT_EQ(m_fs.OpenRead(Path("none")), nullptr);
    EXPECT_FALSE(m_fs.List(Path("none")).has_value());
    EXPECT_FALSE(m_fs.DeleteFile(Path("none")));
    EXPECT_FALSE(m_fs.CreateFolder(Path("a/b")));
    EXPECT_EQ(m_fs.Kind(Text("")), PathKind::Missing);
    EXPECT_EQ(m_fs.Kind(Text("/tmp\0x", 6)), PathKind::Missing);
}

}  // namespace
}  // namespace qs

#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/code_page.h"

namespace qs {

enum class PathKind { Missing, File, Folder, Other };

// What tells one state of a file from another: which file a path names (device and inode),
// its length, its modification and change times, and its permission bits.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    std::uint32_t permissions = 0;
    bool operator==(const FileStamp&) const = default;
};

struct DirEntry {
    Text name;              // internal text, never "." or ".."
    bool isFolder = false;  // also a link to a folder
    bool isLink = false;
};

// Which file a path names: its device and inode.
using FileId = std::pair<std::uint64_t, std::uint64_t>;

// A source opened for reading only, with 64-bit length and positions.
class ReadHandle {
public:
    virtual ~ReadHandle() = default;
    virtual std::int64_t Length() = 0;
    virtual bool Seek(std::int64_t position) = 0;
    // Reads up to size bytes at the current position; returns the count read, 0 at the
    // end, -1 on a read error.
    virtual std::int64_t Read(char* buffer, std::int64_t size) = 0;
    // The file the handle reads, whatever names it now; nullopt where it cannot be told.
    virtual std::optional<FileId> Identity() { return std::nullopt; }
    // The length the file had when it was opened, where the opening told it without a
    // further call; nullopt otherwise.
    virtual std::optional<std::int64_t> OpenedLength() { return std::nullopt; }
    // The handle whose bytes these are, where this one only watches them go by (how far a job
    // has read), so that a copy may read that one, inside the kernel, and tell this one with
    // ReadPast afterwards; this handle itself where it reads, changes or needs the bytes.
    virtual ReadHandle& Underlying() { return *this; }
    // A copy read count bytes of Underlying() from start (negative: from where this handle
    // stood) past this handle, which now stands after them.
    virtual void ReadPast(std::int64_t /*start*/, std::int64_t /*count*/) {}
};

// An output built in a temporary file beside its target and renamed over the target by
// Commit. Destroying it without a successful Commit removes the temporary file and leaves
// the target as it was.
class AtomicWriter {
public:
    enum class CopyResult { Copied, ReadFailed, WriteFailed };
    enum class NameResult { Named, Taken, Failed };

    virtual ~AtomicWriter() = default;
    virtual bool Write(std::string_view bytes) = 0;
    // Appends the source from its current position: to its end when limit is negative,
    // else exactly limit bytes (a source that ends sooner is a read failure). This one goes
    // through a buffer and Write; a file system may copy inside the kernel instead. copied
    // (when given) receives the number of bytes appended, also after a failure.
    virtual CopyResult CopyFrom(ReadHandle& source, std::int64_t limit = -1,
                                std::int64_t* copied = nullptr);
    // Appends exactly length bytes of the source from position start, wherever the source
    // stands; its position afterwards is unspecified. copied as for CopyFrom.
    virtual CopyResult CopyRange(ReadHandle& source, std::int64_t start, std::int64_t length,
                                 std::int64_t* copied = nullptr);
    // The finished file gets no permission bit that is not in bits (its source's, say).
    virtual void LimitPermissions(std::uint32_t /*bits*/) {}
    // The finished file takes the access list of its source (a file system's text of it, as
    // ExtendedAccess gives it), or, where it cannot hold it or access is empty, is readable
    // and writable by its owner only.
    virtual void LimitAccess(const Bytes& /*access*/) {}
    // Forces what was written so far onto the disk, so that the name given afterwards never
    // stands for bytes that a power cut could still take away.
    virtual bool Sync() = 0;
    // Starts putting what was written so far onto the disk without waiting for it, so that a
    // later Sync or SyncToDisk finds little left to do. Promises nothing by itself.
    virtual void StartWriteBack() {}
    // Flushes, closes and renames into place; false when any step (or an earlier Write) failed.
    virtual bool Commit() = 0;
    // Gives the file the name path (in the folder of the target) only when nothing has that
    // name yet: Taken leaves the writer as it was, for another name or for Commit.
    virtual NameResult CommitNew(const Text& path) = 0;
    // The file being written, whatever name it gets; nullopt where it cannot be told. Asked
    // before it is named.
    virtual std::optional<FileId> Identity() { return std::nullopt; }
    // Asks that the file, once CommitNew has named it, be read back through the handle it was
    // written by, before that handle closes, and compared with expected (which must live until
    // then). ReadBack gives its stamp, taken just before that reading, when it held exactly
    // expected; nullopt when it did not, or was not read back. Where the file system's stamps
    // show every change (FileSystem::StampsShowEveryChange), the same stamp found later by the
    // file's name shows the same bytes there, as reading them again would.
    virtual void ReadBackWhenNamed(std::string_view /*expected*/) {}
    virtual std::optional<FileStamp> ReadBack() { return std::nullopt; }
};

// Names the finished file path when nothing has that name; when a file has it, replaces that
// file if mayReplace() says so, and leaves the writer as it was (Taken) if not. A free name
// costs one call: the failing link is the existence test.
template <typename MayReplace>
AtomicWriter::NameResult CommitOrReplace(AtomicWriter& out, const Text& path,
                                         MayReplace mayReplace) {
    using Result = AtomicWriter::NameResult;
    const Result result = out.CommitNew(path);
    if (result != Result::Taken || !mayReplace()) {
        return result;
    }
    return out.Commit() ? Result::Named : Result::Failed;
}

// A file kept open for reading and writing in place (the settings file).
class ReadWriteFile {
public:
    virtual ~ReadWriteFile() = default;
    virtual std::optional<Bytes> ReadAll() = 0;
    virtual bool WriteAt(std::int64_t offset, std::string_view bytes) = 0;
    virtual bool Truncate(std::int64_t length) = 0;
};

// A folder kept open while a job writes many files into it (see FileSystem::HoldFolder).
class FolderHold {
public:
    virtual ~FolderHold() = default;
};

// Every file-system call of the program goes through this interface, so that tests can
// inject a full disk, a read-only folder, a short read or a vanished file.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual PathKind Kind(const Text& path) = 0;
    bool Exists(const Text& path) { return Kind(path) != PathKind::Missing; }
    bool IsFolder(const Text& path) { return Kind(path) == PathKind::Folder; }
    bool IsFile(const Text& path) { return Kind(path) == PathKind::File; }

    // Creates one folder (its parent must exist).
    virtual bool CreateFolder(const Text& path) = 0;
    virtual bool DeleteFile(const Text& path) = 0;
    // Removes a folder only when it is empty.
    virtual bool RemoveEmptyFolder(const Text& /*path*/) { return false; }

    virtual std::optional<Bytes> ReadWholeFile(const Text& path) = 0;
    virtual std::unique_ptr<ReadHandle> OpenRead(const Text& path) = 0;

    // Writes the whole file atomically: on failure the old file is as it was and no
    // temporary file is left behind.
    virtual bool WriteWholeFile(const Text& path, std::string_view bytes) = 0;
    virtual std::unique_ptr<AtomicWriter> CreateAtomic(const Text& path) = 0;
    // Forces a file, or the entries of a folder (names given, removed or renamed in it),
    // onto the disk. One that cannot promise this says false, and nothing is deleted on its
    // word.
    virtual bool SyncToDisk(const Text& /*path*/) { return false; }
    // Forces everything written to the file system that holds path onto the disk at once:
    // cheaper than thousands of SyncToDisk calls for thousands of files. False when that
    // failed or cannot be promised; then the files are to be flushed one by one.
    virtual bool SyncFileSystemOf(const Text& /*path*/) { return false; }
    // Keeps the folder open for as long as the hold lives, so that reaching a file in it
    // costs no walk of the whole path: a source's pieces go into one folder by the tens of
    // thousands. Paths there are resolved through the open folder, so they follow it when
    // it is renamed meanwhile. nullptr where there is nothing to gain.
    virtual std::unique_ptr<FolderHold> HoldFolder(const Text& /*folder*/) { return nullptr; }
    // The state of the regular file behind a path (links followed); nullopt for anything
    // else, and where it cannot be told.
    virtual std::optional<FileStamp> Stamp(const Text& /*path*/) { return std::nullopt; }
    // The stamps of many files, in the order of paths, as Stamp gives each; a file system may
    // look at them side by side. Not forwarded by a file system that watches or changes
    // Stamp: this one asks Stamp.
    virtual std::vector<std::optional<FileStamp>> Stamps(const std::vector<Text>& paths);
    // Whether every change to a file on the file system that holds folder, made after its
    // stamp was taken (Stamp, or a writer's ReadBack), gives it another stamp, even within one
    // tick of the clock: only then does a stamp found unchanged show unchanged bytes. False
    // where that cannot be told (a clock too coarse, a file system that another machine or a
    // process of its own may change unseen).
    virtual bool StampsShowEveryChange(const Text& /*folder*/) { return false; }
    // The access list of a file beyond its permission bits (named users and groups), as a
    // text that LimitAccess takes; nullopt where it has none, or it cannot be told.
    virtual std::optional<Bytes> ExtendedAccess(const Text& /*path*/) { return std::nullopt; }
    // The size of the regular file behind a path; nullopt for anything else.
    virtual std::optional<std::int64_t> FileSize(const Text& path);

    // Opens (creating when missing, never truncating) a file for in-place editing.
    virtual std::unique_ptr<ReadWriteFile> OpenReadWrite(const Text& path) = 0;

    // The entries of a folder, in no particular order; nullopt when it cannot be listed.
    virtual std::optional<std::vector<DirEntry>> List(const Text& folder) = 0;

    // Identity of the file behind a path (device and inode here), to tell whether two paths
    // name the same file; nullopt when it does not exist.
    virtual std::optional<std::pair<std::uint64_t, std::uint64_t>> FileIdentity(
        const Text& path) = 0;

    // The folder relative paths start from; nullopt where it cannot be told.
    virtual std::optional<Text> CurrentFolder() { return std::nullopt; }
    // The absolute path with its links followed and "." and ".." resolved as far as it
    // exists; the rest as it is written. nullopt where it cannot be told.
    virtual std::optional<Text> ResolveLinks(const Text& /*path*/) { return std::nullopt; }
};

}  // namespace qs

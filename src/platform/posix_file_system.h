#pragma once

#include <fcntl.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "platform/unnamed_file_stock.h"

namespace qs {

// The file system of this platform: internal paths are converted to UTF-8 at this boundary
// and listed names back to internal texts.
class PosixFileSystem : public FileSystem {
public:
    PathKind Kind(const Text& path) override;
    bool CreateFolder(const Text& path) override;
    bool DeleteFile(const Text& path) override;
    bool RemoveEmptyFolder(const Text& path) override;
    std::optional<Bytes> ReadWholeFile(const Text& path) override;
    std::unique_ptr<ReadHandle> OpenRead(const Text& path) override;
    bool WriteWholeFile(const Text& path, std::string_view bytes) override;
    std::unique_ptr<AtomicWriter> CreateAtomic(const Text& path) override;
    bool SyncToDisk(const Text& path) override;
    bool SyncFileSystemOf(const Text& path) override;
    std::optional<FileStamp> Stamp(const Text& path) override;
    std::vector<std::optional<FileStamp>> Stamps(const std::vector<Text>& paths) override;
    bool StampsShowEveryChange(const Text& folder) override;
    std::optional<Bytes> ExtendedAccess(const Text& path) override;
    std::optional<std::int64_t> FileSize(const Text& path) override;
    std::unique_ptr<ReadWriteFile> OpenReadWrite(const Text& path) override;
    std::optional<std::vector<DirEntry>> List(const Text& folder) override;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> FileIdentity(const Text& path) override;
    std::unique_ptr<FolderHold> HoldFolder(const Text& folder) override;
    std::optional<Text> CurrentFolder() override;
    std::optional<Text> ResolveLinks(const Text& path) override;

    // An open folder and its path (with the final "/").
    struct HeldFolder {
        std::string native;
        int fd = -1;
        int filesOpened = 0;
        bool inMemory = false;         // a file system without write-back (tmpfs): nothing to start
        bool closeCannotFail = false;  // its files report nothing when closed
        std::unique_ptr<UnnamedFileStock> stock;  // once a job has opened a few files here
        std::thread::id owner;  // the job's thread: another job's calls never use its state
        ~HeldFolder();
    };
    // The folders held now, by the jobs of every thread.
    struct HeldFolders {
        mutable std::mutex mutex;
        std::vector<std::shared_ptr<HeldFolder>> list;
    };

    // Where a system call finds a path: by its last component beside a held folder's
    // descriptor, or by the whole path.
    struct Place {
        int dirFd = AT_FDCWD;
        const char* name = nullptr;
    };

private:
    std::shared_ptr<HeldFolder> HolderOf(const std::string& native) const;
    Place Locate(const std::string& native) const;

    HeldFolders m_held;
    // Whether stamps show every change, by device: found out once for each.
    std::mutex m_stampsMutex;
    std::map<std::uint64_t, bool> m_stampsShow;
};

}  // namespace qs

#pragma once

#include <cstdint>
#include <map>
#include <set>

#include "platform/forwarding_file_system.h"
#include "split/written_pieces.h"

namespace qs::cli {

// The file system of a dry run: it reads from the real one, but nothing reaches the disk.
// Outputs are only sized, folders and deletions are remembered, and every query answers as
// if they had happened, so the jobs take the same way as a real run. No output of the run is
// replaced by a later one of the same run.
class DryRunFileSystem : public ForwardingFileSystem {
public:
    explicit DryRunFileSystem(FileSystem& inner) : ForwardingFileSystem(inner) {}

    PathKind Kind(const Text& path) override;
    bool CreateFolder(const Text& path) override;
    bool DeleteFile(const Text& path) override;
    bool RemoveEmptyFolder(const Text& path) override;
    std::optional<Bytes> ReadWholeFile(const Text& path) override;
    std::unique_ptr<ReadHandle> OpenRead(const Text& path) override;
    bool WriteWholeFile(const Text& path, std::string_view bytes) override;
    std::unique_ptr<AtomicWriter> CreateAtomic(const Text& path) override;
    bool SyncToDisk(const Text&) override { return true; }
    bool SyncFileSystemOf(const Text&) override { return true; }
    std::optional<std::int64_t> FileSize(const Text& path) override;
    std::optional<FileStamp> Stamp(const Text& path) override;
    // The command line never touches the settings file.
    std::unique_ptr<ReadWriteFile> OpenReadWrite(const Text&) override { return nullptr; }
    std::optional<std::vector<DirEntry>> List(const Text& folder) override;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> FileIdentity(const Text& path) override;
    std::unique_ptr<FolderHold> HoldFolder(const Text&) override { return nullptr; }

    // Used by its writers.
    void Record(const Text& path, std::int64_t bytes);
    bool Wrote(const Text& path) { return m_outputs.Holds(path); }

private:
    bool Gone(const Text& path) const { return m_gone.count(path) != 0; }
    bool Made(const Text& path) const { return m_files.count(path) != 0; }

    WrittenPieces m_outputs;
    struct VirtualFile {
        std::uint64_t identity;
        std::int64_t size;
    };
    std::map<Text, VirtualFile> m_files;
    std::set<Text> m_folders;
    std::set<Text> m_gone;
};

}  // namespace qs::cli

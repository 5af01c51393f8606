#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "platform/file_system.h"
#include "split/written_pieces.h"

namespace qs::cli {

// The file system the jobs of the command line see. It passes every call to the real one,
// takes the SHA-256 of every output as it is written when asked to, and keeps the outputs
// of the run apart: no output of a run is replaced by a later one of the same run. In a dry
// run nothing reaches the disk: outputs are only counted, folders and deletions are
// remembered, and every query answers as if they had happened, so the jobs take the same
// way as a real run.
class OutputRecorder : public FileSystem {
public:
    OutputRecorder(FileSystem& inner, bool dryRun, bool hash);

    // The SHA-256 of the output completed at path (hashing on), handed over once.
    std::string TakeHash(const Text& path);
    std::int64_t BytesWritten() const { return m_bytesWritten; }
    bool DryRun() const { return m_dryRun; }
    bool Hashing() const { return m_hash; }
    // Whether the job wrote a file of that name.
    bool Wrote(const Text& path) { return m_outputs.Holds(path); }

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
    std::optional<std::int64_t> FileSize(const Text& path) override;
    std::optional<FileStamp> Stamp(const Text& path) override;
    std::optional<Bytes> ExtendedAccess(const Text& path) override {
        return m_inner.ExtendedAccess(path);
    }
    std::unique_ptr<ReadWriteFile> OpenReadWrite(const Text& path) override;
    std::optional<std::vector<DirEntry>> List(const Text& folder) override;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> FileIdentity(const Text& path) override;
    std::unique_ptr<FolderHold> HoldFolder(const Text& folder) override;

    // Used by the writers.
    void Record(const Text& path, std::int64_t bytes, std::string sha256);
    void CountBytes(std::int64_t bytes) { m_bytesWritten += bytes; }
    FileSystem& Inner() { return m_inner; }

private:
    bool Gone(const Text& path) const { return m_gone.count(path) != 0; }

    FileSystem& m_inner;
    bool m_dryRun;
    bool m_hash;
    WrittenPieces m_outputs;
    std::map<Text, std::string> m_hashes;  // until the job's event takes them
    std::int64_t m_bytesWritten = 0;
    // Dry run only: what the run would have made or removed.
    struct VirtualFile {
        std::uint64_t identity;
        std::int64_t size;
    };
    std::map<Text, VirtualFile> m_virtualFiles;
    std::set<Text> m_virtualFolders;
    std::set<Text> m_gone;
};

}  // namespace qs::cli

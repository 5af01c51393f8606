#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace qs::cli {

struct RecordedOutput {
    Text path;
    std::int64_t bytes = 0;
    Bytes head;          // the first bytes, for telling the encoding
    std::string sha256;  // when hashing was asked for
    int source = 0;      // what the source tag said when the output was complete
};

// The file system the jobs of the command line see. It passes every call to the real one
// and records each output that was completed and each file that was deleted. In a dry run
// nothing reaches the disk: outputs are only counted, folders and deletions are remembered,
// and every query answers as if they had happened, so the jobs take the same way as a real
// run and the records are what a real run would write. No output of a run is replaced by
// a later one of the same run.
class OutputRecorder : public FileSystem {
public:
    static constexpr std::size_t kHeadBytes = 64 * 1024;

    OutputRecorder(FileSystem& inner, bool dryRun, bool hash);

    // Called when an output is complete; its answer is kept with the output.
    void SetSourceTag(std::function<int()> tag) { m_tag = std::move(tag); }
    // A probe of the settings: every read fails, nothing is written.
    void SetReadsFail(bool fail) { m_readsFail = fail; }

    const std::vector<RecordedOutput>& Outputs() const { return m_outputs; }
    const TextList& Deleted() const { return m_deleted; }
    std::int64_t BytesWritten() const { return m_bytesWritten; }
    bool DryRun() const { return m_dryRun; }
    bool Hashing() const { return m_hash; }

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
    std::unique_ptr<ReadWriteFile> OpenReadWrite(const Text& path) override;
    std::optional<std::vector<DirEntry>> List(const Text& folder) override;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> FileIdentity(const Text& path) override;
    std::unique_ptr<FolderHold> HoldFolder(const Text& folder) override;

    // Used by the writers.
    void Record(RecordedOutput output);
    void CountBytes(std::int64_t bytes) { m_bytesWritten += bytes; }
    FileSystem& Inner() { return m_inner; }

private:
    bool Gone(const Text& path) const { return m_gone.count(path) != 0; }

    FileSystem& m_inner;
    bool m_dryRun;
    bool m_hash;
    bool m_readsFail = false;
    std::function<int()> m_tag;
    std::vector<RecordedOutput> m_outputs;
    std::map<Text, std::size_t> m_outputIndex;
    TextList m_deleted;
    std::int64_t m_bytesWritten = 0;
    // Dry run only: what the run would have made or removed.
    std::map<Text, std::uint64_t> m_virtualFiles;  // path -> made-up identity
    std::set<Text> m_virtualFolders;
    std::set<Text> m_gone;
};

}  // namespace qs::cli

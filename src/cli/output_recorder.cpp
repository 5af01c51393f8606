#include "cli/output_recorder.h"

#include <cerrno>
#include <optional>

#include "fs/paths.h"
#include "platform/sha256.h"
#include "platform/system_error.h"

namespace qs::cli {
namespace {

constexpr std::uint64_t kVirtualDevice = ~std::uint64_t{0};

class RecordingWriter : public AtomicWriter {
public:
    RecordingWriter(OutputRecorder& recorder, Text path, std::unique_ptr<AtomicWriter> inner)
        : m_recorder(recorder), m_path(std::move(path)), m_inner(std::move(inner)) {
        // A hash costs its setting up even for a small piece: only when it is asked for.
        if (m_recorder.Hashing()) {
            m_sha.emplace();
        }
    }

    bool Write(std::string_view bytes) override {
        if (m_inner && !m_inner->Write(bytes)) {
            return false;
        }
        Note(bytes);
        return true;
    }

    CopyResult CopyFrom(ReadHandle& source, std::int64_t limit, std::int64_t* copied) override {
        // Hashing and dry runs need the bytes; otherwise the real writer may copy in the kernel.
        if (!m_inner || m_recorder.Hashing()) {
            return AtomicWriter::CopyFrom(source, limit, copied);
        }
        std::int64_t done = 0;
        const CopyResult result = m_inner->CopyFrom(source, limit, &done);
        if (copied) {
            *copied = done;
        }
        m_bytes += done;
        m_recorder.CountBytes(done);
        return result;
    }

    CopyResult CopyRange(ReadHandle& source, std::int64_t start, std::int64_t length) override {
        if (!m_inner || m_recorder.Hashing()) {
            return AtomicWriter::CopyRange(source, start, length);
        }
        const CopyResult result = m_inner->CopyRange(source, start, length);
        if (result == CopyResult::Copied) {
            m_bytes += length;
            m_recorder.CountBytes(length);
        }
        return result;
    }

    bool Sync() override { return !m_inner || m_inner->Sync(); }
    void LimitPermissions(std::uint32_t bits) override {
        if (m_inner) {
            m_inner->LimitPermissions(bits);
        }
    }
    void LimitAccess(const Bytes& access) override {
        if (m_inner) {
            m_inner->LimitAccess(access);
        }
    }
    void StartWriteBack() override {
        if (m_inner) {
            m_inner->StartWriteBack();
        }
    }
    std::optional<FileId> Identity() override {
        return m_inner ? m_inner->Identity() : std::nullopt;
    }

    bool Commit() override {
        // Two units of one run that end in the same name (folders merged into one
        // --output-dir) must not replace each other: the first one's sources may be gone.
        if (m_recorder.Wrote(m_path)) {
            SetLastSystemError(EEXIST);
            return false;
        }
        if (m_inner && !m_inner->Commit()) {
            return false;
        }
        Finish();
        return true;
    }

    NameResult CommitNew(const Text& path) override {
        if (m_inner) {
            const NameResult result = m_inner->CommitNew(path);
            if (result != NameResult::Named) {
                return result;
            }
        } else if (m_recorder.Kind(path) != PathKind::Missing) {
            return NameResult::Taken;
        }
        m_path = path;
        Finish();
        return NameResult::Named;
    }

private:
    void Finish() { m_recorder.Record(m_path, m_bytes, m_sha ? m_sha->Hex() : std::string()); }

    void Note(std::string_view bytes) {
        if (m_sha) {
            m_sha->Add(bytes);
        }
        m_bytes += static_cast<std::int64_t>(bytes.size());
        m_recorder.CountBytes(static_cast<std::int64_t>(bytes.size()));
    }

    OutputRecorder& m_recorder;
    Text m_path;
    std::unique_ptr<AtomicWriter> m_inner;  // null in a dry run
    std::optional<Sha256> m_sha;
    std::int64_t m_bytes = 0;
};

}  // namespace

OutputRecorder::OutputRecorder(FileSystem& inner, bool dryRun, bool hash)
    : m_inner(inner), m_dryRun(dryRun), m_hash(hash) {}

void OutputRecorder::Record(const Text& path, std::int64_t bytes, std::string sha256) {
    if (m_dryRun) {
        m_gone.erase(path);
        m_virtualFiles.emplace(path, VirtualFile{m_virtualFiles.size() + 1, bytes});
    }
    m_outputs.Add(path);
    if (m_hash) {
        m_hashes[path] = std::move(sha256);
    }
}

std::string OutputRecorder::TakeHash(const Text& path) {
    const auto found = m_hashes.find(path);
    if (found == m_hashes.end()) {
        return std::string();
    }
    std::string hash = std::move(found->second);
    m_hashes.erase(found);
    return hash;
}

PathKind OutputRecorder::Kind(const Text& path) {
    if (m_dryRun) {
        if (Gone(path)) {
            return PathKind::Missing;
        }
        if (m_virtualFiles.count(path) != 0) {
            return PathKind::File;
        }
        if (m_virtualFolders.count(path) != 0) {
            return PathKind::Folder;
        }
    }
    return m_inner.Kind(path);
}

bool OutputRecorder::CreateFolder(const Text& path) {
    if (!m_dryRun) {
        return m_inner.CreateFolder(path);
    }
    if (Kind(path) != PathKind::Missing || !IsFolder(PathDirectory(path))) {
        return false;
    }
    m_virtualFolders.insert(path);
    return true;
}

bool OutputRecorder::RemoveEmptyFolder(const Text& path) {
    if (!m_dryRun) {
        return m_inner.RemoveEmptyFolder(path);
    }
    const Text inside = path + kPathSeparator;
    const auto next = m_virtualFiles.lower_bound(inside);
    if (next != m_virtualFiles.end() && next->first.compare(0, inside.size(), inside) == 0) {
        return false;
    }
    return m_virtualFolders.erase(path) != 0;
}

bool OutputRecorder::DeleteFile(const Text& path) {
    if (!m_dryRun) {
        return m_inner.DeleteFile(path);
    }
    if (Kind(path) != PathKind::File) {
        return false;
    }
    m_virtualFiles.erase(path);
    m_gone.insert(path);
    return true;
}

std::optional<Bytes> OutputRecorder::ReadWholeFile(const Text& path) {
    if (m_dryRun && (Gone(path) || m_virtualFiles.count(path) != 0)) {
        return std::nullopt;
    }
    return m_inner.ReadWholeFile(path);
}

std::unique_ptr<ReadHandle> OutputRecorder::OpenRead(const Text& path) {
    if (m_dryRun && (Gone(path) || m_virtualFiles.count(path) != 0)) {
        return nullptr;
    }
    return m_inner.OpenRead(path);
}

bool OutputRecorder::WriteWholeFile(const Text& path, std::string_view bytes) {
    if (m_outputs.Holds(path)) {
        return false;
    }
    if (!m_dryRun && !m_inner.WriteWholeFile(path, bytes)) {
        return false;
    }
    if (m_dryRun && !IsFolder(PathDirectory(path))) {
        return false;
    }
    CountBytes(static_cast<std::int64_t>(bytes.size()));
    Record(path, static_cast<std::int64_t>(bytes.size()), std::string());
    return true;
}

std::unique_ptr<AtomicWriter> OutputRecorder::CreateAtomic(const Text& path) {
    std::unique_ptr<AtomicWriter> inner;
    if (!m_dryRun) {
        inner = m_inner.CreateAtomic(path);
        if (!inner) {
            return nullptr;
        }
    } else if (!IsFolder(PathDirectory(path)) || IsFolder(path)) {
        return nullptr;
    }
    return std::make_unique<RecordingWriter>(*this, path, std::move(inner));
}

bool OutputRecorder::SyncToDisk(const Text& path) {
    return m_dryRun || m_inner.SyncToDisk(path);
}

bool OutputRecorder::SyncFileSystemOf(const Text& path) {
    return m_dryRun || m_inner.SyncFileSystemOf(path);
}

std::optional<std::int64_t> OutputRecorder::FileSize(const Text& path) {
    if (m_dryRun) {
        if (Gone(path)) {
            return std::nullopt;
        }
        if (const auto found = m_virtualFiles.find(path); found != m_virtualFiles.end()) {
            return found->second.size;
        }
    }
    return m_inner.FileSize(path);
}

std::unique_ptr<ReadWriteFile> OutputRecorder::OpenReadWrite(const Text&) {
    // The command line never touches the settings file.
    return nullptr;
}

std::optional<std::vector<DirEntry>> OutputRecorder::List(const Text& folder) {
    if (m_dryRun && m_virtualFolders.count(folder) != 0) {
        return std::vector<DirEntry>();
    }
    std::optional<std::vector<DirEntry>> entries = m_inner.List(folder);
    if (!m_dryRun || !entries) {
        return entries;
    }
    std::vector<DirEntry> seen;
    std::set<Text> names;
    for (DirEntry& e : *entries) {
        if (!Gone(folder + "/" + e.name)) {
            names.insert(e.name);
            seen.push_back(std::move(e));
        }
    }
    for (const auto& [path, file] : m_virtualFiles) {
        if (PathDirectory(path) == folder && names.insert(PathFileName(path)).second) {
            seen.push_back({PathFileName(path), false});
        }
    }
    for (const Text& path : m_virtualFolders) {
        if (PathDirectory(path) == folder && names.insert(PathFileName(path)).second) {
            seen.push_back({PathFileName(path), true});
        }
    }
    return seen;
}

std::optional<FileStamp> OutputRecorder::Stamp(const Text& path) {
    if (m_dryRun && Gone(path)) {
        return std::nullopt;
    }
    return m_inner.Stamp(path);
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> OutputRecorder::FileIdentity(
    const Text& path) {
    if (m_dryRun) {
        if (Gone(path)) {
            return std::nullopt;
        }
        if (const auto it = m_virtualFiles.find(path); it != m_virtualFiles.end()) {
            return std::make_pair(kVirtualDevice, it->second.identity);
        }
    }
    return m_inner.FileIdentity(path);
}

std::unique_ptr<FolderHold> OutputRecorder::HoldFolder(const Text& folder) {
    // A dry run reaches the disk only to read.
    return m_dryRun ? nullptr : m_inner.HoldFolder(folder);
}

}  // namespace qs::cli

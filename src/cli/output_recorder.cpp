#include "cli/output_recorder.h"

#include "fs/paths.h"
#include "platform/sha256.h"

namespace qs::cli {
namespace {

constexpr std::uint64_t kVirtualDevice = ~std::uint64_t{0};

class RecordingWriter : public AtomicWriter {
public:
    RecordingWriter(OutputRecorder& recorder, Text path, std::unique_ptr<AtomicWriter> inner)
        : m_recorder(recorder), m_path(std::move(path)), m_inner(std::move(inner)) {}

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
        m_headUnseen = m_headUnseen || done > 0;
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
            m_headUnseen = m_headUnseen || length > 0;
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
    void StartWriteBack() override {
        if (m_inner) {
            m_inner->StartWriteBack();
        }
    }

    bool Commit() override {
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
    void Finish() {
        RecordedOutput output{m_path, m_bytes, std::move(m_head), {}, 0};
        if (m_headUnseen) {
            output.head = ReadHead(m_path);
        }
        if (m_recorder.Hashing()) {
            output.sha256 = m_sha.Hex();
        }
        m_recorder.Record(std::move(output));
    }

    void Note(std::string_view bytes) {
        if (!m_headUnseen && m_head.size() < OutputRecorder::kHeadBytes) {
            m_head.append(bytes.substr(0, OutputRecorder::kHeadBytes - m_head.size()));
        }
        if (m_recorder.Hashing()) {
            m_sha.Add(bytes);
        }
        m_bytes += static_cast<std::int64_t>(bytes.size());
        m_recorder.CountBytes(static_cast<std::int64_t>(bytes.size()));
    }

    Bytes ReadHead(const Text& path) {
        Bytes head(OutputRecorder::kHeadBytes, '\0');
        std::int64_t got = 0;
        if (auto in = m_recorder.Inner().OpenRead(path)) {
            while (got < static_cast<std::int64_t>(head.size())) {
                const std::int64_t n =
                    in->Read(head.data() + got, static_cast<std::int64_t>(head.size()) - got);
                if (n <= 0) {
                    break;
                }
                got += n;
            }
        }
        head.resize(static_cast<std::size_t>(got));
        return head;
    }

    OutputRecorder& m_recorder;
    Text m_path;
    std::unique_ptr<AtomicWriter> m_inner;  // null in a dry run
    Bytes m_head;
    bool m_headUnseen = false;  // bytes went past Note (copied in the kernel)
    Sha256 m_sha;
    std::int64_t m_bytes = 0;
};

}  // namespace

OutputRecorder::OutputRecorder(FileSystem& inner, bool dryRun, bool hash)
    : m_inner(inner), m_dryRun(dryRun), m_hash(hash) {}

void OutputRecorder::Record(RecordedOutput output) {
    output.source = m_tag ? m_tag() : 0;
    if (m_dryRun) {
        m_gone.erase(output.path);
        m_virtualFiles.emplace(output.path, m_virtualFiles.size() + 1);
    }
    m_outputIndex.emplace(output.path, m_outputs.size());
    m_outputs.push_back(std::move(output));
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
    if (!m_dryRun && !m_readsFail) {
        return m_inner.CreateFolder(path);
    }
    if (Kind(path) != PathKind::Missing || !IsFolder(PathDirectory(path))) {
        return false;
    }
    m_virtualFolders.insert(path);
    return true;
}

bool OutputRecorder::RemoveEmptyFolder(const Text& path) {
    if (!m_dryRun && !m_readsFail) {
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
    if (m_readsFail) {
        return false;
    }
    if (!m_dryRun) {
        if (!m_inner.DeleteFile(path)) {
            return false;
        }
    } else {
        if (Kind(path) != PathKind::File) {
            return false;
        }
        m_virtualFiles.erase(path);
        m_gone.insert(path);
    }
    m_deleted.push_back(path);
    return true;
}

std::optional<Bytes> OutputRecorder::ReadWholeFile(const Text& path) {
    if (m_readsFail || (m_dryRun && (Gone(path) || m_virtualFiles.count(path) != 0))) {
        return std::nullopt;
    }
    return m_inner.ReadWholeFile(path);
}

std::unique_ptr<ReadHandle> OutputRecorder::OpenRead(const Text& path) {
    if (m_readsFail || (m_dryRun && (Gone(path) || m_virtualFiles.count(path) != 0))) {
        return nullptr;
    }
    return m_inner.OpenRead(path);
}

bool OutputRecorder::WriteWholeFile(const Text& path, std::string_view bytes) {
    if (m_readsFail || m_outputIndex.count(path) != 0) {
        return false;
    }
    if (!m_dryRun && !m_inner.WriteWholeFile(path, bytes)) {
        return false;
    }
    if (m_dryRun && !IsFolder(PathDirectory(path))) {
        return false;
    }
    RecordedOutput output{
        path, static_cast<std::int64_t>(bytes.size()), Bytes(bytes.substr(0, kHeadBytes)), {}, 0};
    if (m_hash) {
        Sha256 sha;
        sha.Add(bytes);
        output.sha256 = sha.Hex();
    }
    CountBytes(output.bytes);
    Record(std::move(output));
    return true;
}

std::unique_ptr<AtomicWriter> OutputRecorder::CreateAtomic(const Text& path) {
    // Two units of one run that end in the same name (folders merged into one --output-dir)
    // must not replace each other: the first one's sources may be gone already.
    if (m_readsFail || m_outputIndex.count(path) != 0) {
        return nullptr;
    }
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
        if (m_virtualFiles.count(path) != 0) {
            const auto found = m_outputIndex.find(path);
            return found == m_outputIndex.end() ? std::nullopt
                                                : std::optional(m_outputs[found->second].bytes);
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
    for (const auto& [path, id] : m_virtualFiles) {
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
    if (m_readsFail || (m_dryRun && Gone(path))) {
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
            return std::make_pair(kVirtualDevice, it->second);
        }
    }
    return m_inner.FileIdentity(path);
}

std::unique_ptr<FolderHold> OutputRecorder::HoldFolder(const Text& folder) {
    // A dry run reaches the disk only to read.
    return m_dryRun ? nullptr : m_inner.HoldFolder(folder);
}

}  // namespace qs::cli

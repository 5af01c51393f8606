#include "cli/dry_run_file_system.h"

#include <cerrno>

#include "fs/paths.h"
#include "platform/system_error.h"

namespace qs::cli {
namespace {

constexpr std::uint64_t kVirtualDevice = ~std::uint64_t{0};

// An output that is only sized.
class SizingWriter : public AtomicWriter {
public:
    SizingWriter(DryRunFileSystem& files, Text path) : m_files(files), m_path(std::move(path)) {}

    bool Write(std::string_view bytes) override {
        m_bytes += static_cast<std::int64_t>(bytes.size());
        return true;
    }
    bool Sync() override { return true; }
    bool Commit() override {
        // Two units of one run that end in the same name (folders merged into one
        // --output-dir) must not replace each other: the first one's sources may be gone.
        if (m_files.Wrote(m_path)) {
            SetLastSystemError(EEXIST);
            return false;
        }
        m_files.Record(m_path, m_bytes);
        return true;
    }
    NameResult CommitNew(const Text& path) override {
        if (m_files.Kind(path) != PathKind::Missing) {
            return NameResult::Taken;
        }
        m_path = path;
        m_files.Record(m_path, m_bytes);
        return NameResult::Named;
    }

private:
    DryRunFileSystem& m_files;
    Text m_path;
    std::int64_t m_bytes = 0;
};

}  // namespace

void DryRunFileSystem::Record(const Text& path, std::int64_t bytes) {
    m_gone.erase(path);
    m_files.emplace(path, VirtualFile{m_files.size() + 1, bytes});
    m_outputs.Add(path);
}

PathKind DryRunFileSystem::Kind(const Text& path) {
    if (Gone(path)) {
        return PathKind::Missing;
    }
    if (Made(path)) {
        return PathKind::File;
    }
    if (m_folders.count(path) != 0) {
        return PathKind::Folder;
    }
    return Inner().Kind(path);
}

bool DryRunFileSystem::CreateFolder(const Text& path) {
    if (Kind(path) != PathKind::Missing || !IsFolder(PathDirectory(path))) {
        return false;
    }
    m_folders.insert(path);
    return true;
}

bool DryRunFileSystem::RemoveEmptyFolder(const Text& path) {
    const Text inside = path + kPathSeparator;
    const auto next = m_files.lower_bound(inside);
    if (next != m_files.end() && next->first.compare(0, inside.size(), inside) == 0) {
        return false;
    }
    return m_folders.erase(path) != 0;
}

bool DryRunFileSystem::DeleteFile(const Text& path) {
    if (Kind(path) != PathKind::File) {
        return false;
    }
    m_files.erase(path);
    m_gone.insert(path);
    return true;
}

std::optional<Bytes> DryRunFileSystem::ReadWholeFile(const Text& path) {
    if (Gone(path) || Made(path)) {
        return std::nullopt;
    }
    return Inner().ReadWholeFile(path);
}

std::unique_ptr<ReadHandle> DryRunFileSystem::OpenRead(const Text& path) {
    if (Gone(path) || Made(path)) {
        return nullptr;
    }
    return Inner().OpenRead(path);
}

bool DryRunFileSystem::WriteWholeFile(const Text& path, std::string_view bytes) {
    if (m_outputs.Holds(path) || !IsFolder(PathDirectory(path))) {
        return false;
    }
    Record(path, static_cast<std::int64_t>(bytes.size()));
    return true;
}

std::unique_ptr<AtomicWriter> DryRunFileSystem::CreateAtomic(const Text& path) {
    if (!IsFolder(PathDirectory(path)) || IsFolder(path)) {
        return nullptr;
    }
    return std::make_unique<SizingWriter>(*this, path);
}

std::optional<std::int64_t> DryRunFileSystem::FileSize(const Text& path) {
    if (Gone(path)) {
        return std::nullopt;
    }
    if (const auto found = m_files.find(path); found != m_files.end()) {
        return found->second.size;
    }
    return Inner().FileSize(path);
}

std::optional<std::vector<DirEntry>> DryRunFileSystem::List(const Text& folder) {
    if (m_folders.count(folder) != 0) {
        return std::vector<DirEntry>();
    }
    std::optional<std::vector<DirEntry>> entries = Inner().List(folder);
    if (!entries) {
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
    for (const auto& [path, file] : m_files) {
        if (PathDirectory(path) == folder && names.insert(PathFileName(path)).second) {
            seen.push_back({PathFileName(path), false});
        }
    }
    for (const Text& path : m_folders) {
        if (PathDirectory(path) == folder && names.insert(PathFileName(path)).second) {
            seen.push_back({PathFileName(path), true});
        }
    }
    return seen;
}

std::optional<FileStamp> DryRunFileSystem::Stamp(const Text& path) {
    if (Gone(path)) {
        return std::nullopt;
    }
    return Inner().Stamp(path);
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> DryRunFileSystem::FileIdentity(
    const Text& path) {
    if (Gone(path)) {
        return std::nullopt;
    }
    if (const auto it = m_files.find(path); it != m_files.end()) {
        return std::make_pair(kVirtualDevice, it->second.identity);
    }
    return Inner().FileIdentity(path);
}

}  // namespace qs::cli

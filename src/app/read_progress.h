#pragma once

#include <cstdint>

#include "platform/file_system.h"

namespace qs {

// A file system that passes every call to another one and keeps where the source opened
// last is being read, so that the window can show progress within one large file. Copies
// from a source it opened still reach the real writer with the real source, so a copy
// inside the kernel stays one.
class ReadProgressFileSystem : public FileSystem {
public:
    explicit ReadProgressFileSystem(FileSystem& inner) : m_inner(inner) {}

    // The part of the current source read so far, 0 to 1; 0 before any source.
    double CurrentFraction() const;

    PathKind Kind(const Text& path) override { return m_inner.Kind(path); }
    bool CreateFolder(const Text& path) override { return m_inner.CreateFolder(path); }
    bool DeleteFile(const Text& path) override { return m_inner.DeleteFile(path); }
    std::optional<Bytes> ReadWholeFile(const Text& path) override {
        return m_inner.ReadWholeFile(path);
    }
    std::unique_ptr<ReadHandle> OpenRead(const Text& path) override;
    bool WriteWholeFile(const Text& path, std::string_view bytes) override {
        return m_inner.WriteWholeFile(path, bytes);
    }
    std::unique_ptr<AtomicWriter> CreateAtomic(const Text& path) override;
    bool SyncToDisk(const Text& path) override { return m_inner.SyncToDisk(path); }
    bool SyncFileSystemOf(const Text& path) override { return m_inner.SyncFileSystemOf(path); }
    std::unique_ptr<FolderHold> HoldFolder(const Text& folder) override {
        return m_inner.HoldFolder(folder);
    }
    std::optional<std::int64_t> FileSize(const Text& path) override {
        return m_inner.FileSize(path);
    }
    std::unique_ptr<ReadWriteFile> OpenReadWrite(const Text& path) override {
        return m_inner.OpenReadWrite(path);
    }
    std::optional<std::vector<DirEntry>> List(const Text& folder) override {
        return m_inner.List(folder);
    }
    std::optional<std::pair<std::uint64_t, std::uint64_t>> FileIdentity(const Text& path) override {
        return m_inner.FileIdentity(path);
    }

    // Called by its handles and writers.
    void Reached(const void* source, std::int64_t position);

private:
    FileSystem& m_inner;
    const void* m_source = nullptr;
    std::int64_t m_length = 0;
    std::int64_t m_reached = 0;
};

}  // namespace qs

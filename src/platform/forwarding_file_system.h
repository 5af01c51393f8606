#pragma once

#include <memory>

#include "platform/file_system.h"

namespace qs {

// A file system that passes every call to another one. Those that watch or change a few
// calls (progress, recording, injected faults) derive from it and override only those, so
// that a call added later, or one they forgot, still reaches the real file system instead
// of a default that pretends it cannot be done.
class ForwardingFileSystem : public FileSystem {
public:
    explicit ForwardingFileSystem(FileSystem& inner) : m_inner(inner) {}

    PathKind Kind(const Text& path) override { return m_inner.Kind(path); }
    bool CreateFolder(const Text& path) override { return m_inner.CreateFolder(path); }
    bool DeleteFile(const Text& path) override { return m_inner.DeleteFile(path); }
    bool RemoveEmptyFolder(const Text& path) override { return m_inner.RemoveEmptyFolder(path); }
    std::optional<Bytes> ReadWholeFile(const Text& path) override {
        return m_inner.ReadWholeFile(path);
    }
    std::unique_ptr<ReadHandle> OpenRead(const Text& path) override {
        return m_inner.OpenRead(path);
    }
    bool WriteWholeFile(const Text& path, std::string_view bytes) override {
        return m_inner.WriteWholeFile(path, bytes);
    }
    std::unique_ptr<AtomicWriter> CreateAtomic(const Text& path) override {
        return m_inner.CreateAtomic(path);
    }
    bool SyncToDisk(const Text& path) override { return m_inner.SyncToDisk(path); }
    bool SyncFileSystemOf(const Text& path) override { return m_inner.SyncFileSystemOf(path); }
    std::unique_ptr<FolderHold> HoldFolder(const Text& folder) override {
        return m_inner.HoldFolder(folder);
    }
    std::optional<FileStamp> Stamp(const Text& path) override { return m_inner.Stamp(path); }
    bool StampsShowEveryChange(const Text& folder) override {
        return m_inner.StampsShowEveryChange(folder);
    }
    std::optional<Bytes> ExtendedAccess(const Text& path) override {
        return m_inner.ExtendedAccess(path);
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
    std::optional<Text> CurrentFolder() override { return m_inner.CurrentFolder(); }
    std::optional<Text> ResolveLinks(const Text& path) override {
        return m_inner.ResolveLinks(path);
    }

protected:
    FileSystem& Inner() { return m_inner; }

private:
    FileSystem& m_inner;
};

// A read handle that passes every call to another one; Inner() is for the writers of the same
// file system, which hand the real handle on in their copies.
class ForwardingReadHandle : public ReadHandle {
public:
    explicit ForwardingReadHandle(std::unique_ptr<ReadHandle> inner) : m_inner(std::move(inner)) {}

    std::int64_t Length() override { return m_inner->Length(); }
    bool Seek(std::int64_t position) override { return m_inner->Seek(position); }
    std::int64_t Read(char* buffer, std::int64_t size) override {
        return m_inner->Read(buffer, size);
    }
    std::optional<FileId> Identity() override { return m_inner->Identity(); }
    std::optional<std::int64_t> OpenedLength() override { return m_inner->OpenedLength(); }
    ReadHandle& Inner() { return *m_inner; }

private:
    std::unique_ptr<ReadHandle> m_inner;
};

// An atomic writer that passes every call to another one, copies included: a copy reaches
// the inner writer as a copy. One whose file system wraps the handles it opens unwraps its
// own in its copies, so that a copy inside the kernel stays one.
class ForwardingWriter : public AtomicWriter {
public:
    explicit ForwardingWriter(std::unique_ptr<AtomicWriter> inner) : m_inner(std::move(inner)) {}

    bool Write(std::string_view bytes) override { return m_inner->Write(bytes); }
    CopyResult CopyFrom(ReadHandle& source, std::int64_t limit, std::int64_t* copied) override {
        return m_inner->CopyFrom(source, limit, copied);
    }
    CopyResult CopyRange(ReadHandle& source, std::int64_t start, std::int64_t length,
                         std::int64_t* copied) override {
        return m_inner->CopyRange(source, start, length, copied);
    }
    void LimitPermissions(std::uint32_t bits) override { m_inner->LimitPermissions(bits); }
    void LimitAccess(const Bytes& access) override { m_inner->LimitAccess(access); }
    bool Sync() override { return m_inner->Sync(); }
    void StartWriteBack() override { m_inner->StartWriteBack(); }
    bool Commit() override { return m_inner->Commit(); }
    NameResult CommitNew(const Text& path) override { return m_inner->CommitNew(path); }
    std::optional<FileId> Identity() override { return m_inner->Identity(); }
    void ReadBackWhenNamed(std::string_view expected) override {
        m_inner->ReadBackWhenNamed(expected);
    }
    std::optional<FileStamp> ReadBack() override { return m_inner->ReadBack(); }

protected:
    AtomicWriter& Inner() { return *m_inner; }

private:
    std::unique_ptr<AtomicWriter> m_inner;
};

}  // namespace qs

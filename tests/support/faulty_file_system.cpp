#include "support/faulty_file_system.h"

#include <cerrno>

#include "platform/system_error.h"

namespace qs {
namespace {

class FaultyReadHandle : public ReadHandle {
public:
    FaultyReadHandle(FaultyFileSystem& owner, Text path, std::unique_ptr<ReadHandle> inner)
        : m_owner(owner), m_path(std::move(path)), m_inner(std::move(inner)) {}
    std::int64_t Length() override { return m_inner->Length(); }
    bool Seek(std::int64_t position) override { return m_inner->Seek(position); }
    std::int64_t Read(char* buffer, std::int64_t size) override {
        FaultyFileSystem::Fault fault = FaultyFileSystem::Fault::Fail;
        if (m_owner.ShouldFail(FaultyFileSystem::Op::Read, m_path, &fault)) {
            if (fault == FaultyFileSystem::Fault::ShortRead && size > 1) {
                m_inner->Read(buffer, size / 2);
                SetLastSystemError(EIO);
            }
            return -1;
        }
        return m_inner->Read(buffer, size);
    }

private:
    FaultyFileSystem& m_owner;
    Text m_path;
    std::unique_ptr<ReadHandle> m_inner;
};

class FaultyWriter : public AtomicWriter {
public:
    FaultyWriter(FaultyFileSystem& owner, Text path, std::unique_ptr<AtomicWriter> inner)
        : m_owner(owner), m_path(std::move(path)), m_inner(std::move(inner)) {}
    bool Write(std::string_view bytes) override {
        FaultyFileSystem::Fault fault = FaultyFileSystem::Fault::Fail;
        if (m_owner.ShouldFail(FaultyFileSystem::Op::Write, m_path, &fault)) {
            if (fault == FaultyFileSystem::Fault::ShortWrite) {
                // Part of the bytes reach the temporary file, then the disk is full.
                m_inner->Write(bytes.substr(0, bytes.size() / 2));
                SetLastSystemError(ENOSPC);
            }
            m_failed = true;
            return false;
        }
        return m_inner->Write(bytes);
    }
    bool Commit() override {
        if (m_failed || m_owner.ShouldFail(FaultyFileSystem::Op::Commit, m_path)) {
            return false;  // the inner writer removes its temporary file when destroyed
        }
        return m_inner->Commit();
    }
    bool Sync() override {
        if (m_failed || m_owner.ShouldFail(FaultyFileSystem::Op::Sync, m_path)) {
            m_failed = true;
            return false;
        }
        return m_inner->Sync();
    }
    void StartWriteBack() override {
        if (!m_failed) {
            m_inner->StartWriteBack();
        }
    }
    void LimitPermissions(std::uint32_t bits) override { m_inner->LimitPermissions(bits); }
    NameResult CommitNew(const Text& path) override {
        if (m_failed || m_owner.ShouldFail(FaultyFileSystem::Op::Commit, path)) {
            return NameResult::Failed;
        }
        return m_inner->CommitNew(path);
    }

private:
    FaultyFileSystem& m_owner;
    Text m_path;
    std::unique_ptr<AtomicWriter> m_inner;
    bool m_failed = false;
};

class FaultyReadWriteFile : public ReadWriteFile {
public:
    FaultyReadWriteFile(FaultyFileSystem& owner, Text path, std::unique_ptr<ReadWriteFile> inner)
        : m_owner(owner), m_path(std::move(path)), m_inner(std::move(inner)) {}
    std::optional<Bytes> ReadAll() override {
        if (m_owner.ShouldFail(FaultyFileSystem::Op::Read, m_path)) {
            return std::nullopt;
        }
        return m_inner->ReadAll();
    }
    bool WriteAt(std::int64_t offset, std::string_view bytes) override {
        if (m_owner.ShouldFail(FaultyFileSystem::Op::WriteAt, m_path)) {
            return false;
        }
        return m_inner->WriteAt(offset, bytes);
    }
    bool Truncate(std::int64_t length) override { return m_inner->Truncate(length); }

private:
    FaultyFileSystem& m_owner;
    Text m_path;
    std::unique_ptr<ReadWriteFile> m_inner;
};

}  // namespace

void FaultyFileSystem::FailNth(Op op, int k, Fault fault) {
    m_rules.push_back({op, k == 0 ? 0 : m_counts[op] + k, fault, Text()});
}

void FaultyFileSystem::FailPath(Op op, const Text& fragment) {
    m_rules.push_back({op, 0, Fault::Fail, fragment});
}

void FaultyFileSystem::Before(Op op, int k, std::function<void()> action) {
    m_hooks.push_back({op, m_counts[op] + k, std::move(action)});
}

void FaultyFileSystem::Reset() {
    m_rules.clear();
    m_hooks.clear();
    m_fired = 0;
}

int FaultyFileSystem::Count(Op op) const {
    auto found = m_counts.find(op);
    return found == m_counts.end() ? 0 : found->second;
}

bool FaultyFileSystem::ShouldFail(Op op, const Text& path, Fault* fault) {
    const int call = ++m_counts[op];
    for (auto& hook : m_hooks) {
        if (hook.op == op && hook.k == call && hook.action) {
            auto action = std::move(hook.action);
            hook.action = nullptr;
            action();
        }
    }
    for (const Rule& rule : m_rules) {
        if (rule.op != op) {
            continue;
        }
        const bool pathMatches = rule.fragment.empty() || path.find(rule.fragment) != Text::npos;
        if (pathMatches && (rule.k == 0 || rule.k == call)) {
            if (fault != nullptr) {
                *fault = rule.fault;
            }
            ++m_fired;
            // An injected fault has a reason, as a real one would.
            SetLastSystemError(rule.fault == Fault::ShortWrite ? ENOSPC : EIO);
            return true;
        }
    }
    return false;
}

PathKind FaultyFileSystem::Kind(const Text& path) {
    return ShouldFail(Op::Kind, path) ? PathKind::Missing : m_inner.Kind(path);
}

bool FaultyFileSystem::CreateFolder(const Text& path) {
    return !ShouldFail(Op::CreateFolder, path) && m_inner.CreateFolder(path);
}

bool FaultyFileSystem::DeleteFile(const Text& path) {
    return !ShouldFail(Op::Delete, path) && m_inner.DeleteFile(path);
}

std::optional<Bytes> FaultyFileSystem::ReadWholeFile(const Text& path) {
    if (ShouldFail(Op::ReadWhole, path)) {
        return std::nullopt;
    }
    return m_inner.ReadWholeFile(path);
}

std::unique_ptr<ReadHandle> FaultyFileSystem::OpenRead(const Text& path) {
    if (ShouldFail(Op::OpenRead, path)) {
        return nullptr;
    }
    auto inner = m_inner.OpenRead(path);
    if (!inner) {
        return nullptr;
    }
    return std::make_unique<FaultyReadHandle>(*this, path, std::move(inner));
}

bool FaultyFileSystem::WriteWholeFile(const Text& path, std::string_view bytes) {
    auto writer = CreateAtomic(path);
    return writer && writer->Write(bytes) && writer->Commit();
}

std::unique_ptr<AtomicWriter> FaultyFileSystem::CreateAtomic(const Text& path) {
    if (ShouldFail(Op::Create, path)) {
        return nullptr;
    }
    auto inner = m_inner.CreateAtomic(path);
    if (!inner) {
        return nullptr;
    }
    return std::make_unique<FaultyWriter>(*this, path, std::move(inner));
}

bool FaultyFileSystem::SyncToDisk(const Text& path) {
    return !ShouldFail(Op::Sync, path) && m_inner.SyncToDisk(path);
}

bool FaultyFileSystem::SyncFileSystemOf(const Text& path) {
    return !ShouldFail(Op::Sync, path) && m_inner.SyncFileSystemOf(path);
}

std::optional<std::int64_t> FaultyFileSystem::FileSize(const Text& path) {
    return m_inner.FileSize(path);
}

std::unique_ptr<ReadWriteFile> FaultyFileSystem::OpenReadWrite(const Text& path) {
    if (ShouldFail(Op::OpenReadWrite, path)) {
        return nullptr;
    }
    auto inner = m_inner.OpenReadWrite(path);
    if (!inner) {
        return nullptr;
    }
    return std::make_unique<FaultyReadWriteFile>(*this, path, std::move(inner));
}

std::optional<std::vector<DirEntry>> FaultyFileSystem::List(const Text& folder) {
    if (ShouldFail(Op::List, folder)) {
        return std::nullopt;
    }
    return m_inner.List(folder);
}

std::optional<FileStamp> FaultyFileSystem::Stamp(const Text& path) {
    return m_inner.Stamp(path);
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> FaultyFileSystem::FileIdentity(
    const Text& path) {
    return m_inner.FileIdentity(path);
}

}  // namespace qs

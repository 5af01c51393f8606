#include "support/faulty_file_system.h"

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "platform/native_names.h"
#include "platform/system_error.h"

namespace qs {
namespace {

class FaultyReadHandle : public ForwardingReadHandle {
public:
    FaultyReadHandle(FaultyFileSystem& owner, Text path, std::unique_ptr<ReadHandle> inner)
        : ForwardingReadHandle(std::move(inner)), m_owner(owner), m_path(std::move(path)) {}
    std::int64_t Read(char* buffer, std::int64_t size) override {
        FaultyFileSystem::Fault fault = FaultyFileSystem::Fault::Fail;
        if (m_owner.ShouldFail(FaultyFileSystem::Op::Read, m_path, &fault)) {
            if (fault == FaultyFileSystem::Fault::ShortRead && size > 1) {
                Inner().Read(buffer, size / 2);
                SetLastSystemError(EIO);
            }
            return -1;
        }
        return Inner().Read(buffer, size);
    }
    // The fault a read of this source meets now, if any.
    std::optional<FaultyFileSystem::Fault> PendingFault() {
        FaultyFileSystem::Fault fault = FaultyFileSystem::Fault::Fail;
        if (m_owner.ShouldFail(FaultyFileSystem::Op::Read, m_path, &fault)) {
            return fault;
        }
        return std::nullopt;
    }

private:
    FaultyFileSystem& m_owner;
    Text m_path;
};

class FaultyWriter : public ForwardingWriter {
public:
    FaultyWriter(FaultyFileSystem& owner, Text path, Text target,
                 std::unique_ptr<AtomicWriter> inner)
        : ForwardingWriter(std::move(inner)),
          m_owner(owner),
          m_path(std::move(path)),
          m_target(std::move(target)) {}
    bool Write(std::string_view bytes) override {
        FaultyFileSystem::Fault fault = FaultyFileSystem::Fault::Fail;
        if (m_owner.ShouldFail(FaultyFileSystem::Op::Write, m_path, &fault)) {
            if (fault == FaultyFileSystem::Fault::ShortWrite) {
                // Part of the bytes reach the temporary file, then the disk is full.
                Inner().Write(bytes.substr(0, bytes.size() / 2));
                SetLastSystemError(ENOSPC);
            }
            m_failed = true;
            return false;
        }
        return Inner().Write(bytes);
    }
    CopyResult CopyFrom(ReadHandle& source, std::int64_t limit, std::int64_t* copied) override {
        std::int64_t ignored = 0;
        std::int64_t& done = copied != nullptr ? *copied : ignored;
        done = 0;
        const std::int64_t half = (limit >= 0 ? limit : source.Length()) / 2;
        return Copy(source, half, [&](ReadHandle& from, std::int64_t length) {
            return length < 0 ? ForwardingWriter::CopyFrom(from, limit, &done)
                              : ForwardingWriter::CopyFrom(from, length, &done);
        });
    }
    CopyResult CopyRange(ReadHandle& source, std::int64_t start, std::int64_t length,
                         std::int64_t* copied) override {
        return Copy(source, length / 2, [&](ReadHandle& from, std::int64_t part) {
            return ForwardingWriter::CopyRange(from, start, part < 0 ? length : part, copied);
        });
    }
    bool Commit() override {
        if (m_failed || m_owner.ShouldFail(FaultyFileSystem::Op::Commit, m_path)) {
            return false;  // the inner writer removes its temporary file when destroyed
        }
        if (const Text now = m_owner.Folded(m_path); now != m_target) {  // spelled otherwise
            m_owner.DeleteReplaced(now);
        }
        return Inner().Commit();
    }
    bool Sync() override {
        if (m_failed || m_owner.ShouldFail(FaultyFileSystem::Op::Sync, m_path)) {
            m_failed = true;
            return false;
        }
        return Inner().Sync();
    }
    void StartWriteBack() override {
        if (!m_failed) {
            Inner().StartWriteBack();
        }
    }
    NameResult CommitNew(const Text& path) override {
        if (m_failed || m_owner.ShouldFail(FaultyFileSystem::Op::Commit, path)) {
            return NameResult::Failed;
        }
        // Folders of another spelling lead to the same folder; a file of another spelling
        // holds the name.
        const Text folded = m_owner.Folded(path);
        const auto leaf = [](const Text& p) { return p.substr(p.rfind('/') + 1); };
        if (leaf(folded) != leaf(path)) {
            return NameResult::Taken;
        }
        return Inner().CommitNew(folded);
    }

private:
    // One read of the source and one write here; a short fault copies half of what was
    // asked (copy(from, half)) and then fails, a whole copy is copy(from, -1).
    template <typename Copier>
    CopyResult Copy(ReadHandle& source, std::int64_t half, Copier copy) {
        if (m_failed) {
            return CopyResult::WriteFailed;
        }
        auto* faulty = dynamic_cast<FaultyReadHandle*>(&source);
        ReadHandle& from = faulty != nullptr ? faulty->Inner() : source;
        if (faulty != nullptr) {
            if (const auto fault = faulty->PendingFault()) {
                if (*fault == FaultyFileSystem::Fault::ShortRead && half > 0) {
                    copy(from, half);
                    SetLastSystemError(EIO);
                }
                return CopyResult::ReadFailed;
            }
        }
        FaultyFileSystem::Fault fault = FaultyFileSystem::Fault::Fail;
        if (m_owner.ShouldFail(FaultyFileSystem::Op::Write, m_path, &fault)) {
            if (fault == FaultyFileSystem::Fault::ShortWrite && half > 0) {
                copy(from, half);
                SetLastSystemError(ENOSPC);
            }
            m_failed = true;
            return CopyResult::WriteFailed;
        }
        const CopyResult result = copy(from, -1);
        m_failed = m_failed || result == CopyResult::WriteFailed;
        return result;
    }

    FaultyFileSystem& m_owner;
    Text m_path;
    Text m_target;  // the path as the file system led it when the writer was made
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

void FaultyFileSystem::FailPath(Op op, const Text& fragment, Fault fault) {
    m_rules.push_back({op, 0, fault, fragment});
}

void FaultyFileSystem::Before(Op op, int k, std::function<void()> action) {
    m_hooks.push_back({op, m_counts[op] + k, std::move(action)});
}

void FaultyFileSystem::Reset() {
    m_rules.clear();
    m_hooks.clear();
    m_fired = 0;
}

namespace {

// A name as a file system that ignores case compares it: the ASCII letters of its
// file-system form (never a byte of a longer UTF-8 character) in lower case.
std::string CaseFolded(const Text& name) {
    std::string native;
    native = InternalToNative(name, native) ? native : name;
    for (char& c : native) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return native;
}

}  // namespace

Text FaultyFileSystem::Folded(const Text& path) {
    if (m_caseless.empty() || !path.starts_with(m_caseless + "/")) {
        return path;
    }
    Text out = m_caseless;
    for (std::size_t at = m_caseless.size(); at < path.size();) {
        const std::size_t next = std::min(path.find('/', at + 1), path.size());
        Text name = path.substr(at + 1, next - at - 1);
        if (!name.empty() && Inner().Kind(out + "/" + name) == PathKind::Missing) {
            const auto entries = Inner().List(out).value_or(std::vector<DirEntry>());
            const auto found = std::find_if(entries.begin(), entries.end(), [&](const DirEntry& e) {
                return CaseFolded(e.name) == CaseFolded(name);
            });
            name = found != entries.end() ? found->name : name;
        }
        out += "/" + name;
        at = next;
    }
    return out;
}

int FaultyFileSystem::Count(Op op) const {
    auto found = m_counts.find(op);
    return found == m_counts.end() ? 0 : found->second;
}

bool FaultyFileSystem::ShouldFail(Op op, const Text& path, Fault* fault) {
    std::unique_lock lock(m_mutex);
    const int call = ++m_counts[op];
    for (auto& hook : m_hooks) {
        if (hook.op == op && hook.k == call && hook.action) {
            auto action = std::move(hook.action);
            hook.action = nullptr;
            lock.unlock();
            action();
            lock.lock();
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
    return ShouldFail(Op::Kind, path) ? PathKind::Missing : Inner().Kind(Folded(path));
}

bool FaultyFileSystem::CreateFolder(const Text& path) {
    return !ShouldFail(Op::CreateFolder, path) && Inner().CreateFolder(Folded(path));
}

bool FaultyFileSystem::DeleteFile(const Text& path) {
    return !ShouldFail(Op::Delete, path) && Inner().DeleteFile(Folded(path));
}

std::optional<Bytes> FaultyFileSystem::ReadWholeFile(const Text& path) {
    if (ShouldFail(Op::ReadWhole, path)) {
        return std::nullopt;
    }
    return Inner().ReadWholeFile(Folded(path));
}

std::unique_ptr<ReadHandle> FaultyFileSystem::OpenRead(const Text& path) {
    if (ShouldFail(Op::OpenRead, path)) {
        return nullptr;
    }
    auto inner = Inner().OpenRead(Folded(path));
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
    const Text target = Folded(path);
    auto inner = Inner().CreateAtomic(target);
    if (!inner) {
        return nullptr;
    }
    return std::make_unique<FaultyWriter>(*this, path, target, std::move(inner));
}

bool FaultyFileSystem::SyncToDisk(const Text& path) {
    return !ShouldFail(Op::Sync, path) && Inner().SyncToDisk(Folded(path));
}

bool FaultyFileSystem::SyncFileSystemOf(const Text& path) {
    return !ShouldFail(Op::Sync, path) && Inner().SyncFileSystemOf(Folded(path));
}

std::unique_ptr<ReadWriteFile> FaultyFileSystem::OpenReadWrite(const Text& path) {
    if (ShouldFail(Op::OpenReadWrite, path)) {
        return nullptr;
    }
    auto inner = Inner().OpenReadWrite(Folded(path));
    if (!inner) {
        return nullptr;
    }
    return std::make_unique<FaultyReadWriteFile>(*this, path, std::move(inner));
}

std::optional<std::vector<DirEntry>> FaultyFileSystem::List(const Text& folder) {
    if (ShouldFail(Op::List, folder)) {
        return std::nullopt;
    }
    return Inner().List(Folded(folder));
}

}  // namespace qs

#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/forwarding_file_system.h"

namespace qs {

// A file system that passes every call to another one, but can be told to fail the k-th
// call of a kind. Used to prove that no fault loses a source or leaves a half file behind.
// A copy between a source and an output (inside the kernel when the inner file system can)
// is one read of the source and one write of the output.
class FaultyFileSystem : public ForwardingFileSystem {
public:
    enum class Op {
        Kind,
        CreateFolder,
        Delete,
        ReadWhole,
        OpenRead,
        Read,    // a read through a handle
        Create,  // CreateAtomic and the start of WriteWholeFile
        Write,   // a write through an atomic writer
        Commit,  // flush, close and rename (also the naming of CommitNew)
        Sync,    // forcing a writer or a folder onto the disk
        OpenReadWrite,
        WriteAt,
        List,
    };
    enum class Fault {
        Fail,        // the call reports failure
        ShortRead,   // a read delivers half of what was asked, then fails
        ShortWrite,  // a write puts half of its bytes into the file, then fails (disk full)
    };

    explicit FaultyFileSystem(FileSystem& inner) : ForwardingFileSystem(inner) {}

    // Fails the k-th call (1-based, counted from now) of the kind; 0 fails every call.
    void FailNth(Op op, int k, Fault fault = Fault::Fail);
    // Fails every call of the kind whose path contains the fragment.
    void FailPath(Op op, const Text& fragment, Fault fault = Fault::Fail);
    // Runs before the k-th call of the kind (to make a file vanish or shrink, say).
    void Before(Op op, int k, std::function<void()> action);
    void Reset();
    int Count(Op op) const;
    // How many calls were made to fail so far.
    int Fired() const { return m_fired; }

    PathKind Kind(const Text& path) override;
    bool CreateFolder(const Text& path) override;
    bool DeleteFile(const Text& path) override;
    std::optional<Bytes> ReadWholeFile(const Text& path) override;
    std::unique_ptr<ReadHandle> OpenRead(const Text& path) override;
    bool WriteWholeFile(const Text& path, std::string_view bytes) override;
    std::unique_ptr<AtomicWriter> CreateAtomic(const Text& path) override;
    bool SyncToDisk(const Text& path) override;
    bool SyncFileSystemOf(const Text& path) override;
    std::unique_ptr<ReadWriteFile> OpenReadWrite(const Text& path) override;
    std::optional<std::vector<DirEntry>> List(const Text& folder) override;

    // Used by the wrapped handles; true when this call of the kind must fail.
    bool ShouldFail(Op op, const Text& path, Fault* fault = nullptr);

private:
    struct Rule {
        Op op;
        int k;  // call number at which to fail; 0 = always
        Fault fault;
        Text fragment;
    };
    struct Hook {
        Op op;
        int k;
        std::function<void()> action;
    };

    std::map<Op, int> m_counts;
    std::vector<Rule> m_rules;
    std::vector<Hook> m_hooks;
    int m_fired = 0;
    std::mutex m_mutex;  // two jobs on two threads may share it
};

}  // namespace qs

#include "platform/posix_file_system.h"

#include <acl/libacl.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <pthread.h>
#include <signal.h>
#include <sys/acl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <system_error>

#include "platform/native_names.h"
#include "platform/system_error.h"

namespace qs {
namespace {

// A call that can fail begins with no reason noted, and a failing one notes why: errno
// unless told otherwise, taken before any cleanup changes it.
void Begin() {
    SetLastSystemError(0);
}
template <typename T>
T Failing(T result, int code = errno) {
    SetLastSystemError(code);
    return result;
}

bool NativePath(const Text& path, std::string& native) {
    if (path.empty() || path.find('\0') != Text::npos) {
        return false;
    }
    return InternalToNative(path, native);
}

mode_t CreationMode() {
    // umask can only be read by setting it; do it once.
    static const mode_t mode = [] {
        const mode_t mask = ::umask(022);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

// The folder part of a path, with its final "/"; "" for a bare name.
std::string FolderPart(const std::string& native) {
    const std::size_t slash = native.rfind('/');
    return slash == std::string::npos ? std::string() : native.substr(0, slash + 1);
}

using HeldFolder = PosixFileSystem::HeldFolder;

using Place = PosixFileSystem::Place;

bool DirectlyIn(const HeldFolder& folder, const std::string& native) {
    return native.size() > folder.native.size() &&
           native.compare(0, folder.native.size(), folder.native) == 0 &&
           native.find('/', folder.native.size()) == std::string::npos;
}

Place PlaceIn(const HeldFolder* folder, const std::string& native) {
    if (folder != nullptr && DirectlyIn(*folder, native)) {
        return {folder->fd, native.c_str() + folder->native.size()};
    }
    return {AT_FDCWD, native.c_str()};
}

// Gives an unnamed file (O_TMPFILE) its name. Without a privilege older kernels refuse the
// link by descriptor; the way through /proc works everywhere, with a longer walk.
bool LinkUnnamed(int fd, Place at) {
    static bool byDescriptor = true;
    if (byDescriptor) {
        if (::linkat(fd, "", at.dirFd, at.name, AT_EMPTY_PATH) == 0) {
            return true;
        }
        if (errno != ENOENT && errno != EPERM) {
            return false;
        }
    }
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, self, at.dirFd, at.name, AT_SYMLINK_FOLLOW) != 0) {
        return false;
    }
    byDescriptor = false;
    return true;
}

// A job's first files in a held folder are opened as they are asked for; from then on a
// stock makes them ahead. A batch of small sources, one piece or two each, starts none.
UnnamedFile UnnamedFileIn(HeldFolder& folder) {
    constexpr int kFilesBeforeStock = 8;
    if (folder.stock) {
        UnnamedFile file = folder.stock->Take();
        if (file.fd >= 0) {
            return file;
        }
    } else if (++folder.filesOpened == kFilesBeforeStock) {
        CreationMode();  // reading the umask sets it for a moment: not while files are made
        folder.stock = std::make_unique<UnnamedFileStock>(folder.fd);
    }
    return {OpenUnnamedFile(folder.fd, "."), std::nullopt};
}

FileStamp StampOf(const struct stat& st) {
    constexpr std::int64_t kNs = 1000000000;
    FileStamp stamp;
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = static_cast<std::int64_t>(st.st_size);
    stamp.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * kNs + st.st_mtim.tv_nsec;
    stamp.changedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * kNs + st.st_ctim.tv_nsec;
    stamp.permissions = static_cast<std::uint32_t>(st.st_mode & 07777);
    return stamp;
}

// Whether fd's file holds exactly expected, read through fd from its start.
bool HoldsExactly(int fd, std::string_view expected) {
    constexpr std::size_t kChunk = 1 << 20;
    thread_local Bytes buffer;
    buffer.resize(std::min(kChunk, std::max<std::size_t>(expected.size(), 1)));
    std::size_t at = 0;
    while (at < expected.size()) {
        const std::size_t want = std::min(buffer.size(), expected.size() - at);
        const ssize_t n = ::pread(fd, buffer.data(), want, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 ||
            std::memcmp(buffer.data(), expected.data() + at, static_cast<std::size_t>(n)) != 0) {
            return false;
        }
        at += static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

class PosixReadHandle : public ReadHandle {
public:
    // id and length: the file's, as it was opened (an open file stays the file it is).
    PosixReadHandle(int fd, FileId id, std::int64_t length)
        : m_fd(fd), m_id(id), m_openedLength(length) {}
    int Descriptor() const { return m_fd; }

    // How many bytes from position on (at most length) the source holds as a hole, which a
    // copy may skip: the piece reads the same zeros and takes no room for them. 0 where data
    // begins, or where the system cannot tell. The end of the data found is kept for the
    // copies of later pieces: asking the system walks the file from position to that end.
    std::int64_t HoleAt(off_t position, std::int64_t length) {
        if (m_dataEnd < 0) {
            // A file with all its blocks has no hole to look for.
            struct stat st {};
            const bool holes = ::fstat(m_fd, &st) == 0 && st.st_blocks * 512 < st.st_size;
            m_dataEnd = holes ? 0 : std::numeric_limits<off_t>::max();
        }
        if (m_dataEnd > position) {
            return 0;
        }
        const off_t data = ::lseek(m_fd, position, SEEK_DATA);
        off_t end = data;
        if (data < 0) {
            struct stat st {};
            // Nothing but a hole up to the end: a source that ends sooner fails the copy.
            if (errno != ENXIO || ::fstat(m_fd, &st) != 0 || st.st_size <= position) {
                return 0;
            }
            end = st.st_size;
        }
        if (end > position) {
            return std::min<std::int64_t>(end - position, length);
        }
        const off_t hole = ::lseek(m_fd, position, SEEK_HOLE);
        m_dataEnd = hole > position ? hole : std::numeric_limits<off_t>::max();
        return 0;
    }
    // Where the data around the last position asked about ends, as far as known.
    off_t DataEnd() const { return m_dataEnd; }
    ~PosixReadHandle() override { ::close(m_fd); }

    std::int64_t Length() override {
        Begin();
        struct stat st {};
        return ::fstat(m_fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size)
                                       : Failing(std::int64_t{-1});
    }
    bool Seek(std::int64_t position) override {
        Begin();
        const off_t at = ::lseek(m_fd, static_cast<off_t>(position), SEEK_SET);
        return at == position || Failing(false, at < 0 ? errno : 0);
    }
    std::int64_t Read(char* buffer, std::int64_t size) override {
        Begin();
        std::int64_t total = 0;
        while (total < size) {
            const ssize_t n = ::read(m_fd, buffer + total, static_cast<std::size_t>(size - total));
            if (n < 0) {
                // The file was opened without blocking (a pipe would hold the opening), which
                // no regular file on a local disk heeds; one that does is waited for from here.
                if (errno == EINTR ||
                    ((errno == EAGAIN || errno == EWOULDBLOCK) && ::fcntl(m_fd, F_SETFL, 0) == 0)) {
                    continue;
                }
                return total > 0 ? Failing(total) : Failing(std::int64_t{-1});
            }
            if (n == 0) {
                break;
            }
            total += n;
        }
        return total;
    }
    std::optional<FileId> Identity() override { return m_id; }
    std::optional<std::int64_t> OpenedLength() override { return m_openedLength; }

private:
    int m_fd;
    FileId m_id;
    std::int64_t m_openedLength;
    off_t m_dataEnd = -1;  // not yet known whether the file has holes
};

class PosixAtomicWriter : public AtomicWriter {
public:
    PosixAtomicWriter(std::string target, std::string temporary, int fd,
                      std::shared_ptr<HeldFolder> folder, std::optional<FileId> id = std::nullopt)
        : m_target(std::move(target)),
          m_temporary(std::move(temporary)),
          m_fd(fd),
          m_folder(std::move(folder)),
          m_id(id) {}
    ~PosixAtomicWriter() override {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        if (!m_committed && !m_temporary.empty()) {
            ::unlink(m_temporary.c_str());
        }
    }
    bool Write(std::string_view bytes) override {
        Begin();
        if (m_failed || m_fd < 0) {
            return Failing(false, m_error);
        }
        if (!WriteAll(m_fd, bytes)) {
            Fail();
        }
        return !m_failed;
    }
    CopyResult CopyFrom(ReadHandle& source, std::int64_t limit, std::int64_t* copied) override {
        return Copy(source, nullptr, limit, copied);
    }
    CopyResult CopyRange(ReadHandle& source, std::int64_t start, std::int64_t length,
                         std::int64_t* copied) override {
        if (dynamic_cast<PosixReadHandle*>(&source) == nullptr) {
            return AtomicWriter::CopyRange(source, start, length, copied);
        }
        // The offset goes to the kernel with the copy: no seek.
        auto offset = static_cast<off_t>(start);
        return Copy(source, &offset, length, copied);
    }
    bool Sync() override {
        Begin();
        if (m_failed || m_fd < 0) {
            return Failing(false, m_error);
        }
        if (::fsync(m_fd) != 0) {
            Fail();
        }
        return !m_failed;
    }
    void LimitPermissions(std::uint32_t bits) override {
        m_permissionLimit &= static_cast<mode_t>(bits);
        // Files are made with the creation mode; most sources allow all of it.
        const mode_t mode = CreationMode() & m_permissionLimit;
        if (m_fd >= 0 && mode != m_mode) {
            ::fchmod(m_fd, mode);
            m_mode = mode;
        }
    }
    void LimitAccess(const Bytes& access) override {
        if (m_fd < 0) {
            return;
        }
        const acl_t acl = access.empty() ? nullptr : ::acl_from_text(access.c_str());
        // The group bits of a file with a list are its mask: the limit follows them.
        if (acl != nullptr && ::acl_set_fd(m_fd, acl) == 0) {
            struct stat st {};
            if (::fstat(m_fd, &st) == 0) {
                m_mode = st.st_mode & 07777;
                m_permissionLimit &= m_mode;
            }
        } else {
            m_permissionLimit &= 0700;
            m_mode &= 0700;
            ::fchmod(m_fd, m_mode);
        }
        if (acl != nullptr) {
            ::acl_free(acl);
        }
    }
    void StartWriteBack() override {
        if (!m_failed && m_fd >= 0 && !(m_folder && m_folder->inMemory)) {
            ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        }
    }
    bool Commit() override {
        Begin();
        if (m_fd < 0 || m_failed) {
            return Failing(false, m_error);
        }
        // A free name costs one call; only a file that is there already is looked at.
        switch (CommitNewNative(m_target)) {
            case NameResult::Named:
                return true;
            case NameResult::Failed:
                return false;
            case NameResult::Taken:
                break;
        }
        struct stat st {};
        const Place target = PlaceIn(m_folder.get(), m_target);
        if (::fstatat(target.dirFd, target.name, &st, 0) == 0 && S_ISREG(st.st_mode)) {
            // a replaced file keeps its permissions, within the limit
            m_mode = st.st_mode & 07777 & m_permissionLimit;
            ::fchmod(m_fd, m_mode);
        }
        if (m_temporary.empty() && !LinkUnnamedToTemporary()) {
            return Failing(false);
        }
        if (!CloseFile()) {
            return Failing(false);
        }
        if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
            return Failing(false);
        }
        m_committed = true;
        return true;
    }
    std::optional<FileId> Identity() override {
        struct stat st {};
        if (!m_id && m_fd >= 0 && ::fstat(m_fd, &st) == 0) {
            m_id = FileId{static_cast<std::uint64_t>(st.st_dev),
                          static_cast<std::uint64_t>(st.st_ino)};
        }
        return m_id;
    }
    void ReadBackWhenNamed(std::string_view expected) override {
        m_expected = expected;
        m_readsBack = true;
    }
    std::optional<FileStamp> ReadBack() override { return m_readBack; }
    NameResult CommitNew(const Text& path) override {
        Begin();
        std::string native;
        if (m_fd < 0 || m_failed) {
            return Failing(NameResult::Failed, m_error);
        }
        if (!NativePath(path, native)) {
            return Failing(NameResult::Failed, 0);
        }
        return CommitNewNative(native);
    }

private:
    // The failing link is the existence test: nothing is looked up before.
    NameResult CommitNewNative(const std::string& name) {
        const Place at = PlaceIn(m_folder.get(), name);
        const bool named = m_temporary.empty() ? LinkUnnamed(m_fd, at) : RenameTemporary(name);
        if (!named) {
            // A name that is taken is an answer, not a failure.
            return errno == EEXIST ? NameResult::Taken : Failing(NameResult::Failed);
        }
        m_temporary.clear();
        if (m_readsBack) {
            m_readBack = ReadItselfBack();
        }
        if (!CloseFile()) {
            const int error = errno;
            ::unlinkat(at.dirFd, at.name, 0);
            return Failing(NameResult::Failed, error);
        }
        m_committed = true;
        return NameResult::Named;
    }
    // The named file's stamp, taken before it is read back whole through the handle: any
    // change after it gives another stamp where the file system's stamps show every change,
    // and one before it is in what is read.
    std::optional<FileStamp> ReadItselfBack() {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_size != static_cast<off_t>(m_expected.size()) ||
            !HoldsExactly(m_fd, m_expected)) {
            return std::nullopt;
        }
        return StampOf(st);
    }
    // A named temporary file moves to a free name only. File systems without the
    // no-replace rename get a link; those without links (FAT sticks) a look, then a rename.
    bool RenameTemporary(const std::string& name) {
        const char* from = m_temporary.c_str();
        if (::renameat2(AT_FDCWD, from, AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) {
            return true;
        }
        if (errno != EINVAL && errno != ENOSYS) {
            return false;
        }
        if (::link(from, name.c_str()) == 0) {
            ::unlink(from);
            return true;
        }
        if (errno != EPERM && errno != EOPNOTSUPP) {
            return false;
        }
        struct stat st {};
        if (::lstat(name.c_str(), &st) == 0) {
            errno = EEXIST;
            return false;
        }
        return ::rename(from, name.c_str()) == 0;
    }
    CopyResult Copy(ReadHandle& source, off_t* offset, std::int64_t limit, std::int64_t* copied) {
        Begin();
        std::int64_t inKernel = 0;
        if (copied != nullptr) {
            *copied = 0;
        }
        if (m_failed || m_fd < 0) {
            return Failing(CopyResult::WriteFailed, m_error);
        }
        if (auto* posix = dynamic_cast<PosixReadHandle*>(&source)) {
            // In the kernel, without passing the bytes through our memory. Any failure
            // hands the rest to the buffered copy, which tells a read error from a write
            // error.
            for (;;) {
                if (limit == 0) {
                    return EndAfterHole() ? CopyResult::Copied : WriteFailure();
                }
                if (offset != nullptr && limit > 0) {
                    const std::int64_t hole = posix->HoleAt(*offset, limit);
                    if (hole > 0) {
                        if (::lseek(m_fd, static_cast<off_t>(hole), SEEK_CUR) < 0) {
                            return WriteFailure();
                        }
                        *offset += static_cast<off_t>(hole);
                        inKernel += hole;
                        if (copied != nullptr) {
                            *copied = inKernel;
                        }
                        limit -= hole;
                        m_pastEnd = true;
                        continue;
                    }
                }
                std::size_t want =
                    limit < 0 ? std::size_t{1} << 30
                              : static_cast<std::size_t>(std::min<std::int64_t>(limit, 1 << 30));
                if (offset != nullptr && posix->DataEnd() > *offset) {
                    // Up to the next hole, which is skipped in turn.
                    want = std::min(want, static_cast<std::size_t>(posix->DataEnd() - *offset));
                }
                const ssize_t n =
                    ::copy_file_range(posix->Descriptor(), offset, m_fd, nullptr, want, 0);
                if (n == 0) {
                    // a source that ends sooner than it should: no reason the system gave
                    return limit < 0 ? CopyResult::Copied : CopyResult::ReadFailed;
                }
                if (n < 0) {
                    if (errno == EINTR) {
                        continue;
                    }
                    break;
                }
                inKernel += n;
                m_pastEnd = false;
                if (copied != nullptr) {
                    *copied = inKernel;
                }
                if (limit > 0) {
                    limit -= n;
                }
            }
        }
        if (!EndAfterHole()) {
            return WriteFailure();
        }
        if (offset != nullptr && !source.Seek(*offset)) {
            return CopyResult::ReadFailed;
        }
        std::int64_t buffered = 0;
        const CopyResult result = AtomicWriter::CopyFrom(source, limit, &buffered);
        if (copied != nullptr) {
            *copied = inKernel + buffered;
        }
        // A write that failed there failed here (Write): the writer holds why already.
        return result;
    }
    // A piece that ends in a skipped hole gets its length.
    bool EndAfterHole() {
        if (!m_pastEnd) {
            return true;
        }
        const off_t end = ::lseek(m_fd, 0, SEEK_CUR);
        m_pastEnd = !(end >= 0 && ::ftruncate(m_fd, end) == 0);
        return !m_pastEnd;
    }
    CopyResult WriteFailure() {
        Fail();
        return CopyResult::WriteFailed;
    }
    // Every later call on the writer fails for the same reason.
    void Fail() {
        m_failed = true;
        m_error = errno;
        SetLastSystemError(m_error);
    }
    bool CloseFile() {
        if (m_folder && m_folder->stock && m_folder->closeCannotFail) {
            m_folder->stock->Close(m_fd);
            m_fd = -1;
            return true;
        }
        const int closed = ::close(m_fd);
        m_fd = -1;
        return closed == 0;
    }
    bool LinkUnnamedToTemporary() {
        const std::string folder = FolderPart(m_target);
        static unsigned counter = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = folder + ".qirnsplit-" + std::to_string(::getpid()) + "-" +
                                     std::to_string(++counter);
            if (LinkUnnamed(m_fd, {AT_FDCWD, name.c_str()})) {
                m_temporary = name;
                return true;
            }
            if (errno != EEXIST) {
                return false;
            }
        }
        return false;
    }

    std::string m_target;
    std::string m_temporary;  // empty while the file has no name (O_TMPFILE)
    int m_fd;
    std::shared_ptr<HeldFolder> m_folder;  // the folder it was made in, when that is held
    std::optional<FileId> m_id;
    bool m_failed = false;
    int m_error = 0;  // why it failed
    bool m_committed = false;
    bool m_pastEnd = false;  // a hole was skipped at the end of what is written
    mode_t m_permissionLimit = 07777;
    mode_t m_mode = CreationMode();  // what the file has now
    bool m_readsBack = false;
    std::string_view m_expected;  // what it must hold when read back
    std::optional<FileStamp> m_readBack;
};

class PosixFolderHold : public FolderHold {
public:
    PosixFolderHold(PosixFileSystem::HeldFolders& held, std::shared_ptr<HeldFolder> folder)
        : m_held(held), m_folder(std::move(folder)) {
        const std::lock_guard lock(m_held.mutex);
        m_held.list.push_back(m_folder);
    }
    ~PosixFolderHold() override {
        m_folder->stock.reset();  // writers still alive keep the folder, not its stock
        const std::lock_guard lock(m_held.mutex);
        std::erase(m_held.list, m_folder);
    }

private:
    PosixFileSystem::HeldFolders& m_held;
    std::shared_ptr<HeldFolder> m_folder;
};

class PosixReadWriteFile : public ReadWriteFile {
public:
    explicit PosixReadWriteFile(int fd) : m_fd(fd) {}
    ~PosixReadWriteFile() override { ::close(m_fd); }

    std::optional<Bytes> ReadAll() override {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) {
            return std::nullopt;
        }
        Bytes bytes(static_cast<std::size_t>(st.st_size), '\0');
        std::size_t total = 0;
        while (total < bytes.size()) {
            const ssize_t n = ::pread(m_fd, bytes.data() + total, bytes.size() - total,
                                      static_cast<off_t>(total));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            total += static_cast<std::size_t>(n);
        }
        bytes.resize(total);
        return bytes;
    }
    bool WriteAt(std::int64_t offset, std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t n =
                ::pwrite(m_fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
            offset += n;
        }
        return true;
    }
    bool Truncate(std::int64_t length) override {
        return ::ftruncate(m_fd, static_cast<off_t>(length)) == 0;
    }

private:
    int m_fd;
};

}  // namespace

PathKind PosixFileSystem::Kind(const Text& path) {
    std::string native;
    if (!NativePath(path, native)) {
        return PathKind::Missing;
    }
    const Place at = Locate(native);
    struct stat st {};
    if (::fstatat(at.dirFd, at.name, &st, 0) != 0) {
        struct stat link {};
        return ::fstatat(at.dirFd, at.name, &link, AT_SYMLINK_NOFOLLOW) == 0 ? PathKind::Other
                                                                             : PathKind::Missing;
    }
    if (S_ISDIR(st.st_mode)) {
        return PathKind::Folder;
    }
    return S_ISREG(st.st_mode) ? PathKind::File : PathKind::Other;
}

bool PosixFileSystem::CreateFolder(const Text& path) {
    Begin();
    std::string native;
    return NativePath(path, native) && (::mkdir(native.c_str(), 0777) == 0 || Failing(false));
}

bool PosixFileSystem::RemoveEmptyFolder(const Text& path) {
    Begin();
    std::string native;
    return NativePath(path, native) && (::rmdir(native.c_str()) == 0 || Failing(false));
}

bool PosixFileSystem::DeleteFile(const Text& path) {
    Begin();
    std::string native;
    if (!NativePath(path, native)) {
        return false;
    }
    const Place at = Locate(native);
    return ::unlinkat(at.dirFd, at.name, 0) == 0 || Failing(false);
}

std::optional<Bytes> PosixFileSystem::ReadWholeFile(const Text& path) {
    auto handle = OpenRead(path);
    if (!handle) {
        return std::nullopt;
    }
    const std::int64_t length = handle->Length();
    if (length < 0) {
        return std::nullopt;
    }
    // Read in slices: each is zeroed and filled while it sits in the cache.
    constexpr std::int64_t kSlice = 1 << 20;
    Bytes bytes;
    bytes.reserve(static_cast<std::size_t>(length));
    while (static_cast<std::int64_t>(bytes.size()) < length) {
        const std::size_t have = bytes.size();
        const auto want =
            static_cast<std::size_t>(std::min(kSlice, length - static_cast<std::int64_t>(have)));
        bytes.resize(have + want);
        const std::int64_t got = handle->Read(bytes.data() + have, static_cast<std::int64_t>(want));
        if (got < 0) {
            return std::nullopt;
        }
        bytes.resize(have + static_cast<std::size_t>(got));
        if (static_cast<std::size_t>(got) < want) {
            break;
        }
    }
    // A file that grew since its length was taken is read to its end.
    char more[65536];
    for (;;) {
        const std::int64_t n = handle->Read(more, sizeof more);
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        bytes.append(more, static_cast<std::size_t>(n));
    }
    return bytes;
}

std::unique_ptr<ReadHandle> PosixFileSystem::OpenRead(const Text& path) {
    Begin();
    std::string native;
    if (!NativePath(path, native)) {
        return nullptr;
    }
    // Without O_NONBLOCK a named pipe would hold the open until a writer comes; only
    // regular files (and links to them) are read.
    const Place at = Locate(native);
    const int fd = ::openat(at.dirFd, at.name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return Failing(nullptr);
    }
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0) {
        error = errno;
    } else if (S_ISDIR(st.st_mode)) {
        error = EISDIR;
    } else if (!S_ISREG(st.st_mode)) {
        error = -1;  // a pipe or a device: no file to read, for no reason the system gave
    }
    if (error != 0) {
        ::close(fd);
        return Failing(nullptr, std::max(error, 0));
    }
    return std::make_unique<PosixReadHandle>(
        fd, FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)},
        static_cast<std::int64_t>(st.st_size));
}

bool PosixFileSystem::WriteWholeFile(const Text& path, std::string_view bytes) {
    auto writer = CreateAtomic(path);
    return writer && writer->Write(bytes) && writer->Commit();
}

std::unique_ptr<AtomicWriter> PosixFileSystem::CreateAtomic(const Text& path) {
    Begin();
    std::string native;
    if (!NativePath(path, native)) {
        return nullptr;
    }
    std::shared_ptr<HeldFolder> held = HolderOf(native);
    // An unnamed file costs the folder no entry until it is complete; that matters when
    // tens of thousands of pieces go into one folder. Naming it needs /proc. A target that
    // is a folder is refused when the file is named.
    static const bool unnamedFiles = ::access("/proc/self/fd", X_OK) == 0;
    if (unnamedFiles) {
        UnnamedFile file;
        if (held) {
            file = UnnamedFileIn(*held);
        } else {
            const std::string folder = FolderPart(native);
            file.fd = OpenUnnamedFile(AT_FDCWD, folder.empty() ? "." : folder.c_str());
        }
        if (file.fd >= 0) {
            return std::make_unique<PosixAtomicWriter>(std::move(native), std::string(), file.fd,
                                                       std::move(held), file.id);
        }
    }
    std::string temporary = FolderPart(native) + ".qirnsplit-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return Failing(nullptr);
    }
    ::fchmod(fd, CreationMode());
    return std::make_unique<PosixAtomicWriter>(std::move(native), std::move(temporary), fd,
                                               std::move(held));
}

bool PosixFileSystem::SyncToDisk(const Text& path) {
    Begin();
    std::string native;
    if (!NativePath(path, native)) {
        return false;
    }
    const Place at = Locate(native);
    const int fd = ::openat(at.dirFd, at.name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return Failing(false);
    }
    const bool synced = ::fsync(fd) == 0 || Failing(false);
    return (::close(fd) == 0 || Failing(false)) && synced;
}

bool PosixFileSystem::SyncFileSystemOf(const Text& path) {
    Begin();
    std::string native;
    if (!NativePath(path, native)) {
        return false;
    }
    const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return Failing(false);
    }
    // Also reports a write-back that failed since the file system was last synced.
    const bool synced = ::syncfs(fd) == 0 || Failing(false);
    return (::close(fd) == 0 || Failing(false)) && synced;
}

std::optional<Bytes> PosixFileSystem::ExtendedAccess(const Text& path) {
    std::string native;
    if (!NativePath(path, native)) {
        return std::nullopt;
    }
    const acl_t acl = ::acl_get_file(native.c_str(), ACL_TYPE_ACCESS);
    if (acl == nullptr) {
        return std::nullopt;  // a file system without access lists: the bits say it all
    }
    std::optional<Bytes> text;
    if (::acl_equiv_mode(acl, nullptr) == 1) {
        if (char* t = ::acl_to_any_text(acl, nullptr, ',', 0)) {
            text = Bytes(t);
            ::acl_free(t);
        }
    }
    ::acl_free(acl);
    return text;
}

std::optional<FileStamp> PosixFileSystem::Stamp(const Text& path) {
    std::string native;
    if (!NativePath(path, native)) {
        return std::nullopt;
    }
    const Place at = Locate(native);
    struct stat st {};
    if (::fstatat(at.dirFd, at.name, &st, 0) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return StampOf(st);
}

std::vector<std::optional<FileStamp>> PosixFileSystem::Stamps(const std::vector<Text>& paths) {
    // Where each file is, found on this thread: the folders it holds are its own.
    std::vector<std::string> natives(paths.size());
    std::vector<Place> places(paths.size(), Place{AT_FDCWD, nullptr});
    std::vector<std::shared_ptr<HeldFolder>> holders;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (NativePath(paths[i], natives[i])) {
            std::shared_ptr<HeldFolder> held = HolderOf(natives[i]);
            places[i] = PlaceIn(held.get(), natives[i]);
            if (held && (holders.empty() || holders.back() != held)) {
                holders.push_back(std::move(held));
            }
        }
    }
    std::vector<std::optional<FileStamp>> stamps(paths.size());
    const auto look = [&places, &stamps](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            struct stat st {};
            if (places[i].name != nullptr &&
                ::fstatat(places[i].dirFd, places[i].name, &st, 0) == 0 && S_ISREG(st.st_mode)) {
                stamps[i] = StampOf(st);
            }
        }
    };
    // Thousands of pieces are looked at on two cores, a half each; signals stay with the
    // job's thread.
    constexpr std::size_t kWorthAThread = 512;
    const std::size_t half = paths.size() / 2;
    std::thread other;
    if (paths.size() >= kWorthAThread) {
        sigset_t all, before;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &before);
        try {
            other = std::thread(look, half, paths.size());
        } catch (const std::system_error&) {
            // one thread looks at them all
        }
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }
    look(0, other.joinable() ? half : paths.size());
    if (other.joinable()) {
        other.join();
    }
    return stamps;
}

bool PosixFileSystem::StampsShowEveryChange(const Text& folder) {
    std::string native;
    struct stat st {};
    struct statfs kind {};
    if (!NativePath(folder, native) || ::stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        ::statfs(native.c_str(), &kind) != 0) {
        return false;
    }
    // Only local file systems whose stamps this kernel keeps itself: over a network, or
    // through a process in user space, a file may change without a stamp seen changing here.
    if (kind.f_type != TMPFS_MAGIC && kind.f_type != EXT4_SUPER_MAGIC &&
        kind.f_type != XFS_SUPER_MAGIC && kind.f_type != BTRFS_SUPER_MAGIC) {
        return false;
    }
    const std::lock_guard lock(m_stampsMutex);
    const auto known = m_stampsShow.find(static_cast<std::uint64_t>(st.st_dev));
    if (known != m_stampsShow.end()) {
        return known->second;
    }
    // A change within the clock's tick keeps the change time of a coarse clock (or of one
    // second, on some file systems); a kernel that gives a file whose stamp was looked at a
    // finer time for its next change shows it. Tried on an unnamed file, a few times over.
    bool shown = false;
    if (const int fd = OpenUnnamedFile(AT_FDCWD, native.c_str()); fd >= 0) {
        shown = true;
        for (int attempt = 0; attempt < 3 && shown; ++attempt) {
            struct stat before {
            }, after{};
            shown = ::fstat(fd, &before) == 0 && ::pwrite(fd, "x", 1, 0) == 1 &&
                    ::fstat(fd, &after) == 0 &&
                    StampOf(before).changedNs != StampOf(after).changedNs;
        }
        ::close(fd);
    }
    m_stampsShow.emplace(static_cast<std::uint64_t>(st.st_dev), shown);
    return shown;
}

std::optional<std::int64_t> PosixFileSystem::FileSize(const Text& path) {
    std::string native;
    if (!NativePath(path, native)) {
        return std::nullopt;
    }
    const Place at = Locate(native);
    struct stat st {};
    if (::fstatat(at.dirFd, at.name, &st, 0) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(st.st_size);
}

std::unique_ptr<ReadWriteFile> PosixFileSystem::OpenReadWrite(const Text& path) {
    std::string native;
    if (!NativePath(path, native)) {
        return nullptr;
    }
    const int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    // The holder is the only writer: a second opener (another copy of the program) is
    // refused and works on its own memory. The lock goes with the descriptor.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixReadWriteFile>(fd);
}

std::optional<std::vector<DirEntry>> PosixFileSystem::List(const Text& folder) {
    Begin();
    std::string native;
    if (!NativePath(folder, native)) {
        return std::nullopt;
    }
    DIR* dir = ::opendir(native.c_str());
    if (dir == nullptr) {
        return Failing(std::optional<std::vector<DirEntry>>());
    }
    const int dirFd = ::dirfd(dir);
    std::vector<DirEntry> entries;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        DirEntry item;
        item.name = NativeToInternal(name);
        bool isFolder = entry->d_type == DT_DIR;
        item.isLink = entry->d_type == DT_LNK;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat st {};
            item.isLink = ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISLNK(st.st_mode);
        }
        if (entry->d_type == DT_UNKNOWN || item.isLink) {
            struct stat st {};
            isFolder = ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        item.isFolder = isFolder;
        entries.push_back(std::move(item));
    }
    ::closedir(dir);
    return entries;
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> PosixFileSystem::FileIdentity(
    const Text& path) {
    std::string native;
    if (!NativePath(path, native)) {
        return std::nullopt;
    }
    const Place at = Locate(native);
    struct stat st {};
    if (::fstatat(at.dirFd, at.name, &st, 0) != 0) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<std::uint64_t>(st.st_dev),
                          static_cast<std::uint64_t>(st.st_ino));
}

PosixFileSystem::HeldFolder::~HeldFolder() {
    stock.reset();  // it opens files through fd
    if (fd >= 0) {
        ::close(fd);
    }
}

std::unique_ptr<FolderHold> PosixFileSystem::HoldFolder(const Text& folder) {
    std::string native;
    if (!NativePath(folder, native)) {
        return nullptr;
    }
    if (native.back() != '/') {
        native += '/';
    }
    auto held = std::make_shared<HeldFolder>();
    held->fd = ::open(native.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (held->fd < 0) {
        return nullptr;
    }
    struct statfs kind {};
    if (::fstatfs(held->fd, &kind) == 0) {
        held->inMemory = kind.f_type == TMPFS_MAGIC || kind.f_type == RAMFS_MAGIC;
        // Local file systems without a flush of their own: close has nothing to report
        // (network and user-space ones report write errors there).
        held->closeCannotFail = held->inMemory || kind.f_type == EXT4_SUPER_MAGIC ||
                                kind.f_type == XFS_SUPER_MAGIC || kind.f_type == BTRFS_SUPER_MAGIC;
    }
    held->native = std::move(native);
    held->owner = std::this_thread::get_id();
    return std::make_unique<PosixFolderHold>(m_held, std::move(held));
}

// The held folder lives while the call runs: no hold ends in the middle of one.
PosixFileSystem::Place PosixFileSystem::Locate(const std::string& native) const {
    const std::shared_ptr<HeldFolder> held = HolderOf(native);
    return PlaceIn(held.get(), native);
}

std::shared_ptr<HeldFolder> PosixFileSystem::HolderOf(const std::string& native) const {
    const std::lock_guard lock(m_held.mutex);
    for (const std::shared_ptr<HeldFolder>& folder : m_held.list) {
        if (folder->owner == std::this_thread::get_id() && DirectlyIn(*folder, native)) {
            return folder;
        }
    }
    return nullptr;
}

std::optional<Text> PosixFileSystem::CurrentFolder() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    if (error) {
        return std::nullopt;
    }
    return NativeToInternal(folder.string());
}

std::optional<Text> PosixFileSystem::ResolveLinks(const Text& path) {
    std::string native;
    if (!NativePath(path, native)) {
        return std::nullopt;
    }
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(native, error);
    if (error) {
        return std::nullopt;
    }
    return NativeToInternal(resolved.string());
}

}  // namespace qs

#include "platform/unnamed_file_stock.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

namespace qs {

int OpenUnnamedFile(int dirFd, const char* folder) {
    // The mode given here is the one the file keeps (the umask applies). Open for reading
    // too: a piece is read back through the handle it was written by.
    return ::openat(dirFd, folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
}

UnnamedFileStock::UnnamedFileStock(int folderFd) : m_folderFd(folderFd) {
    // Signals (the command line's stop) stay with the job's thread: the maker starts with
    // all of them blocked.
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    try {
        m_maker = std::thread([this] { MakeFiles(); });
    } catch (const std::system_error&) {
        m_makerGone = true;
        // Without a second thread every file is opened by the job itself, as before.
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

UnnamedFileStock::~UnnamedFileStock() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wanted.notify_one();
    if (m_maker.joinable()) {
        m_maker.join();
    }
    for (; m_count > 0; --m_count, m_first = (m_first + 1) % kCapacity) {
        ::close(m_ready[m_first].fd);
    }
    for (const int fd : m_toClose) {
        ::close(fd);
    }
}

void UnnamedFileStock::Close(int fd) {
    std::unique_lock lock(m_mutex);
    // The maker closes them when it wakes to make more; when it falls behind (or is gone),
    // the caller does.
    if (m_toClose.size() >= kCapacity || m_count < m_kept / 4 || m_makerGone) {
        lock.unlock();
        ::close(fd);
        return;
    }
    m_toClose.push_back(fd);
    const bool wake = m_toClose.size() == m_kept / 2;
    lock.unlock();
    if (wake) {
        m_wanted.notify_one();
    }
}

void UnnamedFileStock::CloseHandedIn(std::unique_lock<std::mutex>& lock) {
    std::vector<int> closing;
    closing.swap(m_toClose);
    lock.unlock();
    for (const int fd : closing) {
        ::close(fd);
    }
    closing.clear();
    lock.lock();
    if (m_toClose.empty()) {
        m_toClose.swap(closing);  // keeps its memory
    }
}

UnnamedFile UnnamedFileStock::Take() {
    std::unique_lock lock(m_mutex);
    if (m_count == 0) {
        // The maker could not keep up (its core is busy): it keeps more from now on.
        if (m_kept < kCapacity) {
            m_kept *= 2;
            lock.unlock();
            m_wanted.notify_one();
        }
        return {};
    }
    UnnamedFile file = m_ready[m_first];
    m_first = (m_first + 1) % kCapacity;
    --m_count;
    // The maker is woken once half the stock is gone, not for every file.
    const bool wake = m_count + 1 == m_kept / 2;
    lock.unlock();
    if (wake) {
        m_wanted.notify_one();
    }
    return file;
}

void UnnamedFileStock::MakeFiles() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wanted.wait(lock, [this] {
            return m_stopping || m_count < m_kept / 2 || m_toClose.size() >= m_kept / 2;
        });
        CloseHandedIn(lock);
        while (!m_stopping && m_count < m_kept) {
            lock.unlock();
            // Its identity is taken here too, a call fewer on the job's thread a piece.
            UnnamedFile file{OpenUnnamedFile(m_folderFd, "."), std::nullopt};
            struct stat st {};
            if (file.fd >= 0 && ::fstat(file.fd, &st) == 0) {
                file.id = FileId{static_cast<std::uint64_t>(st.st_dev),
                                 static_cast<std::uint64_t>(st.st_ino)};
            }
            lock.lock();
            if (file.fd < 0) {
                // The folder takes no more (full, no unnamed files, no descriptors left):
                // the job opens its own and reports what it meets.
                m_makerGone = true;
                CloseHandedIn(lock);
                return;
            }
            m_ready[(m_first + m_count) % kCapacity] = file;
            ++m_count;
        }
        if (m_stopping) {
            return;
        }
    }
}

}  // namespace qs

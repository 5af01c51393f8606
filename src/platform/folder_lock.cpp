#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "platform/native_names.h"

namespace qs {
namespace {

struct Claim {
    int fd = -1;
    int holders = 0;
    int joins = 0;  // holders that came after the first
    std::thread::id owner;
};

std::map<std::pair<std::uint64_t, std::uint64_t>, Claim>& Claims() {
    static std::map<std::pair<std::uint64_t, std::uint64_t>, Claim> claims;
    return claims;
}

std::mutex& ClaimsMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

std::unique_ptr<FolderLock> FolderLock::Take(const Text& folder,
                                             const std::function<bool()>& waiting) {
    std::string native;
    const int fd = InternalToNative(folder, native)
                       ? ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                       : -1;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return std::unique_ptr<FolderLock>(new FolderLock(std::nullopt, false, 0));
    }
    const Id id{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    {
        // Shared only with jobs nested on this thread; one on another thread waits on the
        // lock of its own descriptor as another process would.
        const std::lock_guard guard(ClaimsMutex());
        if (auto it = Claims().find(id);
            it != Claims().end() && it->second.owner == std::this_thread::get_id()) {
            ::close(fd);
            ++it->second.holders;
            ++it->second.joins;
            return std::unique_ptr<FolderLock>(new FolderLock(id, true, it->second.joins));
        }
    }
    bool waited = false;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            ::close(fd);
            return std::unique_ptr<FolderLock>(new FolderLock(std::nullopt, false, 0));
        }
        waited = true;
        if (!waiting()) {
            ::close(fd);
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const std::lock_guard guard(ClaimsMutex());
    Claims()[id] = {fd, 1, 0, std::this_thread::get_id()};
    return std::unique_ptr<FolderLock>(new FolderLock(id, waited, 0));
}

bool FolderLock::Contested() const {
    if (m_contested || !m_id) {
        return m_contested;
    }
    const std::lock_guard guard(ClaimsMutex());
    const auto it = Claims().find(*m_id);
    return it != Claims().end() && it->second.joins != m_joins;
}

FolderLock::~FolderLock() {
    if (!m_id) {
        return;
    }
    const std::lock_guard guard(ClaimsMutex());
    auto it = Claims().find(*m_id);
    if (it != Claims().end() && --it->second.holders == 0) {
        ::close(it->second.fd);  // closing the only descriptor releases the lock
        Claims().erase(it);
    }
}

}  // namespace qs

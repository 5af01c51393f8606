#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <thread>

#include "platform/native_names.h"

namespace qs {
namespace {

struct Claim {
    int fd = -1;
    int holders = 0;
};

std::map<std::pair<std::uint64_t, std::uint64_t>, Claim>& Claims() {
    static std::map<std::pair<std::uint64_t, std::uint64_t>, Claim> claims;
    return claims;
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
        return std::unique_ptr<FolderLock>(new FolderLock(std::nullopt));
    }
    const Id id{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    if (auto it = Claims().find(id); it != Claims().end()) {
        ::close(fd);
        ++it->second.holders;
        return std::unique_ptr<FolderLock>(new FolderLock(id));
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            ::close(fd);
            return std::unique_ptr<FolderLock>(new FolderLock(std::nullopt));
        }
        if (!waiting()) {
            ::close(fd);
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Claims()[id] = {fd, 1};
    return std::unique_ptr<FolderLock>(new FolderLock(id));
}

FolderLock::~FolderLock() {
    if (!m_id) {
        return;
    }
    auto it = Claims().find(*m_id);
    if (it != Claims().end() && --it->second.holders == 0) {
        ::close(it->second.fd);  // closing the only descriptor releases the lock
        Claims().erase(it);
    }
}

}  // namespace qs

#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/file_system.h"

namespace qs {

// Opens an unnamed file (O_TMPFILE) for writing in folder (relative to dirFd); -1 with
// errno set.
int OpenUnnamedFile(int dirFd, const char* folder);

// An unnamed file open for writing (fd -1: none), with its identity where it was taken.
struct UnnamedFile {
    int fd = -1;
    std::optional<FileId> id;
};

// Unnamed files made ahead on another core for one folder. Creating a file is a third of
// the cost of a small piece, and a job writes pieces by the tens of thousands; the maker
// keeps a few ready while the job fills and names the ones before. It only ever opens
// files: naming them, and every error a user must hear of, stays with the job.
class UnnamedFileStock {
public:
    // The folder's descriptor must outlive the stock.
    explicit UnnamedFileStock(int folderFd);
    // Stops making files; those not taken close and vanish with their descriptors.
    ~UnnamedFileStock();
    UnnamedFileStock(const UnnamedFileStock&) = delete;
    UnnamedFileStock& operator=(const UnnamedFileStock&) = delete;

    // A ready file with its identity, or none (fd -1): the caller then opens its own, and
    // hears why that fails.
    UnnamedFile Take();
    // Closes a named file on the maker's core, for a caller that needs no answer (closing
    // on its file system cannot fail).
    void Close(int fd);

private:
    static constexpr std::size_t kCapacity = 64;
    void MakeFiles();
    void CloseHandedIn(std::unique_lock<std::mutex>& lock);

    const int m_folderFd;
    std::mutex m_mutex;
    std::condition_variable m_wanted;
    std::array<UnnamedFile, kCapacity> m_ready{};
    std::size_t m_first = 0;
    std::size_t m_count = 0;
    std::size_t m_kept = 16;  // how many it keeps ready
    std::vector<int> m_toClose;
    bool m_stopping = false;
    bool m_makerGone = false;  // it closes nothing more
    std::thread m_maker;
};

}  // namespace qs

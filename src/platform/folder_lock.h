#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/code_page.h"

namespace qs {

// A job's claim on a folder it writes into, held from its first output there to its last
// deletion: two jobs (in two processes) never interleave their pieces in one folder. Jobs of
// this process share the claim, as they run nested on one thread and could never wait for
// each other.
class FolderLock {
public:
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

    // Claims the folder, waiting while another process holds it: waiting() runs between
    // attempts and gives up the wait by returning false (nullptr then). A folder that cannot
    // be opened or locked (missing, a file system without locks) is not guarded.
    static std::unique_ptr<FolderLock> Take(const Text& folder,
                                            const std::function<bool()>& waiting);

private:
    using Id = std::pair<std::uint64_t, std::uint64_t>;
    explicit FolderLock(std::optional<Id> id) : m_id(id) {}
    std::optional<Id> m_id;
};

}  // namespace qs

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/code_page.h"

namespace qs {

// A job's claim on a folder it writes into, held from its first output there to its last
// deletion: two jobs (in two processes, or on two threads) never interleave their pieces in
// one folder. Jobs nested on one thread share the claim, as they could never wait for each
// other.
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

    // Whether another job wrote into the folder since this one began to wait for it: it had
    // to wait, it holds a claim shared with a job nested around or inside it, or one joined
    // it since. Files of the folder that are not its own may then be another job's outputs.
    bool Contested() const;

private:
    using Id = std::pair<std::uint64_t, std::uint64_t>;
    FolderLock(std::optional<Id> id, bool contested, int joins)
        : m_id(id), m_contested(contested), m_joins(joins) {}
    std::optional<Id> m_id;
    bool m_contested = false;
    int m_joins = 0;  // how often the claim had been shared when this one was taken
};

}  // namespace qs

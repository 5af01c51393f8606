#pragma once

#include <cstdint>
#include <unordered_set>

#include "platform/folder_lock.h"
#include "text/text.h"

namespace qs {

// Which names a job's output may replace: only a file that its folder lists under exactly that
// name, while no other job wrote there since this one claimed the folder. A file system that
// ignores case or normalises names (a memory card, a stick) answers a name as taken by a file
// of another spelling, which may be an output of this very job; and some of them give each
// spelling a number of its own, so that the file's identity cannot tell it either. Such a name
// gives way to a " (k)" variant, as does every name in a folder another job wrote into.
class OlderFiles {
public:
    // The claim under which the job now writes; what the folders held is asked again.
    void Claimed(const FolderLock* claim);
    // Whether path names, by its exact name, a file that was in its folder. The folder is
    // listed once for each claim; one that cannot be listed holds nothing older.
    bool Holds(const Text& path);

private:
    const FolderLock* m_claim = nullptr;
    Text m_folder;
    bool m_listed = false;
    std::unordered_set<std::uint64_t> m_names;  // hashes of the names listed
};

}  // namespace qs

#include "job/folder_listing.h"

#include "fs/file_enumeration.h"

namespace qs {

bool ListFolder(JobEvents& events, bool objectEnumeration, const Text& folder, const Text& pattern,
                TextList& result, bool foldersOnly) {
    bool listed = false;
    const auto pump = [&events] { events.Pump(); };
    if (objectEnumeration) {
        TryEnumerateByObject(folder, pattern, result, true, foldersOnly, listed, pump);
    } else {
        TryEnumerateByFind(folder, pattern, result, true, foldersOnly, listed, pump);
    }
    return listed;
}

}  // namespace qs

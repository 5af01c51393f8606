#include "job/folder_listing.h"

#include "fs/file_enumeration.h"

namespace qs {

Result<TextList> ListFolder(JobEvents& events, bool objectEnumeration, const Text& folder,
                            const Text& pattern, bool foldersOnly) {
    TextList result;
    FolderListing listed;
    const auto pump = [&events] { events.Pump(); };
    if (objectEnumeration) {
        TryEnumerateByObject(folder, pattern, result, true, foldersOnly, listed, pump);
    } else {
        TryEnumerateByFind(folder, pattern, result, true, foldersOnly, listed, pump);
    }
    if (!listed.listed) {
        return Error{FailureKind::Unreadable, folder, listed.systemError};
    }
    return result;
}

}  // namespace qs

#include "job/folder_listing.h"

#include "fs/file_enumeration.h"
#include "platform/system_error.h"

namespace qs {

Result<TextList> ListFolder(JobEvents& events, bool objectEnumeration, const Text& folder,
                            const Text& pattern, bool foldersOnly) {
    TextList result;
    bool listed = false;
    const auto pump = [&events] { events.Pump(); };
    if (objectEnumeration) {
        TryEnumerateByObject(folder, pattern, result, true, foldersOnly, listed, pump);
    } else {
        TryEnumerateByFind(folder, pattern, result, true, foldersOnly, listed, pump);
    }
    if (!listed) {
        return Error{FailureKind::Unreadable, folder, LastSystemError()};
    }
    return result;
}

}  // namespace qs

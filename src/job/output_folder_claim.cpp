#include "job/output_folder_claim.h"

#include "platform/native_names.h"
#include "text/characters.h"

namespace qs {

Text WaitingForFolderText(const Text& folder) {
    return U("等待另一个任务写完：") + DisplayText(folder);
}

std::unique_ptr<FolderLock> ClaimOutputFolder(JobEvents& events, const Text& folder) {
    bool waiting = false;
    std::unique_ptr<FolderLock> claim = FolderLock::Take(folder, [&] {
        if (!waiting) {
            events.WaitingForFolder(folder);
            waiting = true;
        }
        events.Pump();
        return !events.StopRequested();
    });
    if (waiting) {
        events.FolderWaitOver();
    }
    return claim;
}

}  // namespace qs

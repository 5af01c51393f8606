#include "app/output_folder_claim.h"

#include "app/run_control.h"
#include "platform/characters.h"
#include "platform/native_names.h"

namespace qs {

Text WaitingForFolderText(const Text& folder) {
    return U("等待另一个任务写完：") + DisplayText(folder);
}

std::unique_ptr<FolderLock> ClaimOutputFolder(RunControl& run, const Text& folder) {
    bool shown = false;
    std::unique_ptr<FolderLock> claim = FolderLock::Take(folder, [&] {
        if (!shown) {
            run.ShowStatus(WaitingForFolderText(folder));
            shown = true;
        }
        ProcessPendingEvents();
        return !run.StopRequested;
    });
    if (shown) {
        run.ShowStatus(run.StatusText);
    }
    return claim;
}

}  // namespace qs

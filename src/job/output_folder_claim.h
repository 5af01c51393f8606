#pragma once

#include <memory>

#include "job/job_events.h"
#include "platform/folder_lock.h"
#include "text/text.h"

namespace qs {

// What the status line says while a job waits for another one to finish writing into the
// same folder.
Text WaitingForFolderText(const Text& folder);

// Claims a job's output folder, waiting (events hear of it once, and are pumped) while
// another job writes there; nullptr when a stop ended the wait.
std::unique_ptr<FolderLock> ClaimOutputFolder(JobEvents& events, const Text& folder);

// The same claim, held only while a folder is listed for a job's sources: the outputs of a
// source that another job is still writing there are then either all listed or none, so no
// piece of this job can replace the rest of them.
inline std::unique_ptr<FolderLock> ClaimFolderToList(JobEvents& events, const Text& folder) {
    return ClaimOutputFolder(events, folder);
}

}  // namespace qs

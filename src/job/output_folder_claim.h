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

}  // namespace qs

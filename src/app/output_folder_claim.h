#pragma once

#include <memory>

#include "platform/folder_lock.h"
#include "platform/text.h"

namespace qs {

class RunControl;

// What the status line says while a job waits for another one to finish writing into the
// same folder.
Text WaitingForFolderText(const Text& folder);

// Claims a job's output folder, waiting (the status line says so, the window stays live)
// while another job writes there; nullptr when a stop ended the wait.
std::unique_ptr<FolderLock> ClaimOutputFolder(RunControl& run, const Text& folder);

}  // namespace qs

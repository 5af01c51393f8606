#pragma once

#include "job/job_events.h"
#include "job/result.h"
#include "text/text.h"

namespace qs {

// The files of the folder that match the pattern (with foldersOnly its matching
// sub-folders), by the directory listing or by the second enumerator, pumping the events
// between entries; an Unreadable error with the system's reason when the folder could not be
// listed.
Result<TextList> ListFolder(JobEvents& events, bool objectEnumeration, const Text& folder,
                            const Text& pattern, bool foldersOnly);

}  // namespace qs

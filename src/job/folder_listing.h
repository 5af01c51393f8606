#pragma once

#include "job/job_events.h"
#include "text/text.h"

namespace qs {

// Appends the files of the folder that match the pattern (with foldersOnly its matching
// sub-folders) to result, by the directory listing or by the second enumerator, pumping the
// events between entries. False when the folder could not be listed.
bool ListFolder(JobEvents& events, bool objectEnumeration, const Text& folder, const Text& pattern,
                TextList& result, bool foldersOnly);

}  // namespace qs

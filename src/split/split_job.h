#pragma once

#include "job/job_events.h"
#include "job/job_request.h"
#include "text/text.h"

namespace qs {

// What a split job began on: the files its sources gave, and whether every folder among
// them could be listed (one that could not is a failure the events heard of).
struct SplitRun {
    TextList files;
    bool listed = true;
};

// The split job: reads the request, fixes the random seed when it names one, takes the
// files of its sources (a folder's files matching the pattern, the events told the list
// before anything is split) and splits them. Ends at a stop request.
SplitRun RunSplitJob(SplitRequestSource& requests, JobEvents& events);

// Splits every file of the list as the request asks, one after the other, telling events
// what happens. Deletes a source (when asked) only after all its pieces were written and
// are safe on the disk. Pieces go beside their source, or into the request's output root.
void SplitFiles(SplitRequestSource& requests, JobEvents& events, const TextList& paths);

}  // namespace qs

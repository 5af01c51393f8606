#pragma once

#include "merge/merge_core.h"
#include "text/text.h"

namespace qs {

// Merges each folder's matching files into one output and, with includeSubfolders, walks
// its matching sub-folders depth first, each giving its own output. A folder reached again
// (through a link) is merged once; a link up to a folder that holds the one the walk began
// in is not followed. Ends at a stop request.
void MergeFolders(MergeJob& job, const TextList& folders, bool useObjectEnumeration);

// The merge job: reads the request; its files give one output (with the folders still to
// come, as a drop's files do), then each folder its own (MergeFolders). The output root and
// the source encoding are the request's as the job begins. Ends at a stop request.
void RunMergeJob(MergeJob& job);

}  // namespace qs

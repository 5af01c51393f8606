#pragma once

#include "merge/merge_core.h"
#include "text/text.h"

namespace qs {

// Merges each folder's matching files into one output and, with includeSubfolders, walks
// its matching sub-folders depth first, each giving its own output. A folder reached again
// (through a link) is merged once; a link up to a folder that holds the one the walk began
// in is not followed. Ends at a stop request.
void MergeFolders(MergeJob& job, const TextList& folders, bool useObjectEnumeration);

}  // namespace qs

#pragma once

#include <cstddef>

#include "platform/text.h"

namespace qs {

class RunControl;

// Where the output of a unit goes: beside its first file, or in the parent of that file's
// folder when saveInParentFolder is set and the folder has one. The name is the first file's
// base name + "等" + n + "个文件" + (" (k)" for a variant k from 2 on) + ("." + extension when it
// has one), the base name cut so that the name fits in a folder entry.
Text MergeOutputFolder(const Text& firstPath, bool saveInParentFolder);
Text MergeOutputName(const Text& firstPath, std::size_t count, int variant = 1);

struct MergeResult {
    Text outputPath;
    bool written = false;   // the output is complete and in place
    int membersMerged = 0;  // members whose whole content went into the output
    int membersVisited = 0;
};

// Joins the files into one output, in list order, with the separator between neighbours.
// The output is built in a temporary file and given its name when complete; it never
// replaces a member or a file the merge job wrote before (it takes a " (k)" name instead). Sources
// are deleted (deleteSources) only after the output is in place, and only those whose content went
// into it. Does nothing for an empty list. Progress, the stop flag, outputFolder and the merge
// job's failure list are those of the run control; options are read from its main form.
MergeResult MergeFiles(RunControl& run, const TextList& paths);

}  // namespace qs

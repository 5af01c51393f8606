#pragma once

#include <functional>

#include "platform/text.h"

namespace qs {

class Form;

// What a merge needs from the running job: the main form (options, progress bar, status
// label), the job state shared with the split job, a list that collects failed operations
// ("无法读取：" + path, ...) and the event pump.
struct MergeContext {
    Form& form;
    bool& stopRequested;
    Text& statusText;
    Text& outputFolder;
    TextList& failures;
    std::function<void()> pump;  // empty: the UI service's pump
};

// Where the output of a unit goes: beside its first file, or in the parent of that file's
// folder when saveInParentFolder is set and the folder has one. The name is the first file's
// base name + "等" + n + "个文件" + ("." + extension when it has one).
Text MergeOutputFolder(const Text& firstPath, bool saveInParentFolder);
Text MergeOutputName(const Text& firstPath, std::size_t count);

struct MergeResult {
    Text outputPath;
    bool written = false;   // the output is complete and in place
    int membersMerged = 0;  // members whose whole content went into the output
    int membersVisited = 0;
};

// Joins the files into one output, in list order, with the separator between neighbours.
// The output is built in a temporary file and renamed into place when complete; a member
// that is the output itself is skipped. Sources are deleted (deleteSources) only after the
// output is in place, and only those whose content went into it. Does nothing for an empty
// list.
MergeResult MergeFiles(MergeContext& context, const TextList& paths);

}  // namespace qs

#pragma once

#include <cstddef>

#include <memory>
#include <span>

#include "fs/older_files.h"
#include "fs/paths.h"
#include "job/job_events.h"
#include "job/job_files.h"
#include "job/job_request.h"
#include "job/told_files.h"
#include "text/text.h"

namespace qs {

// What a merge works on: where it reads its request, whom it tells what happens, the files the
// job has read or written so far (no output replaces one), and the folder every output goes
// into when one is given (otherwise beside its first member).
struct MergeJob {
    MergeRequestSource& requests;
    JobEvents& events;
    JobFiles& touched;
    Text outputRoot;
    // The outputs written so far, which a walk never takes as members.
    JobFiles* written = nullptr;
    // The folders still to be merged after what is merged now (a drop's folders after its
    // files, the folders given after the one walked): an output replaces nothing in them.
    std::span<const Text> foldersAhead = {};
    // The claim on the folder of the last output, kept while the outputs share it, and what
    // that folder held before: only those files may be replaced.
    std::unique_ptr<FolderLock> claim = nullptr;
    Text claimed = Text();
    OlderFiles older = OlderFiles();
    // Every member is read in this encoding (Undetected: detected).
    TextEncoding sourceEncoding = TextEncoding::Undetected;
    // Why the reading of a member last failed; its handles live as long as the job.
    ReadFailure readFailure = ReadFailure();

    // The parameters as they stand now.
    const MergeParams& Params() { return requests.Read().params; }
};

// Where the output of a unit goes: beside its first file, or in the parent of that file's
// folder when saveInParentFolder is set and the folder has one. The name is the first file's
// base name + "等" + n + "个文件" + (" (k)" for a variant k from 2 on) + ("." + extension when it
// has one), the base name cut so that the name fits in a folder entry.
Text MergeOutputFolder(const PathParts& first, bool saveInParentFolder);
Text MergeOutputName(const PathParts& first, std::size_t count, int variant = 1);

struct MergeResult {
    Text outputPath;
    bool written = false;   // the output is complete and in place
    int membersMerged = 0;  // members whose whole content went into the output
    int membersVisited = 0;
};

// Joins the files into one output, in list order (or, where the parameters ask for it, in
// the order of their headings, told to the events first), with the separator between neighbours.
// The output is built in a temporary file and given its name when complete; it never
// replaces a member or a file the merge job wrote before (it takes a " (k)" name instead). Sources
// are deleted (deleteSources) only after the output is in place, and only those whose content went
// into it. Does nothing for an empty list.
MergeResult MergeFiles(MergeJob& job, const TextList& paths);

}  // namespace qs

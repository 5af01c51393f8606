#pragma once

#include "job/job_events.h"
#include "text/text.h"

namespace qs {

// A rejoin of the pieces a manifest lists into their source, or (writeSource false) only the
// check that they give it back.
struct RejoinRequest {
    Text manifest;
    bool writeSource = true;
    Text outputFolder;  // where the source is written; empty: where it was split
};

enum class RejoinOutcome {
    ManifestUnreadable,  // not read, or not a manifest
    NotGivenBack,        // a piece is missing or changed, or the whole is not the source
    GivenBack,           // the pieces give the source back (and it is written, when asked)
};

// Checks every piece of the manifest against its size and SHA-256 and recomputes the whole
// from them, which must be the source; writes it (as every output of a job, told to events)
// under the source's name, which it never takes from another file. Every problem is told
// to events as it is found; nothing is written unless the whole is the source.
RejoinOutcome RunRejoinJob(const RejoinRequest& request, JobEvents& events);

}  // namespace qs

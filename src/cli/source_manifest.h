#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "job/job_events.h"
#include "job/job_report.h"
#include "job/split_params.h"

namespace qs::cli {

// The manifest of one source of a split, written as soon as all its pieces are.
struct SourceManifest {
    bool written = false;
    ReportedOutput output;  // the manifest; its path also when it could not be written
    int systemError = 0;    // why it could not be written
    // Read back, it gives the source back (always true when that was not asked); problems
    // says why it does not.
    bool givesSourceBack = false;
    std::vector<ReportedFailure> problems;
};

// Writes the manifest of split's source from what the split read of it and from its pieces
// among kept, which then drops them and those of every earlier source. reserved(path): the
// job read or wrote a file of that name. With prove (the source is to go), the manifest is
// read back and must give the source back.
SourceManifest WriteSourceManifest(const SplitSource& split, const SplitParams& params,
                                   std::uint64_t seed, std::vector<ReportedOutput>& kept,
                                   const std::function<bool(const Text&)>& reserved, bool prove);

}  // namespace qs::cli

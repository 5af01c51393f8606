#pragma once

#include <functional>
#include <memory>

#include "job/job_events.h"
#include "job/job_report.h"
#include "job/job_request.h"

namespace qs {

class FailureList;

// The manifests of a window split that 生成校验清单 asks for: the pieces are hashed from the
// bytes the split tells as it writes them, and each source gets its manifest once all its
// pieces are.
// The program fills the maker in, as it has the command line's parts.
class SplitManifests {
public:
    virtual ~SplitManifests() = default;
    // Bytes that went into a piece (JobEvents::OutputGrew), and its writer's end.
    virtual void PieceGrew(const void* piece, std::int64_t count, std::string_view bytes) = 0;
    virtual void PieceClosed(const void* piece, const Text* path) = 0;
    // A piece written; its hash is taken now.
    virtual void PieceWritten(const OutputRecord& piece) = 0;
    // Every piece of the source is written: its manifest is written (one more output of the
    // report), and read back and verified when the sources are to go. False when the source
    // must stay (a manifest not written is a failure in the list).
    virtual bool SourceSplit(const SplitSource& source, FailureList& failures, Report& report) = 0;
};

// sources: the job's list, whose files a manifest never replaces.
using SplitManifestsMaker = std::function<std::unique_ptr<SplitManifests>(
    SplitRequestSource& requests, const TextList& sources)>;

}  // namespace qs

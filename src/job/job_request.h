#pragma once

#include <optional>
#include <utility>

#include "encoding/text_format.h"
#include "job/merge_params.h"
#include "job/split_params.h"
#include "text/text.h"

namespace qs {

// Everything one split is asked to do: the parameters, the sources as the user gave them,
// how they are read and where the pieces go.
struct SplitRequest {
    SplitParams params;
    // Files, and folders whose files matching params.pattern are split.
    TextList paths;
    // Folders are listed by the second enumerator (the window's Ctrl key at the start).
    bool objectEnumeration = false;
    // Every source is read in this encoding instead of being detected, strictly, its own
    // mark skipped; Undetected detects.
    TextEncoding sourceEncoding = TextEncoding::Undetected;
    // The folder every piece goes into; empty: beside its source.
    Text outputRoot;
    // The options were stated for this job (the command line): one that cannot apply to the
    // mode is refused. The window's standing options are left unused instead.
    bool statedOptions = false;
};

// Everything one merge is asked to do.
struct MergeRequest {
    MergeParams params;
    TextList files;    // merged into one output, before the folders
    TextList folders;  // each merged on its own, and with includeSubfolders its sub-folders
    bool objectEnumeration = false;
    TextEncoding sourceEncoding = TextEncoding::Undetected;
    Text outputRoot;  // the folder every output goes into; empty: as the parameters place it
};

// The first problem that keeps the request from running; nullopt when it can run.
std::optional<ParamsProblem> Validate(const SplitRequest& request);

// Where a job reads what it is asked to do. It reads at the moment it needs a value, so a
// source that builds the request anew from a live form (the window) lets a changed option
// count from its next read; a fixed one (the command line) answers the same every time.
// What a job fixes at its start (the sources, their encoding, the output folder, the seed)
// it reads once.
class SplitRequestSource {
public:
    virtual ~SplitRequestSource() = default;
    virtual const SplitRequest& Read() = 0;
};

class MergeRequestSource {
public:
    virtual ~MergeRequestSource() = default;
    virtual const MergeRequest& Read() = 0;
};

class FixedSplitRequest : public SplitRequestSource {
public:
    explicit FixedSplitRequest(SplitRequest request) : m_request(std::move(request)) {}
    const SplitRequest& Read() override { return m_request; }

private:
    SplitRequest m_request;
};

class FixedMergeRequest : public MergeRequestSource {
public:
    explicit FixedMergeRequest(MergeRequest request) : m_request(std::move(request)) {}
    const MergeRequest& Read() override { return m_request; }

private:
    MergeRequest m_request;
};

}  // namespace qs

#include "support/engine_jobs.h"

#include "job/job_files.h"
#include "merge/merge_job.h"
#include "platform/code_page.h"
#include "split/split_job.h"

namespace qs {

namespace {

struct LiveMergeRequest : MergeRequestSource {
    explicit LiveMergeRequest(const MergeRequest& request) : m_request(request) {}
    const MergeRequest& Read() override { return m_request; }
    const MergeRequest& m_request;
};

}  // namespace

void EngineJobs::PlainJobs(bool deleteSources) {
    split.params.nameFromText = false;
    split.params.subfolder = false;
    split.params.deleteSources = deleteSources;
    merge.params.saveInParentFolder = false;
    merge.params.processTextEncoding = false;
    merge.params.deleteSources = deleteSources;
    merge.params.separatorKind = MergeSeparatorKind::None;
}

void EngineJobs::Split(const TextList& paths) {
    split.paths = paths;
    FixedSplitRequest requests(split);
    RunSplitJob(requests, events);
}

void EngineJobs::Merge(const TextList& files, const TextList& folders) {
    merge.files = files;
    merge.folders = folders;
    LiveMergeRequest requests(merge);
    JobFiles touched;
    JobFiles written;
    MergeJob job{requests, events, touched, Text(), &written};
    RunMergeJob(job);
}

MergeResult EngineJobs::MergeUnit(const TextList& paths) {
    LiveMergeRequest requests(merge);
    JobFiles touched;
    JobFiles written;
    MergeJob job{requests, events, touched, Text(), &written};
    return MergeFiles(job, paths);
}

std::string EngineJobs::Messages() const {
    std::string all;
    for (const Text& line : events.FailureLines()) {
        all += ToUtf8Lossy(line) + "\n";
    }
    for (const ParamsProblem& refusal : events.refusals) {
        all += ToUtf8Lossy(refusal.message) + "\n";
    }
    return all;
}

}  // namespace qs

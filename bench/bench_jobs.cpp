#include "bench/bench_jobs.h"

#include <optional>

#include "merge/merge_job.h"
#include "split/split_job.h"

namespace qs::bench {

struct JobWiring::Jobs {
    std::optional<MergeJobHost> merge;
};

JobWiring::JobWiring(App& app) : m_app(app), m_jobs(std::make_unique<Jobs>()) {
    RunControl& run = app.run;
    m_jobs->merge.emplace(MergeJobHost{app.MainForm(),
                                       run.StopRequested,
                                       run.StatusText,
                                       run.outputFolder,
                                       run.lastMergeFolder,
                                       {}});
}

JobWiring::~JobWiring() = default;

void JobWiring::StartSplit() {
    StartSplitJob(m_app, Text(), TextList());
}

void JobWiring::StartMerge(const TextList& paths) {
    StartMergeJob(*m_jobs->merge, Text(), paths, false, false);
}

}  // namespace qs::bench

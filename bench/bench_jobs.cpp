#include "bench/bench_jobs.h"

#include <optional>

#include "merge/merge_job.h"

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

void JobWiring::StartSplit() {}

void JobWiring::StartMerge(const TextList& paths) {
    StartMergeJob(*m_jobs->merge, Text(), paths, false, false);
}

}  // namespace qs::bench

#include "bench/bench_jobs.h"

#include "app/window_jobs.h"

namespace qs::bench {

JobWiring::JobWiring(App& app) : m_app(app) {
    InstallSplitJob(app);
    InstallMergeJob(app);
}

JobWiring::~JobWiring() = default;

void JobWiring::StartSplit() {
    StartSplitJob(m_app, Text(), TextList());
}

void JobWiring::StartMerge(const TextList& paths) {
    StartMergeJob(m_app, Text(), paths, false, false);
}

}  // namespace qs::bench

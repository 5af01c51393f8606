#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string_view>

#include "merge/merge_core.h"
#include "support/engine_jobs.h"

namespace qs::testing {

// The merge engine alone, with a temporary folder for the files to merge; the request is
// read as it stands at every read, so a test may change it at a pump. Nothing of the window
// is built.
class MergeTest : public ::testing::Test {
protected:
    MergeTest();

    MergeParams& Params() { return jobs.merge.params; }
    // Writes a file under the temporary folder, creating its folders.
    Text Put(const Text& relative, std::string_view bytes) { return m_temp.Put(relative, bytes); }
    Text Folder(const Text& relative) { return m_temp.Folder(relative); }
    std::string Read(const Text& relative) const { return m_temp.Read(relative); }
    bool Exists(const Text& relative) const;
    // The job's failures as label + path, in the order told.
    TextList Failures() const { return events.FailureLines(); }
    // Runs action at pump k (1-based, counted from now).
    void AtPump(int k, std::function<void()> action);

    MergeResult Merge(const TextList& paths) { return jobs.MergeUnit(paths); }
    void RunJob(const TextList& files, const TextList& folders) { jobs.Merge(files, folders); }

    EngineJobs jobs;
    QuietUi& ui = jobs.ui;
    TempFolder& m_temp = jobs.temp;
    HeardEvents& events = jobs.events;

private:
    void RunPumpActions();

    std::map<int, std::function<void()>> m_atPump;
};

}  // namespace qs::testing

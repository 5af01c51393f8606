#pragma once

#include <memory>
#include <string>

#include "job/job_request.h"
#include "merge/merge_core.h"
#include "platform/services.h"
#include "support/heard_events.h"
#include "support/quiet_ui.h"
#include "support/temp_folder.h"

namespace qs {

// The split and merge engines alone, as the command line runs them: a quiet desktop, a
// temporary folder, the two requests (the window's defaults until a test says otherwise:
// 按份数 100, pieces in a sub-folder, merge outputs in the parent folder) and what the jobs
// told. Nothing of the window is built.
class EngineJobs {
public:
    EngineJobs()
        : use(std::make_unique<ServicesOverride>(Platform{nullptr, nullptr, nullptr, &ui})) {}
    virtual ~EngineJobs() = default;
    EngineJobs(const EngineJobs&) = delete;
    EngineJobs& operator=(const EngineJobs&) = delete;

    QuietUi ui;
    TempFolder temp;
    std::unique_ptr<ServicesOverride> use;
    SplitRequest split;
    MergeRequest merge;
    HeardEvents events;

    // Pieces and outputs beside their sources under the sources' own names, nothing
    // re-encoded, no separator between members; the sources deleted or kept as asked.
    void PlainJobs(bool deleteSources);
    Text Src(const std::string& name) const { return temp.File(U("src/" + name)); }
    void Split(const TextList& paths);
    // The files give one output, then each folder its own. The request is read as it stands
    // at each read, so a test may change it at a pump.
    void Merge(const TextList& files, const TextList& folders = {});
    // One unit alone, as a drop of files merges it.
    MergeResult MergeUnit(const TextList& paths);
    // Every failure and refusal the jobs told, one per line, as UTF-8; empty when none.
    std::string Messages() const;
};

}  // namespace qs

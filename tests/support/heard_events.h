#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "job/job_events.h"
#include "text/text.h"

namespace qs {

// What an engine job told, as a test reads it back: the files it began (as "(i/n)name"), its
// stages, refusals and failures, and the last piece made. Pumps go to the installed desktop,
// where a test hooks what happens "inside" the job; a stop is asked for through stop.
struct HeardEvents : JobEvents {
    void SourceStarted(int i, int n, const Text& path) override;
    void Stage(JobStage stage) override { stages.push_back(stage); }
    void PieceMade(std::int64_t number) override { lastPiece = number; }
    void Failed(const JobFailure& failure) override { failures.push_back(failure); }
    // A listener whose own file calls fail as an output closes or a source is read.
    void OutputClosed(const void*, const Text*) override { Meddle(); }
    void SourceReadTo(std::int64_t, std::int64_t) override { Meddle(); }
    void Meddle() const {
        if (meddle) {
            meddle();
        }
    }
    void Refused(const ParamsProblem& problem) override { refusals.push_back(problem); }
    void Pump() override;
    bool StopRequested() override { return stop; }

    // Every failure as label + path, one per entry, in the order told.
    TextList FailureLines() const;

    std::vector<Text> started;
    std::vector<JobStage> stages;
    std::vector<JobFailure> failures;
    std::vector<ParamsProblem> refusals;
    std::int64_t lastPiece = 0;
    bool stop = false;
    std::function<void()> meddle;
};

}  // namespace qs

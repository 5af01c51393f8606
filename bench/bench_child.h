#pragma once

#include <string>

namespace qs::bench {

// What one run of ours reports back to the harness.
struct ChildResult {
    double seconds = -1;     // the job alone, from its start to its completion question
    double longestGap = -1;  // between two event dispatches (Qt pump only)
};

// Runs one of our cases in this (freshly started) process: source is the input file or
// folder, runFolder a fresh folder in which the outputs go. Returns false when the case is
// unknown or the job could not run.
bool RunOurs(const std::string& caseName, const std::string& source, const std::string& runFolder,
             ChildResult& result);

}  // namespace qs::bench

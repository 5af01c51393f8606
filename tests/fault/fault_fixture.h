#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/posix_file_system.h"
#include "support/engine_jobs.h"
#include "support/faulty_file_system.h"

namespace qs::fault {

using Op = FaultyFileSystem::Op;
using Fault = FaultyFileSystem::Fault;

// Every file under a folder (relative UTF-8 path -> bytes), folders not included.
using Tree = std::map<std::string, std::string>;
Tree Snapshot(const Text& folder);

// One job run on a fresh copy of the same sources: the engines alone, a folder "src" with
// the sources and a bystander file, and the fault-injecting file system in front of the real
// one. The same job runs once without faults (the reference) and once with the fault; the
// two outcomes are compared.
class Bench : public EngineJobs {
public:
    Bench();
    ~Bench() override { use.reset(); }  // before the fault-injecting file system goes
    PosixFileSystem real;
    FaultyFileSystem faulty{real};
};

// The data-safety promise for one faulted run against its fault-free reference:
//  - no temporary file anywhere;
//  - every file that existed before is unchanged, unless it is an output of the reference
//    (replaced by exactly the reference's bytes) or a source the reference deleted;
//  - every new file is one of the reference's outputs with exactly its bytes;
//  - a source is gone only when every output the reference made from it is in place;
//  - an outcome that falls short of the reference is reported as failures (messages is
//    not empty).
// owner maps an output's relative path to the source it was made from ("*": from all).
// With partialOutputs (a merge that skipped an unreadable member), new files may differ from
// the reference; a source is then gone only when a new file holds its bytes (or, when the
// merge re-encodes, when an output exists at all).
void ExpectSafe(const Tree& before, const Tree& reference, const Tree& after,
                const std::string& messages,
                const std::function<std::string(const std::string&)>& owner,
                bool partialOutputs = false, bool reencoded = false);

bool HasTemporary(const Tree& tree);

// How the source a job reads second-hand changes under it: it vanishes, or shrinks.
enum class Change { None, Vanish, Shrink };

// One job kind as the fault tests run it: its sources (written into "src" beside the
// bystander keep.dat), the source that changes and the size it shrinks to, the options and
// the run itself.
struct FaultJob {
    std::map<std::string, std::string> sources;
    std::string changing;
    std::uintmax_t shrunkSize = 0;
    std::function<void(Bench&)> configure;
    std::function<void(Bench&)> run;
};

void ApplyChange(Bench& b, const FaultJob& job, Change change);

// Both runs of one case: the reference (the change applied before it, no fault) and the
// faulted run on a fresh bench, armed by `arm` before the job runs.
struct Outcome {
    Tree before, expected, after;
    std::string messages;
    int fired = 0;
};
Outcome RunAgainstReference(const FaultJob& job, Change change,
                            const std::function<void(Bench&)>& arm);

}  // namespace qs::fault

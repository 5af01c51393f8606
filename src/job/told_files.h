#pragma once

#include <memory>

#include "job/job_events.h"
#include "job/result.h"
#include "platform/file_system.h"
#include "text/text.h"

namespace qs {

// The source a job splits or merges, read through in: where it stands is told to events
// (SourceReadTo) at every read, and at every copy that an output of CreateOutput makes
// from it, inside the kernel or not. nullptr stays nullptr.
std::unique_ptr<ReadHandle> TellReading(std::unique_ptr<ReadHandle> in, JobEvents& events);

// The writer of one output of a job, made for path: what reaches the output is told to
// events as it goes (OutputGrew), and so is its end (OutputClosed). A NotWritten error where the
// file system cannot make it.
Result<std::unique_ptr<AtomicWriter>> CreateOutput(const Text& path, JobEvents& events);

}  // namespace qs

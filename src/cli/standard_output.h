#pragma once

#include <optional>

namespace qs::cli {

// The report is part of the job: a listing or JSON object that did not reach standard output
// is a failure, also when its reader has gone. A standard output closed when the program
// starts is taken by a device that refuses every write, so that no file the job opens gets
// its number (and the report in it).
void GuardStandardOutput();

// nullopt when everything written to standard output so far reached it, else why (an errno
// value; 0 when a write failed earlier and its reason is gone). The error is cleared: the
// next command run in this process starts afresh.
std::optional<int> StandardOutputLost();

}  // namespace qs::cli

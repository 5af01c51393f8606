#pragma once

#include "cli/command_line.h"

namespace qs::cli {

// Runs split, merge or verify (or prints the help or the version) and returns the exit
// status: 0 all done, 1 some operations failed or the job was stopped, 2 a usage error.
// Creates no window object and never reads or writes the settings file.
int RunCommandLine(int argc, char** argv);

}  // namespace qs::cli

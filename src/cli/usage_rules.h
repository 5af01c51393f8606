#pragma once

#include <string>

#include "cli/command_line.h"

namespace qs::cli {

// Checks a parsed split or merge before anything is read or written: every value within
// what its option allows (a value out of range is refused, never capped or swapped), and
// no option that does nothing in the chosen mode. Returns "" or the message, which names
// the option and what it allows; the program's name is the caller's to add.
std::string CheckUsage(const ParsedCommand& command);

}  // namespace qs::cli

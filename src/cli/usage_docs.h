#pragma once

#include <string>
#include <vector>

#include "cli/command_line.h"

namespace qs::cli {

// The manual page qirnsplit(1) in roff, made from the parser's own description of itself.
std::string ManPage(const std::vector<CommandDoc>& commands);

// A bash completion script for qirnsplit: commands, each command's options, the choices of
// an option whose value is one of a list, folders for DIR and files elsewhere.
std::string BashCompletion(const std::vector<CommandDoc>& commands);

}  // namespace qs::cli

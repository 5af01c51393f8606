#pragma once

#include <string>
#include <vector>

#include "cli/job_options.h"
#include "job/job_report.h"

namespace qs::cli {

enum class Command { Split, Merge, Verify };

struct GivenOption {
    const JobOption* option = nullptr;
    std::string value;
};

struct CommonOptions : ReportStyle {
    std::string outputDir;  // UTF-8, as given; empty: beside the sources
};

// One parsed command: what to run, the job options in the order of the table, the paths
// (UTF-8, as given) and the options every command shares.
struct ParsedCommand {
    Command command = Command::Split;
    std::vector<GivenOption> options;
    std::vector<std::string> paths;
    CommonOptions common;
};

// The outcome of parsing: either a command to run, or an exit status with the text to
// print (the help or the version on standard output, a usage error on standard error).
struct ParseOutcome {
    bool run = false;
    ParsedCommand command;
    int exitStatus = 0;
    std::string out;
    std::string err;
};

// One option as the help, the manual page and the completion show it.
struct OptionDoc {
    std::vector<std::string> names;  // "-n", "--parts"
    std::string value;               // "N", "" for a flag
    std::string help;
};

// The program's own options (name empty) or one command's.
struct CommandDoc {
    std::string name;
    std::string help;
    std::string operands;  // "PATH..."
    std::vector<OptionDoc> options;
};

// Everything the parser accepts, in the order of the help: the program first, then each
// command.
std::vector<CommandDoc> DescribeCommandLine();

ParseOutcome ParseCommandLine(int argc, char** argv);

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailures = 1;
inline constexpr int kExitUsage = 2;

}  // namespace qs::cli

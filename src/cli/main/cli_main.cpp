#include <cstdio>

#include "cli/cli_program.h"
#include "cli/launch.h"
#include "cli/window_handoff.h"

// The program as users start it: the command line, which hands the window over to the
// window program, so that a command never pays for loading the window library.
int main(int argc, char** argv) {
    const bool display = qs::cli::HasDisplay();
    const qs::cli::LaunchRequest launch = qs::cli::ReadLaunch(argc, argv, display);
    if (launch.launch == qs::cli::Launch::UsageError) {
        std::fprintf(stderr, "qirnsplit: %s\n", launch.error.c_str());
        return qs::cli::kExitUsage;
    }
    if (launch.launch == qs::cli::Launch::CommandLine) {
        return qs::cli::RunCommandLine(argc, argv);
    }
    if (!display) {
        std::fputs(qs::cli::NoDisplayMessage(), stderr);
        return 1;
    }
    return qs::cli::HandOverToWindow(argc, argv);
}

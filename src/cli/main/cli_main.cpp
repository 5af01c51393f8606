#include <cstdio>

#include "cli/cli_program.h"

// The program built without the window: the command line only.
int main(int argc, char** argv) {
    if (!qs::cli::WantsCommandLine(argc, argv)) {
        std::fputs("This build of Qirnsplit has no window; run qirnsplit --help.\n", stderr);
        return qs::cli::kExitUsage;
    }
    return qs::cli::RunCommandLine(argc, argv);
}

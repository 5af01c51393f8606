// Writes the manual page or the bash completion of the command line at build time:
// usage_docs man|bash
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "cli/usage_docs.h"

int main(int argc, char** argv) {
    // The page and the completion are the English ones, whatever the builder's locale.
    setenv("LC_ALL", "C", 1);
    const std::string_view what = argc == 2 ? argv[1] : "";
    if (what != "man" && what != "bash") {
        std::fputs("usage: usage_docs man|bash\n", stderr);
        return 2;
    }
    const auto commands = qs::cli::DescribeCommandLine();
    const std::string text =
        what == "man" ? qs::cli::ManPage(commands) : qs::cli::BashCompletion(commands);
    return std::fputs(text.c_str(), stdout) < 0 ? 1 : 0;
}

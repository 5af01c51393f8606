#pragma once

#include <string>
#include <vector>

#include "text/text.h"

namespace qs::cli {

enum class Launch { Window, CommandLine, UsageError };

// What the words after the program's name ask for: nothing, the window; a command or an
// option, the command line; files or folders that all exist, the window with them (the
// desktop's menu entry passes the files it opens this way), provided there is a display.
// Any other word is a usage error, whose message (without the program's name) names it.
struct LaunchRequest {
    Launch launch = Launch::Window;
    TextList paths;  // as the jobs want them (internal texts, absolute, no trailing separator)
    std::string error;
};

LaunchRequest ReadLaunch(int argc, char** argv, bool display);

}  // namespace qs::cli

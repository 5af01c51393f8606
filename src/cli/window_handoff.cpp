#include "cli/window_handoff.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/process.h"

namespace qs::cli {

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            return true;
        }
    }
    return false;
}

const char* NoDisplayMessage() {
    return "Qirnsplit is a desktop program and needs a display, but none is set "
           "(DISPLAY is empty).\n"
           "Run it on a desktop, or under a virtual display:\n"
           "    xvfb-run -a ./build/qirnsplit\n";
}

int HandOverToWindow(int argc, char** argv) {
    (void)argc;
    const std::filesystem::path self = ExecutablePath();
    // Beside the command line in the build tree; in the package's own folder once installed.
    const std::filesystem::path candidates[] = {
        self.parent_path() / QS_WINDOW_NAME,
        (self.parent_path() / QS_WINDOW_FROM_BINDIR).lexically_normal(),
    };
    for (const std::filesystem::path& window : candidates) {
        if (self.empty() || ::access(window.c_str(), X_OK) != 0) {
            continue;
        }
        ::execv(window.c_str(), argv);
        std::fprintf(stderr, "qirnsplit: %s: %s\n", window.c_str(), std::strerror(errno));
        return 1;
    }
    std::fputs("This build of Qirnsplit has no window; run qirnsplit --help.\n", stderr);
    return 2;
}

}  // namespace qs::cli

#include "cli/standard_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

namespace qs::cli {
namespace {

bool g_closedAtStart = false;

}  // namespace

void GuardStandardOutput() {
    // A reader that goes away makes the next write fail (EPIPE) and is told as any lost
    // report is, instead of ending the program in the middle of a job without a word.
    std::signal(SIGPIPE, SIG_IGN);
    // So does a limit on the size of files (ulimit -f): the write that passes it fails
    // (EFBIG) and that output is reported as not written, with the reason.
    std::signal(SIGXFSZ, SIG_IGN);
    g_closedAtStart = ::fcntl(STDOUT_FILENO, F_GETFD) < 0 && errno == EBADF;
    if (g_closedAtStart) {
        const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        if (fd >= 0 && fd != STDOUT_FILENO) {
            ::dup2(fd, STDOUT_FILENO);
            ::close(fd);
        }
    }
}

std::optional<int> StandardOutputLost() {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error = flushed ? 0 : errno;
    const bool failed = !flushed || std::ferror(stdout) != 0;
    std::clearerr(stdout);
    if (!failed) {
        return std::nullopt;
    }
    return g_closedAtStart ? EBADF : error;
}

}  // namespace qs::cli

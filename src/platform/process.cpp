#include "platform/process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/native_names.h"

extern char** environ;

namespace qs {
namespace {

// Children started without waiting are reaped at the next start, so they do not linger
// as zombies for the life of the program.
std::mutex g_mutex;
std::vector<pid_t> g_unreaped;

void ReapFinished() {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (auto it = g_unreaped.begin(); it != g_unreaped.end();) {
        int status = 0;
        const pid_t r = ::waitpid(*it, &status, WNOHANG);
        if (r == *it || (r < 0 && errno == ECHILD)) {
            it = g_unreaped.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace

bool SpawnProcess(const TextList& arguments, bool wait) {
    ReapFinished();
    if (arguments.empty() || arguments[0].empty()) {
        return false;
    }
    std::vector<std::string> native;
    for (const Text& a : arguments) {
        std::string utf8;
        if (a.find('\0') != Text::npos || !InternalToNative(a, utf8)) {
            return false;
        }
        native.push_back(std::move(utf8));
    }
    std::vector<char*> argv;
    for (std::string& a : native) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    if (!wait) {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_unreaped.push_back(pid);
        return true;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    // posix_spawnp reports a missing program only through the child's exit code 127.
    return !(WIFEXITED(status) && WEXITSTATUS(status) == 127);
}

Text ExecutableFolder() {
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) {
        return Text();
    }
    buffer.resize(static_cast<std::size_t>(n));
    const std::size_t slash = buffer.rfind('/');
    if (slash == std::string::npos) {
        return Text();
    }
    buffer.resize(slash == 0 ? 1 : slash);
    return NativeToInternal(buffer);
}

std::optional<Text> EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return NativeToInternal(value);
}

}  // namespace qs

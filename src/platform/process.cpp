#include "platform/process.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/native_names.h"

namespace qs {

std::string ExecutablePath() {
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) {
        return std::string();
    }
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

Text ExecutableFolder() {
    std::string path = ExecutablePath();
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return Text();
    }
    path.resize(slash == 0 ? 1 : slash);
    return NativeToInternal(path);
}

std::optional<Text> EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return NativeToInternal(value);
}

}  // namespace qs

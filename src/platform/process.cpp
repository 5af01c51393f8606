#include "platform/process.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/native_names.h"

namespace qs {

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

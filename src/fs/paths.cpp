#include "fs/paths.h"

#include "platform/services.h"
#include "text/characters.h"

namespace qs {

Text PathDirectory(const Text& path) {
    const std::size_t p = FindLastChar(path, kPathSeparator);
    return p == Text::npos ? Text() : path.substr(0, p);
}

Text PathFileName(const Text& path) {
    const std::size_t p = FindLastChar(path, kPathSeparator);
    return p == Text::npos ? path : path.substr(p + 1);
}

PathParts ParsePath(const Text& path) {
    PathParts parts;
    std::string_view name = path;
    if (const std::size_t slash = FindLastChar(path, kPathSeparator); slash != Text::npos) {
        parts.folder = path.substr(0, slash);
        name.remove_prefix(slash + 1);
    }
    const std::size_t dot = FindLastChar(name, '.');
    parts.stem = name.substr(0, dot);
    if (dot != std::string_view::npos) {
        parts.extension = name.substr(dot + 1);
    }
    return parts;
}

bool EnsureDirectoryChain(const Text& path) {
    FileSystem& fs = Fs();
    for (std::size_t p = FindChar(path, kPathSeparator); p != Text::npos;
         p = FindChar(path, kPathSeparator, p + 1)) {
        if (p == 0) {
            continue;  // the root of an absolute path
        }
        const Text prefix = path.substr(0, p);
        if (!fs.Exists(prefix) && !fs.CreateFolder(prefix)) {
            return false;
        }
    }
    return true;
}

}  // namespace qs

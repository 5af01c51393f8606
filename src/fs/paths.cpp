#include "fs/paths.h"

#include "platform/native_names.h"
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

Text FitFileName(const Text& stem, const Text& tail, std::size_t maxStemChars) {
    std::string native;
    if (!InternalToNative(tail, native) || native.size() > kMaxFileNameBytes) {
        return Text();
    }
    std::size_t bytes = native.size();
    // UTF-8 never takes more than twice the bytes of the internal form.
    if (2 * stem.size() + bytes <= kMaxFileNameBytes && stem.size() <= maxStemChars) {
        return InternalToNative(stem, native) ? stem + tail : Text();
    }
    std::size_t i = 0;
    for (std::size_t chars = 0; i < stem.size() && chars < maxStemChars; ++chars) {
        const std::size_t len = CharLength(stem, i);
        if (!InternalToNative(std::string_view(stem).substr(i, len), native)) {
            return Text();
        }
        if (bytes + native.size() > kMaxFileNameBytes) {
            break;
        }
        bytes += native.size();
        i += len;
    }
    return stem.substr(0, i) + tail;
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

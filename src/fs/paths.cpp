#include "fs/paths.h"

#include "platform/native_names.h"
#include "platform/services.h"
#include "text/characters.h"

namespace qs {

Text PathDirectory(const Text& path, char separator) {
    const std::size_t p = FindLastChar(path, separator);
    return p == Text::npos ? Text() : path.substr(0, p);
}

Text PathFileName(const Text& path, char separator) {
    const std::size_t p = FindLastChar(path, separator);
    return p == Text::npos ? path : path.substr(p + 1);
}

Text PathBaseName(const Text& path, char separator) {
    Text name = PathFileName(path, separator);
    const std::size_t p = FindLastChar(name, '.');
    if (p != Text::npos) {
        name.resize(p);
    }
    return name;
}

Text PathExtension(const Text& path, char separator) {
    const Text name = PathFileName(path, separator);
    const std::size_t p = FindLastChar(name, '.');
    return p == Text::npos ? Text() : name.substr(p + 1);
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

bool EnsureDirectoryChain(const Text& path, char separator) {
    FileSystem& fs = Fs();
    for (std::size_t p = FindChar(path, separator); p != Text::npos;
         p = FindChar(path, separator, p + 1)) {
        if (separator == '/' && p == 0) {
            continue;  // the root of an absolute path
        }
        if (separator == '\\' && p == 2) {
            continue;  // a drive such as D:
        }
        const Text prefix = path.substr(0, p);
        if (!fs.Exists(prefix) && !fs.CreateFolder(prefix)) {
            return false;
        }
    }
    return true;
}

}  // namespace qs

#pragma once

#include <cstddef>

#include "text/text.h"

namespace qs {

// Path splitting on internal texts. The separator search steps over whole characters, so
// a double-byte character whose second byte equals the separator is never cut.
inline constexpr char kPathSeparator = '/';

// The text before the last separator; "" when there is none.
Text PathDirectory(const Text& path);
// The text after the last separator; the whole path when there is none.
Text PathFileName(const Text& path);

// A path taken apart once: the folder (PathDirectory), and the file name's stem and extension
// around its last "." (the whole name and "" when it has none).
struct PathParts {
    Text folder;
    Text stem;
    Text extension;

    // "." and the extension; "" without one.
    Text DotExtension() const { return extension.empty() ? Text() : "." + extension; }
};
PathParts ParsePath(const Text& path);

// Creates every missing folder named by a prefix of path that ends before a separator (so
// the last component only when path ends with a separator). True when all of them exist
// afterwards; folders made before a failure stay.
bool EnsureDirectoryChain(const Text& path);

}  // namespace qs

#pragma once

#include "platform/text.h"

namespace qs {

// Path splitting on internal texts. The separator search steps over whole characters, so
// a double-byte character whose second byte equals the separator is never cut.
inline constexpr char kPathSeparator = '/';

// The text before the last separator; "" when there is none.
Text PathDirectory(const Text& path, char separator = kPathSeparator);
// The text after the last separator; the whole path when there is none.
Text PathFileName(const Text& path, char separator = kPathSeparator);
// The file name without its last "." and what follows; the whole file name without a ".".
Text PathBaseName(const Text& path, char separator = kPathSeparator);
// The text after the last "." of the file name; "" when the file name has no ".".
Text PathExtension(const Text& path, char separator = kPathSeparator);

// Creates every missing folder named by a prefix of path that ends before a separator (so
// the last component only when path ends with a separator). True when all of them exist
// afterwards; folders made before a failure stay.
bool EnsureDirectoryChain(const Text& path, char separator = kPathSeparator);

}  // namespace qs

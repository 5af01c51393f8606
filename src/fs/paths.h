#pragma once

#include <cstddef>
#include <cstdint>

#include "text/text.h"

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

// The longest name a folder entry may have, in bytes of its file-system form.
inline constexpr std::size_t kMaxFileNameBytes = 255;
// stem + tail with the stem cut at a character boundary so that the file-system form of the
// name has at most kMaxFileNameBytes, and the stem at most maxStemChars characters; "" when
// not even the tail fits or the name has no file-system form.
Text FitFileName(const Text& stem, const Text& tail, std::size_t maxStemChars = SIZE_MAX);

// Creates every missing folder named by a prefix of path that ends before a separator (so
// the last component only when path ends with a separator). True when all of them exist
// afterwards; folders made before a failure stay.
bool EnsureDirectoryChain(const Text& path, char separator = kPathSeparator);

}  // namespace qs

#pragma once

#include <optional>
#include <string>

#include "text/text.h"

namespace qs::cli {

// A path given on the command line as the jobs want it: absolute, "." and ".." resolved as
// the file system resolves them, without a trailing separator, an internal text. A name
// given in bytes that are not UTF-8 (an old GBK name) is taken by its bytes. nullopt for a
// path that names no file, or when the current folder cannot be told.
std::optional<Text> ToJobPath(const std::string& given);

}  // namespace qs::cli

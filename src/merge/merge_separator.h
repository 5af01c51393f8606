#pragma once

#include <optional>

#include "job/merge_params.h"
#include "text/text.h"

namespace qs {

// The separator as bytes: the text exactly as it stands (a line break in it is CR LF), the
// whole content of the file, or nothing. An empty path gives no bytes, an unreadable file
// nullopt.
std::optional<Bytes> ReadMergeSeparator(const MergeParams& params);

}  // namespace qs

#pragma once

#include "job/merge_params.h"
#include "job/result.h"
#include "text/text.h"

namespace qs {

// The separator as bytes: the text exactly as it stands (a line break in it is CR LF), the
// whole content of the file, or nothing. An empty path gives no bytes, an unreadable file
// an Unreadable error.
Result<Bytes> ReadMergeSeparator(const MergeParams& params);

}  // namespace qs

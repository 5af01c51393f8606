#pragma once

#include "encoding/text_slices.h"
#include "split/split_settings.h"
#include "text/text.h"

namespace qs {

// The line mode that keeps every line's own break: each piece is the source's bytes from
// the start of its first line to the end of its last line's break (LF, CR LF, a CR alone,
// or none at the end of the file), the mark in front of the first piece, so that the pieces
// joined in order are the source. The reader has opened the source and found its encoding
// (two-byte units in UTF-16, one byte in every other); it is read again from its start.
// False when the source failed to read.
bool CutLinesKeepingBreaks(SplitContext& ctx, const Text& path, TextSliceReader& reader);

}  // namespace qs

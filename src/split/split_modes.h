#pragma once

#include "split/split_state.h"
#include "text/text.h"

namespace qs {

enum class ModeResult { Done, ValidationFailed };

// The five ways of cutting one source. Each validates the parameters first (refused through the
// job's events when it cannot run), then hands every piece to
// the piece writer, polling the stop flag once per piece (per line in the line mode).
ModeResult SplitIntoParts(SplitContext& ctx, const Text& path);
ModeResult SplitBySize(SplitContext& ctx, const Text& path);
ModeResult SplitByLineCount(SplitContext& ctx, const Text& path);
ModeResult SplitByCharCount(SplitContext& ctx, const Text& path);
ModeResult SplitAtSeparator(SplitContext& ctx, const Text& path);

// Runs the procedure of the parameters' mode; Done when it holds none.
ModeResult RunSplitMode(SplitContext& ctx, const Text& path);

// A part count above the file's length gives empty pieces and a last one that holds the
// whole file; above this many as well, the surplus empty pieces are not made (two billion
// empty files would exhaust the disk's inodes long before the end).
inline constexpr std::int64_t kMaxPartsBeyondLength = 10000;

}  // namespace qs

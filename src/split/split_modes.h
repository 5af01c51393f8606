#pragma once

#include "platform/text.h"
#include "split/split_settings.h"

namespace qs {

enum class ModeResult { Done, ValidationFailed };

// The five ways of cutting one source. Each validates its settings first (a message and
// the focus on the offending control when they are unusable), then hands every piece to
// the piece writer, polling the stop flag once per piece (per line in the line mode).
ModeResult SplitIntoParts(SplitContext& ctx, const Text& path);
ModeResult SplitBySize(SplitContext& ctx, const Text& path);
ModeResult SplitByLineCount(SplitContext& ctx, const Text& path);
ModeResult SplitByCharCount(SplitContext& ctx, const Text& path);
ModeResult SplitAtSeparator(SplitContext& ctx, const Text& path);

// Runs the procedure of the selected mode; Done when no mode is selected.
ModeResult RunSplitMode(SplitContext& ctx, SplitMode mode, const Text& path);

// Pieces beyond a file's length are all empty; a part count above both this and the length
// (two billion empty files would exhaust the disk's inodes long before the end)
// is reduced to the larger of the two.
inline constexpr std::int64_t kMaxPartsBeyondLength = 10000;

}  // namespace qs

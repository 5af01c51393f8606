#pragma once

#include "job/job_events.h"
#include "job/params_source.h"
#include "text/text.h"

namespace qs {

// Splits every file of the list as the parameters ask, one after the other, telling events what
// happens. Deletes a source (when asked) only after all its pieces were written and are
// safe on the disk. Pieces go beside their source, or into outputRoot when it is given.
void SplitFiles(SplitParamsSource& paramSource, JobEvents& events, const TextList& paths,
                const Text& outputRoot = Text());

}  // namespace qs

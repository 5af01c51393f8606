#pragma once

#include "platform/text.h"

namespace qs {

class App;
class RunControl;

// The split job's entry: a click (nothing given), a dropped folder, or dropped files. A
// call while a split runs is a stop request.
void StartSplitJob(App& app, const Text& folder, const TextList& paths);

// Splits every file of the list with the mode selected on the form, one after the other.
// Deletes a source (when asked) only after all its pieces were written, and records the
// file operations that failed in the run control's split failure list.
void SplitFiles(RunControl& run, const TextList& paths);

// Makes the app's split entry (the split button and drops on the split panel) run the job.
void InstallSplitJob(App& app);

}  // namespace qs

#pragma once

namespace qs::cli {

// Whether a window could be shown: a display, or a Qt platform named explicitly.
bool HasDisplay();

// The message for a window asked for where there is no display.
const char* NoDisplayMessage();

// Replaces this process with the window program installed beside the command line, with the
// same arguments. Returns only when that fails, with the exit status to end with; the
// command line itself never loads the window library.
int HandOverToWindow(int argc, char** argv);

}  // namespace qs::cli

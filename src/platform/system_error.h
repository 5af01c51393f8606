#pragma once

#include <string>
#include <string_view>

namespace qs {

// Why the calling thread's last file-system call that can fail failed, as the system said
// it: an errno value, kept apart from errno, which any later library call may change. 0
// when that call succeeded, or failed for no reason the system gave (a file that ended
// early, a name the system cannot hold). Every such call of a file system sets it.
int LastSystemError();
void SetLastSystemError(int code);

// The system's words for a reason, as a command-line tool prints them: in the language of
// the user's LC_MESSAGES where the system has it (English under LANG=C), as UTF-8.
std::string SystemErrorText(int code);
// The reason's symbolic name ("EACCES") for scripts, which cannot match words in every
// language; empty when the system has none.
std::string_view SystemErrorName(int code);
// Whether a write failed for want of room: the file system is full, or the user's quota.
bool IsOutOfSpace(int code);

}  // namespace qs

#pragma once

#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace qs {

// File names are bytes; the program's texts are GB18030. A name in UTF-8 maps to the same
// characters as ever. A byte that is not part of well-formed UTF-8 (a GBK name from an old
// archive) maps to an escape: the four-byte GB18030 form 8F 39 (81 + k / 10) (30 + k % 10),
// k = byte - 0x80. Those forms are unassigned in GB18030, so no character of a UTF-8 name
// ever maps to one, and the way back gives the name's own bytes: every name read from the
// file system round-trips exactly, and the character model takes each escape as one character.
Text NativeToInternal(std::string_view native);
// False for a text with bytes that are neither GB18030 characters nor escapes.
bool InternalToNative(std::string_view internal, std::string& native);

// A text with escapes as the window shows it: each run of escaped bytes as those bytes (GB18030
// text) when they are GB18030, otherwise as \xHH per byte. Texts without escapes are unchanged.
Text DisplayText(std::string_view internal);

}  // namespace qs

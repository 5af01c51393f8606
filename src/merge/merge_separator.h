#pragma once

#include <optional>

#include "platform/text.h"

namespace qs {

class Form;

// Where the bytes between two merged files come from: the state of the three radio buttons
// of the merge panel, read when it is needed.
enum class SeparatorMode { SeparatorString, SeparatorFile, SeparatorNone };

SeparatorMode ReadSeparatorMode(const Form& form);

// The separator as bytes: the string box exactly as it stands (a line break in it is CR LF),
// the whole content of the chosen file, or nothing. An empty path gives no bytes, an
// unreadable file nullopt.
std::optional<Bytes> ReadMergeSeparator(const Form& form);

// The handler of 按钮选择文件: picks the separator file in the open-file dialog; a cancelled
// dialog leaves the path box as it was.
void ChooseSeparatorFile(Form& form);

}  // namespace qs

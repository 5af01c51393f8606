#pragma once

#include "app/main_window.h"

namespace qs::split_controls {

// The split panel's controls by their internal names, for tests that drive the panel.
inline const Text& PartsRadio() {
    return U(names::ByParts);
}
inline const Text& BytesRadio() {
    return U(names::ByBytes);
}
inline const Text& LinesRadio() {
    return U(names::ByLines);
}
inline const Text& CharsRadio() {
    return U(names::ByChars);
}
inline const Text& SeparatorRadio() {
    return U(names::ByString);
}
inline const Text& PartCountEdit() {
    return U(names::PartCount);
}
inline const Text& ByteSizeEdit() {
    return U(names::ByteSize);
}
inline const Text& ByteUnitCombo() {
    return U(names::ByteUnit);
}
inline const Text& LineMinEdit() {
    return U(names::LineMin);
}
inline const Text& LineMaxEdit() {
    return U(names::LineMax);
}
inline const Text& CharMinEdit() {
    return U(names::CharMin);
}
inline const Text& CharMaxEdit() {
    return U(names::CharMax);
}
inline const Text& SeparatorButton() {
    return U(names::SeparatorButton);
}
inline const Text& ChapterCheck() {
    return U(names::ChapterSplit);
}
inline const Text& IgnoreBlankLinesCheck() {
    return U(names::SkipBlankLines);
}
inline const Text& RandomRenameCheck() {
    return U(names::RandomRename);
}
inline const Text& SubfolderCheck() {
    return U(names::SubfolderSave);
}
inline const Text& DeleteSourceCheck() {
    return U(names::SplitDelete);
}
inline const Text& FileTypeEdit() {
    return U(names::SplitPattern);
}
inline const Text& SplitButton() {
    return U(names::SplitButton);
}
inline const Text& ProgressBar() {
    return U(names::Progress);
}
inline const Text& StatusLabel() {
    return U(names::Status);
}

}  // namespace qs::split_controls

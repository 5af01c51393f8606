#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

namespace qs {

// What went wrong with one file operation of a job. Each kind has one label (the window's
// and the command line's standard error) and one stable name (the command line's JSON).
enum class FailureKind {
    Unreadable,
    FolderNotCreated,
    NotWritten,
    SourceKept,
    // Kept because its pieces cannot give it back: the split left out its blank lines or
    // converted 繁简 as asked, and nothing else holds what it took away
    SourceKeptUnrestorable,
    NotConverted,
    Unrecognised,  // no encoding the program reads decodes the source: left untouched
    // GB18030 and Big5 both decode the source and the locale chose: its text went into an
    // output in another encoding, which holds it only if the choice was right
    Guessed,
    // A file whose size says nothing of its data (a file of /proc: size 0, yet it reads):
    // the byte modes, which cut by the size, refuse it
    SizeUnknown,
    // A manifest's piece or its whole: no file where the manifest names one, a file that is
    // not what the manifest says, a rejoined source whose name another file holds, pieces
    // that are whole but do not give the source back (why says what the split changed)
    Missing,
    Changed,
    Exists,
    NotRestorable,
};

// The window's label, e.g. "无法读取：" (internal text).
const Text& FailureLabel(FailureKind kind);
// The name scripts see, e.g. "unreadable".
std::string_view FailureName(FailureKind kind);

struct JobFailure {
    FailureKind kind;
    Text path;
    // Why, as the system said it (an errno value); 0 where the system gave no reason (an
    // encoding not recognised, a source kept because it changed).
    int systemError = 0;
    // A conversion refused because the source's bytes do not decode from here on (its
    // offset in the file); -1 otherwise.
    std::int64_t undecodedAt = -1;
    // A conversion refused because this character (internal text) has no form in the
    // output's encoding; empty otherwise.
    Text unconvertible = Text();
    // Why, in the program's words (UTF-8), where the system gave no reason: NotRestorable.
    std::string why = std::string();
};

}  // namespace qs

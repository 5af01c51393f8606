#pragma once

#include <optional>

#include "platform/file_system.h"
#include "text/text.h"

namespace qs {

// A source is taken away only while its path still names the very file that was read, as it
// was read: a file saved over it, grown or rewritten meanwhile holds content that no output
// has.
enum class Removal { Deleted, Changed, Failed };
struct SourceRemoval {
    Removal outcome;
    int systemError = 0;  // why the deletion failed, as the system said
};

// The state of a source just before it is read; nullopt for what is not a regular file.
std::optional<FileStamp> StampBeforeReading(const Text& path);

// Deletes path when it is still the file stamped, unchanged; Changed (and nothing deleted)
// otherwise, also when there is no stamp.
SourceRemoval DeleteIfUnchanged(const Text& path, const std::optional<FileStamp>& asRead);

// The permission bits an output made of sources with these stamps may have: those that all of
// them have (every bit when none is known).
std::uint32_t SharedPermissions(std::uint32_t sofar, const std::optional<FileStamp>& stamp);

}  // namespace qs

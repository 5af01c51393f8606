#include "fs/unchanged_source.h"

#include "platform/services.h"

namespace qs {

std::optional<FileStamp> StampBeforeReading(const Text& path) {
    return Fs().Stamp(path);
}

Removal DeleteIfUnchanged(const Text& path, const std::optional<FileStamp>& asRead) {
    const std::optional<FileStamp> now = Fs().Stamp(path);
    if (!asRead || !now || *now != *asRead) {
        return Removal::Changed;
    }
    return Fs().DeleteFile(path) ? Removal::Deleted : Removal::Failed;
}

std::uint32_t SharedPermissions(std::uint32_t sofar, const std::optional<FileStamp>& stamp) {
    return stamp ? sofar & stamp->permissions : sofar;
}

}  // namespace qs

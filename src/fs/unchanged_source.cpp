#include "fs/unchanged_source.h"

#include "platform/services.h"
#include "platform/system_error.h"

namespace qs {

std::optional<FileStamp> StampBeforeReading(const Text& path) {
    return Fs().Stamp(path);
}

SourceRemoval DeleteIfUnchanged(const Text& path, const std::optional<FileStamp>& asRead) {
    const std::optional<FileStamp> now = Fs().Stamp(path);
    if (!asRead || !now || *now != *asRead) {
        return {Removal::Changed};
    }
    if (!Fs().DeleteFile(path)) {
        return {Removal::Failed, LastSystemError()};
    }
    return {Removal::Deleted};
}

std::uint32_t SharedPermissions(std::uint32_t sofar, const std::optional<FileStamp>& stamp) {
    return stamp ? sofar & stamp->permissions : sofar;
}

}  // namespace qs

#include "platform/file_system.h"

#include <algorithm>
#include <memory>

namespace qs {

AtomicWriter::CopyResult AtomicWriter::CopyFrom(ReadHandle& source, std::int64_t limit,
                                                std::int64_t* copied) {
    std::int64_t ignored = 0;
    std::int64_t& total = copied != nullptr ? *copied : ignored;
    total = 0;
    // Small enough to stay in the cache between the read and the write.
    constexpr std::int64_t kChunk = 256 << 10;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
    for (;;) {
        if (limit == 0) {
            return CopyResult::Copied;
        }
        const std::int64_t want = limit < 0 ? kChunk : std::min(kChunk, limit);
        const std::int64_t got = source.Read(buffer.get(), want);
        if (got == 0) {
            return limit < 0 ? CopyResult::Copied : CopyResult::ReadFailed;
        }
        if (got < 0) {
            return CopyResult::ReadFailed;
        }
        if (!Write(std::string_view(buffer.get(), static_cast<std::size_t>(got)))) {
            return CopyResult::WriteFailed;
        }
        total += got;
        if (limit > 0) {
            limit -= got;
        }
    }
}

AtomicWriter::CopyResult AtomicWriter::CopyRange(ReadHandle& source, std::int64_t start,
                                                 std::int64_t length, std::int64_t* copied) {
    if (copied != nullptr) {
        *copied = 0;
    }
    if (!source.Seek(start)) {
        return CopyResult::ReadFailed;
    }
    return length == 0 ? CopyResult::Copied : CopyFrom(source, length, copied);
}

std::vector<std::optional<FileStamp>> FileSystem::Stamps(const std::vector<Text>& paths) {
    std::vector<std::optional<FileStamp>> stamps;
    stamps.reserve(paths.size());
    for (const Text& path : paths) {
        stamps.push_back(Stamp(path));
    }
    return stamps;
}

std::optional<std::int64_t> FileSystem::FileSize(const Text& path) {
    std::unique_ptr<ReadHandle> handle = OpenRead(path);
    if (!handle || Kind(path) != PathKind::File) {
        return std::nullopt;
    }
    const std::int64_t length = handle->Length();
    return length >= 0 ? std::optional<std::int64_t>(length) : std::nullopt;
}

}  // namespace qs

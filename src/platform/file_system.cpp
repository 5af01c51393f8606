#include "platform/file_system.h"

#include <memory>

namespace qs {

AtomicWriter::CopyResult AtomicWriter::CopyFrom(ReadHandle& source) {
    // Small enough to stay in the cache between the read and the write.
    constexpr std::int64_t kChunk = 256 << 10;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
    for (;;) {
        const std::int64_t got = source.Read(buffer.get(), kChunk);
        if (got == 0) {
            return CopyResult::Copied;
        }
        if (got < 0) {
            return CopyResult::ReadFailed;
        }
        if (!Write(std::string_view(buffer.get(), static_cast<std::size_t>(got)))) {
            return CopyResult::WriteFailed;
        }
    }
}

}  // namespace qs

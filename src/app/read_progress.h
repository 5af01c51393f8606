#pragma once

#include <cstdint>

#include "platform/forwarding_file_system.h"

namespace qs {

// A file system that passes every call to another one and keeps where the source opened
// last is being read, so that the window can show progress within one large file. Copies
// from a source it opened still reach the real writer with the real source, so a copy
// inside the kernel stays one.
class ReadProgressFileSystem : public ForwardingFileSystem {
public:
    explicit ReadProgressFileSystem(FileSystem& inner) : ForwardingFileSystem(inner) {}

    // The part of the current source read so far, 0 to 1; 0 before any source.
    double CurrentFraction() const;
    // Only the file of this name counts as the current source (while it is set): a job reads
    // other files too, e.g. a piece back after writing it.
    void Watch(const Text* source) { m_watched = source; }

    std::unique_ptr<ReadHandle> OpenRead(const Text& path) override;
    std::unique_ptr<AtomicWriter> CreateAtomic(const Text& path) override;

    // Called by its handles and writers.
    void Reached(const void* source, std::int64_t position);

private:
    const Text* m_watched = nullptr;
    const void* m_source = nullptr;
    std::int64_t m_length = 0;
    std::int64_t m_reached = 0;
};

}  // namespace qs

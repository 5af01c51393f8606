#include "app/read_progress.h"

#include <algorithm>

namespace qs {
namespace {

class CountedSource : public ForwardingReadHandle {
public:
    CountedSource(std::unique_ptr<ReadHandle> inner, ReadProgressFileSystem& owner)
        : ForwardingReadHandle(std::move(inner)), m_owner(owner) {}

    ReadProgressFileSystem& Owner() { return m_owner; }
    std::int64_t Position() const { return m_position; }
    void Advance(std::int64_t count) {
        m_position += count;
        m_owner.Reached(this, m_position);
    }

    bool Seek(std::int64_t position) override {
        const bool done = ForwardingReadHandle::Seek(position);
        if (done) {
            m_position = position;
            m_owner.Reached(this, m_position);
        }
        return done;
    }
    std::int64_t Read(char* buffer, std::int64_t size) override {
        const std::int64_t count = ForwardingReadHandle::Read(buffer, size);
        if (count > 0) {
            Advance(count);
        }
        return count;
    }

private:
    ReadProgressFileSystem& m_owner;
    std::int64_t m_position = 0;
};

class CountedWriter : public ForwardingWriter {
public:
    using ForwardingWriter::ForwardingWriter;

    CopyResult CopyFrom(ReadHandle& source, std::int64_t limit, std::int64_t* copied) override {
        auto* counted = dynamic_cast<CountedSource*>(&source);
        if (counted == nullptr) {
            return ForwardingWriter::CopyFrom(source, limit, copied);
        }
        std::int64_t count = 0;
        const CopyResult result = ForwardingWriter::CopyFrom(counted->Inner(), limit, &count);
        counted->Advance(count);
        if (copied != nullptr) {
            *copied = count;
        }
        return result;
    }
    CopyResult CopyRange(ReadHandle& source, std::int64_t start, std::int64_t length) override {
        auto* counted = dynamic_cast<CountedSource*>(&source);
        if (counted == nullptr) {
            return ForwardingWriter::CopyRange(source, start, length);
        }
        const CopyResult result = ForwardingWriter::CopyRange(counted->Inner(), start, length);
        counted->Owner().Reached(counted, start + length);
        return result;
    }
};

}  // namespace

std::unique_ptr<ReadHandle> ReadProgressFileSystem::OpenRead(const Text& path) {
    std::unique_ptr<ReadHandle> inner = Inner().OpenRead(path);
    if (!inner || (m_watched != nullptr && *m_watched != path)) {
        return inner;
    }
    auto counted = std::make_unique<CountedSource>(std::move(inner), *this);
    m_source = counted.get();
    m_length = counted->Length();
    m_reached = 0;
    return counted;
}

std::unique_ptr<AtomicWriter> ReadProgressFileSystem::CreateAtomic(const Text& path) {
    std::unique_ptr<AtomicWriter> inner = Inner().CreateAtomic(path);
    if (!inner) {
        return inner;
    }
    return std::make_unique<CountedWriter>(std::move(inner));
}

void ReadProgressFileSystem::Reached(const void* source, std::int64_t position) {
    // Where the source stands, not the farthest it has been: a text is read once to tell its
    // encoding and then again from the start.
    if (source == m_source) {
        m_reached = position;
    }
}

double ReadProgressFileSystem::CurrentFraction() const {
    if (m_length <= 0) {
        return m_source != nullptr ? 1.0 : 0.0;
    }
    return std::clamp(static_cast<double>(m_reached) / static_cast<double>(m_length), 0.0, 1.0);
}

}  // namespace qs

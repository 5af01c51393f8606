#include "app/read_progress.h"

#include <algorithm>

namespace qs {
namespace {

class CountedSource : public ReadHandle {
public:
    CountedSource(std::unique_ptr<ReadHandle> inner, ReadProgressFileSystem& owner)
        : m_inner(std::move(inner)), m_owner(owner) {}

    ReadHandle& Inner() { return *m_inner; }
    ReadProgressFileSystem& Owner() { return m_owner; }
    std::int64_t Position() const { return m_position; }
    void Advance(std::int64_t count) {
        m_position += count;
        m_owner.Reached(this, m_position);
    }

    std::int64_t Length() override { return m_inner->Length(); }
    bool Seek(std::int64_t position) override {
        const bool done = m_inner->Seek(position);
        if (done) {
            m_position = position;
            m_owner.Reached(this, m_position);
        }
        return done;
    }
    std::int64_t Read(char* buffer, std::int64_t size) override {
        const std::int64_t count = m_inner->Read(buffer, size);
        if (count > 0) {
            Advance(count);
        }
        return count;
    }

private:
    std::unique_ptr<ReadHandle> m_inner;
    ReadProgressFileSystem& m_owner;
    std::int64_t m_position = 0;
};

class CountedWriter : public AtomicWriter {
public:
    explicit CountedWriter(std::unique_ptr<AtomicWriter> inner) : m_inner(std::move(inner)) {}

    bool Write(std::string_view bytes) override { return m_inner->Write(bytes); }
    CopyResult CopyFrom(ReadHandle& source, std::int64_t limit, std::int64_t* copied) override {
        auto* counted = dynamic_cast<CountedSource*>(&source);
        if (counted == nullptr) {
            return m_inner->CopyFrom(source, limit, copied);
        }
        std::int64_t count = 0;
        const CopyResult result = m_inner->CopyFrom(counted->Inner(), limit, &count);
        counted->Advance(count);
        if (copied != nullptr) {
            *copied = count;
        }
        return result;
    }
    CopyResult CopyRange(ReadHandle& source, std::int64_t start, std::int64_t length) override {
        auto* counted = dynamic_cast<CountedSource*>(&source);
        if (counted == nullptr) {
            return m_inner->CopyRange(source, start, length);
        }
        const CopyResult result = m_inner->CopyRange(counted->Inner(), start, length);
        counted->Owner().Reached(counted, start + length);
        return result;
    }
    bool Sync() override { return m_inner->Sync(); }
    void StartWriteBack() override { m_inner->StartWriteBack(); }
    bool Commit() override { return m_inner->Commit(); }
    NameResult CommitNew(const Text& path) override { return m_inner->CommitNew(path); }

private:
    std::unique_ptr<AtomicWriter> m_inner;
};

}  // namespace

std::unique_ptr<ReadHandle> ReadProgressFileSystem::OpenRead(const Text& path) {
    std::unique_ptr<ReadHandle> inner = m_inner.OpenRead(path);
    if (!inner) {
        return inner;
    }
    auto counted = std::make_unique<CountedSource>(std::move(inner), *this);
    m_source = counted.get();
    m_length = counted->Length();
    m_reached = 0;
    return counted;
}

std::unique_ptr<AtomicWriter> ReadProgressFileSystem::CreateAtomic(const Text& path) {
    std::unique_ptr<AtomicWriter> inner = m_inner.CreateAtomic(path);
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

#include "job/told_files.h"

#include <typeinfo>

#include "platform/forwarding_file_system.h"
#include "platform/services.h"
#include "platform/system_error.h"

namespace qs {
namespace {

class ToldSource : public ForwardingReadHandle {
public:
    ToldSource(std::unique_ptr<ReadHandle> inner, JobEvents& events)
        : ForwardingReadHandle(std::move(inner)), m_events(events), m_length(Inner().Length()) {
        m_events.SourceReadTo(0, m_length);
    }

    // The handle of this type that source is, or nullptr: an exact type, so that nothing
    // derived from it is taken apart.
    static ToldSource* Of(ReadHandle& source) {
        return typeid(source) == typeid(ToldSource) ? static_cast<ToldSource*>(&source) : nullptr;
    }

    bool Seek(std::int64_t position) override {
        const bool done = ForwardingReadHandle::Seek(position);
        if (done) {
            Reached(position);
        }
        return done;
    }
    std::int64_t Read(char* buffer, std::int64_t size) override {
        const std::int64_t count = ForwardingReadHandle::Read(buffer, size);
        if (count > 0) {
            Reached(m_position + count);
        }
        return count;
    }
    // Where it stands, not the farthest it has been: a text is read once to tell its
    // encoding and then again from the start.
    void Reached(std::int64_t position) {
        m_position = position;
        m_events.SourceReadTo(m_position, m_length);
    }
    std::int64_t Position() const { return m_position; }

private:
    JobEvents& m_events;
    std::int64_t m_length;
    std::int64_t m_position = 0;
};

class ToldWriter : public ForwardingWriter {
public:
    ToldWriter(std::unique_ptr<AtomicWriter> inner, Text path, JobEvents& events)
        : ForwardingWriter(std::move(inner)), m_path(std::move(path)), m_events(events) {}
    ~ToldWriter() override {
        if (!m_closed) {
            m_events.OutputClosed(this, nullptr);
        }
    }

    bool Write(std::string_view bytes) override {
        if (!Inner().Write(bytes)) {
            return false;
        }
        m_events.OutputGrew(this, static_cast<std::int64_t>(bytes.size()),
                            m_events.WantsWrittenBytes() ? bytes : std::string_view());
        return true;
    }
    CopyResult CopyFrom(ReadHandle& source, std::int64_t limit, std::int64_t* copied) override {
        // Whoever wants the bytes gets them through Write; otherwise the real writer gets the
        // real source, and may copy inside the kernel.
        if (m_events.WantsWrittenBytes()) {
            return AtomicWriter::CopyFrom(source, limit, copied);
        }
        ToldSource* told = ToldSource::Of(source);
        std::int64_t done = 0;
        const CopyResult result = Inner().CopyFrom(told ? told->Inner() : source, limit, &done);
        if (told != nullptr) {
            told->Reached(told->Position() + done);
        }
        if (copied != nullptr) {
            *copied = done;
        }
        m_events.OutputGrew(this, done, std::string_view());
        return result;
    }
    CopyResult CopyRange(ReadHandle& source, std::int64_t start, std::int64_t length) override {
        if (m_events.WantsWrittenBytes()) {
            return AtomicWriter::CopyRange(source, start, length);
        }
        ToldSource* told = ToldSource::Of(source);
        const CopyResult result = Inner().CopyRange(told ? told->Inner() : source, start, length);
        if (told != nullptr) {
            told->Reached(start + length);
        }
        if (result == CopyResult::Copied) {
            m_events.OutputGrew(this, length, std::string_view());
        }
        return result;
    }
    bool Commit() override {
        if (!Inner().Commit()) {
            return false;
        }
        Closed();
        return true;
    }
    NameResult CommitNew(const Text& path) override {
        const NameResult result = Inner().CommitNew(path);
        if (result == NameResult::Named) {
            m_path = path;
            Closed();
        }
        return result;
    }

private:
    void Closed() {
        m_closed = true;
        m_events.OutputClosed(this, &m_path);
    }

    Text m_path;
    JobEvents& m_events;
    bool m_closed = false;
};

}  // namespace

std::unique_ptr<ReadHandle> TellReading(std::unique_ptr<ReadHandle> in, JobEvents& events) {
    if (!in) {
        return in;
    }
    return std::make_unique<ToldSource>(std::move(in), events);
}

Result<std::unique_ptr<AtomicWriter>> CreateOutput(const Text& path, JobEvents& events) {
    std::unique_ptr<AtomicWriter> inner = Fs().CreateAtomic(path);
    if (!inner) {
        return Error{FailureKind::NotWritten, path, LastSystemError()};
    }
    return std::unique_ptr<AtomicWriter>(
        std::make_unique<ToldWriter>(std::move(inner), path, events));
}

}  // namespace qs

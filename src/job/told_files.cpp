#include "job/told_files.h"

#include "platform/services.h"
#include "platform/system_error.h"

namespace qs {
namespace {

class ToldSource : public ForwardingReadHandle {
public:
    ToldSource(std::unique_ptr<ReadHandle> inner, JobEvents& events, ReadFailure* failure)
        : ForwardingReadHandle(std::move(inner)),
          m_events(events),
          m_failure(failure),
          m_length(Inner().Length()) {
        Noted(m_length, m_length >= 0);
        m_events.SourceReadTo(0, m_length);
    }

    std::int64_t Length() override {
        const std::int64_t length = ForwardingReadHandle::Length();
        return Noted(length, length >= 0);
    }
    bool Seek(std::int64_t position) override {
        const bool done = ForwardingReadHandle::Seek(position);
        Noted(done, done);
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
        return Noted(count, count >= 0);
    }
    // It only watches: a copy may read what it wraps, and tell it afterwards.
    ReadHandle& Underlying() override { return Inner().Underlying(); }
    void ReadPast(std::int64_t start, std::int64_t count) override {
        Inner().ReadPast(start, count);
        Reached((start < 0 ? m_position : start) + count);
    }

private:
    // Where it stands, not the farthest it has been: a text is read once to tell its
    // encoding and then again from the start.
    void Reached(std::int64_t position) {
        m_position = position;
        m_events.SourceReadTo(m_position, m_length);
    }
    template <typename T>
    T Noted(T result, bool succeeded) {
        if (!succeeded && m_failure != nullptr) {
            m_failure->systemError = LastSystemError();
        }
        return result;
    }

    JobEvents& m_events;
    ReadFailure* m_failure;
    std::int64_t m_length;
    std::int64_t m_position = 0;
};

}  // namespace

std::unique_ptr<ReadHandle> TellReading(std::unique_ptr<ReadHandle> in, JobEvents& events,
                                        ReadFailure* failure) {
    if (!in) {
        return in;
    }
    return std::make_unique<ToldSource>(std::move(in), events, failure);
}

std::unique_ptr<ReadHandle> OpenToldSource(const Text& path, JobEvents& events,
                                           ReadFailure& failure) {
    std::unique_ptr<ReadHandle> in = Fs().OpenRead(path);
    failure.systemError = in ? 0 : LastSystemError();
    return TellReading(std::move(in), events, &failure);
}

JobOutput::JobOutput(std::unique_ptr<AtomicWriter> inner, Text path, JobEvents& events)
    : ForwardingWriter(std::move(inner)), m_path(std::move(path)), m_events(events) {}

JobOutput::~JobOutput() {
    if (!m_closed) {
        m_events.OutputClosed(this, nullptr);
    }
}

template <typename T>
T JobOutput::Noted(T result, bool failed) {
    if (failed) {
        m_systemError = LastSystemError();
    }
    return result;
}

bool JobOutput::Write(std::string_view bytes) {
    if (!Inner().Write(bytes)) {
        return Noted(false, true);
    }
    m_events.OutputGrew(this, static_cast<std::int64_t>(bytes.size()),
                        m_events.WantsWrittenBytes() ? bytes : std::string_view());
    return true;
}

AtomicWriter::CopyResult JobOutput::CopyFrom(ReadHandle& source, std::int64_t limit,
                                             std::int64_t* copied) {
    // Whoever wants the bytes gets them through Write; otherwise the real writer gets the
    // real source, and may copy inside the kernel.
    if (m_events.WantsWrittenBytes()) {
        const CopyResult result = AtomicWriter::CopyFrom(source, limit, copied);
        return Noted(result, result != CopyResult::Copied);
    }
    ReadHandle& underlying = source.Underlying();
    std::int64_t done = 0;
    const CopyResult result = Inner().CopyFrom(underlying, limit, &done);
    Noted(result, result != CopyResult::Copied);
    if (&underlying != &source) {
        source.ReadPast(-1, done);
    }
    if (copied != nullptr) {
        *copied = done;
    }
    m_events.OutputGrew(this, done, std::string_view());
    return result;
}

AtomicWriter::CopyResult JobOutput::CopyRange(ReadHandle& source, std::int64_t start,
                                              std::int64_t length, std::int64_t* copied) {
    if (m_events.WantsWrittenBytes()) {
        const CopyResult result = AtomicWriter::CopyRange(source, start, length, copied);
        return Noted(result, result != CopyResult::Copied);
    }
    ReadHandle& underlying = source.Underlying();
    std::int64_t done = 0;
    const CopyResult result = Inner().CopyRange(underlying, start, length, &done);
    Noted(result, result != CopyResult::Copied);
    // Only what was read counts as read.
    if (&underlying != &source) {
        source.ReadPast(start, done);
    }
    if (copied != nullptr) {
        *copied = done;
    }
    if (result == CopyResult::Copied) {
        m_events.OutputGrew(this, done, std::string_view());
    }
    return result;
}

bool JobOutput::Sync() {
    const bool synced = Inner().Sync();
    return Noted(synced, !synced);
}

bool JobOutput::Commit() {
    if (!Inner().Commit()) {
        return Noted(false, true);
    }
    Closed();
    return true;
}

AtomicWriter::NameResult JobOutput::CommitNew(const Text& path) {
    const NameResult result = Inner().CommitNew(path);
    if (result == NameResult::Named) {
        m_path = path;
        Closed();
    }
    return Noted(result, result == NameResult::Failed);
}

void JobOutput::Closed() {
    m_closed = true;
    m_events.OutputClosed(this, &m_path);
}

Result<std::unique_ptr<JobOutput>> CreateOutput(const Text& path, JobEvents& events) {
    std::unique_ptr<AtomicWriter> inner = Fs().CreateAtomic(path);
    if (!inner) {
        return Error{FailureKind::NotWritten, path, LastSystemError()};
    }
    return std::make_unique<JobOutput>(std::move(inner), path, events);
}

}  // namespace qs

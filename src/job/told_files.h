#pragma once

#include <memory>

#include "job/job_events.h"
#include "job/result.h"
#include "platform/file_system.h"
#include "platform/forwarding_file_system.h"
#include "text/text.h"

namespace qs {

// Why the reading of a job's sources last failed, as the system said it (0: it gave no
// reason). Their told handles note it as the failing call returns, so that nothing called
// meanwhile, by the job or by whoever its events reach, changes it before it is reported.
struct ReadFailure {
    int systemError = 0;
};

// The source a job splits or merges, read through in: where it stands is told to events
// (SourceReadTo) at every read, and at every copy that an output of CreateOutput makes
// from it, inside the kernel or not; a call on it that fails notes why in failure, when
// given. nullptr stays nullptr.
std::unique_ptr<ReadHandle> TellReading(std::unique_ptr<ReadHandle> in, JobEvents& events,
                                        ReadFailure* failure = nullptr);

// The source at path opened for a job and read through TellReading; nullptr when it cannot
// be opened, failure then noting why.
std::unique_ptr<ReadHandle> OpenToldSource(const Text& path, JobEvents& events,
                                           ReadFailure& failure);

// The writer of one output of a job: what reaches the output is told to events as it goes
// (OutputGrew), and so is its end (OutputClosed). Why its last failing call failed stays
// with it, taken from the system as that call failed.
class JobOutput : public ForwardingWriter {
public:
    JobOutput(std::unique_ptr<AtomicWriter> inner, Text path, JobEvents& events);
    ~JobOutput() override;

    bool Write(std::string_view bytes) override;
    CopyResult CopyFrom(ReadHandle& source, std::int64_t limit = -1,
                        std::int64_t* copied = nullptr) override;
    CopyResult CopyRange(ReadHandle& source, std::int64_t start, std::int64_t length,
                         std::int64_t* copied = nullptr) override;
    bool Sync() override;
    bool Commit() override;
    NameResult CommitNew(const Text& path) override;

    // The system's reason for the last call on it that failed, a copy's reading included;
    // 0 when none failed or the system gave no reason.
    int SystemError() const { return m_systemError; }

private:
    template <typename T>
    T Noted(T result, bool failed);
    void Closed();

    Text m_path;
    JobEvents& m_events;
    bool m_closed = false;
    int m_systemError = 0;
};

// The output of a job made for path; a NotWritten error where the file system cannot make it.
Result<std::unique_ptr<JobOutput>> CreateOutput(const Text& path, JobEvents& events);

}  // namespace qs

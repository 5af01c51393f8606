#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "job/job_events.h"
#include "platform/file_system.h"
#include "platform/sha256.h"
#include "text/text.h"

namespace qs {

// The bytes of a source as the split reads them, in order from its start, through every
// handle it opens on it: what its manifest records and what its pieces must give back
// before it may go. Bytes read again (a second pass, a rewind) are taken once.
class ReadDigest {
public:
    ReadDigest() = default;
    ReadDigest(ReadDigest&&) noexcept = default;
    ReadDigest& operator=(ReadDigest&&) noexcept = default;

    void Noted(std::int64_t position, std::string_view bytes);
    void AtEnd(std::int64_t position) { m_ended = m_ended || position == m_size; }
    void Length(std::int64_t length) { m_length = length; }
    // What was read, when it is the whole source from its start to where the split stopped
    // reading it (its end, or the length it went by); nullopt otherwise.
    std::optional<SourceDigest> Finish();

private:
    Sha256 m_sha;
    std::int64_t m_size = 0;
    std::int64_t m_length = -1;
    bool m_ended = false;
    Bytes m_tail;
};

// The source read through in; what is read through the handle goes into digest, when one is
// given.
std::unique_ptr<ReadHandle> DigestReading(std::unique_ptr<ReadHandle> in, ReadDigest* digest);

}  // namespace qs

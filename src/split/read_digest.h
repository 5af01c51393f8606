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
// before it may go. Bytes read again (a second pass, a rewind) are taken once. They are hashed
// only when hashed says so (a manifest records the hash); the proof before a deletion compares
// the pieces with the source itself, read again through the handle the split read it by.
class ReadDigest {
public:
    explicit ReadDigest(bool hashed = true) {
        if (hashed) {
            m_sha.emplace();
        }
    }
    ReadDigest(ReadDigest&&) noexcept = default;
    ReadDigest& operator=(ReadDigest&&) noexcept = default;

    void Noted(std::int64_t position, std::string_view bytes);
    void AtEnd(std::int64_t position) { m_ended = m_ended || position == m_size; }
    void Length(std::int64_t length) { m_length = length; }
    // The handle the split read the source by last: an open file stays the file it is.
    void ReadBy(std::shared_ptr<ReadHandle> source) { m_source = std::move(source); }
    ReadHandle* Source() const { return m_source.get(); }
    // What was read, when it is the whole source from its start to where the split stopped
    // reading it (its end, or the length it went by); nullopt otherwise. Its sha256 is empty
    // when it was not hashed.
    std::optional<SourceDigest> Finish();

private:
    std::optional<Sha256> m_sha;
    std::shared_ptr<ReadHandle> m_source;
    std::int64_t m_size = 0;
    std::int64_t m_length = -1;
    bool m_ended = false;
    Bytes m_tail;
};

// The source read through in; what is read through the handle goes into digest, when one is
// given.
std::unique_ptr<ReadHandle> DigestReading(std::unique_ptr<ReadHandle> in, ReadDigest* digest);

}  // namespace qs

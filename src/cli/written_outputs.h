#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "platform/sha256.h"
#include "split/written_pieces.h"
#include "text/text.h"

namespace qs::cli {

// What a job's events tell of the outputs it writes, kept for whoever vouches for them: the
// bytes written in all, the SHA-256 of each output from its bytes as they went out (when
// hashing), and the names the outputs took, so that nothing else of the run takes one.
class WrittenOutputs {
public:
    explicit WrittenOutputs(bool hash) : m_hash(hash) {}

    bool Hashing() const { return m_hash; }
    void Grew(const void* output, std::int64_t count, std::string_view bytes);
    void Closed(const void* output, const Text* path);
    // An output of the run that no job wrote (a manifest).
    void Add(const Text& path) { m_names.Add(path); }

    // The SHA-256 of the output named path (hashing on), handed over once.
    std::string TakeHash(const Text& path);
    std::int64_t Bytes() const { return m_bytes; }
    bool Holds(const Text& path) { return m_names.Holds(path); }

private:
    bool m_hash;
    std::int64_t m_bytes = 0;
    std::map<const void*, Sha256> m_open;  // outputs being written
    std::map<Text, std::string> m_hashes;  // until the output's report takes them
    WrittenPieces m_names;
};

}  // namespace qs::cli

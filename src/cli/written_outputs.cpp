#include "cli/written_outputs.h"

namespace qs::cli {

void WrittenOutputs::Grew(const void* output, std::int64_t count, std::string_view bytes) {
    m_bytes += count;
    if (m_hash) {
        // A hash costs its setting up even for a small piece: only when it is asked for.
        m_open[output].Add(bytes);
    }
}

void WrittenOutputs::Closed(const void* output, const Text* path) {
    const auto open = m_open.find(output);
    if (path != nullptr) {
        m_names.Add(*path);
        if (m_hash) {
            // An output of no bytes was never told grown.
            m_hashes[*path] = open != m_open.end() ? open->second.Hex() : Sha256().Hex();
        }
    }
    if (open != m_open.end()) {
        m_open.erase(open);
    }
}

std::string WrittenOutputs::TakeHash(const Text& path) {
    const auto found = m_hashes.find(path);
    if (found == m_hashes.end()) {
        return std::string();
    }
    std::string hash = std::move(found->second);
    m_hashes.erase(found);
    return hash;
}

}  // namespace qs::cli

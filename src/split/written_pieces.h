#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace qs {

// The pieces a job has written, so that no later piece replaces one. Kept as hashes of their
// paths in one flat table, a probe of it per piece: a job of a million pieces stays small and
// pays no allocation per piece. A collision can only keep a file from being replaced, never
// replace one.
class WrittenPieces {
public:
    void Add(std::string_view path);
    bool Holds(std::string_view path) const;

private:
    static std::uint64_t Hash(std::string_view path);
    // The slot that holds hash, or the empty one where it would go.
    std::size_t SlotOf(std::uint64_t hash) const;
    void Grow();

    std::vector<std::uint64_t> m_slots;  // 0: empty; the size is a power of two
    std::size_t m_count = 0;
};

}  // namespace qs

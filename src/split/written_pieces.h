#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace qs {

// The pieces a job has written, so that no later piece replaces one. Kept as hashes of their
// paths, so that a job of a million pieces stays small; a collision can only keep a file from
// being replaced, never replace one. They are only listed until the first question (a name
// found taken): then they go into a flat table that takes a probe per piece.
class WrittenPieces {
public:
    void Add(std::string_view path);
    // The first question indexes what was listed.
    bool Holds(std::string_view path);

private:
    static std::uint64_t Hash(std::string_view path);
    // The slot that holds hash, or the empty one where it would go.
    std::size_t SlotOf(std::uint64_t hash) const;
    void Index();
    void Grow();
    void Insert(std::uint64_t hash);

    std::vector<std::uint64_t> m_listed;  // until the first question
    std::vector<std::uint64_t> m_slots;   // 0: empty; the size is a power of two
    std::size_t m_count = 0;
    bool m_indexed = false;
};

}  // namespace qs

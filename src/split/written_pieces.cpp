#include "split/written_pieces.h"

#include <functional>

namespace qs {

std::uint64_t WrittenPieces::Hash(std::string_view path) {
    const std::uint64_t hash = std::hash<std::string_view>{}(path);
    return hash == 0 ? 1 : hash;
}

std::size_t WrittenPieces::SlotOf(std::uint64_t hash) const {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = static_cast<std::size_t>(hash) & mask;
    while (m_slots[i] != 0 && m_slots[i] != hash) {
        i = (i + 1) & mask;
    }
    return i;
}

void WrittenPieces::Grow() {
    std::vector<std::uint64_t> old(m_slots.empty() ? 64 : 2 * m_slots.size(), 0);
    old.swap(m_slots);
    for (const std::uint64_t hash : old) {
        if (hash != 0) {
            m_slots[SlotOf(hash)] = hash;
        }
    }
}

void WrittenPieces::Insert(std::uint64_t hash) {
    // At most half full, so that a probe ends soon.
    if (2 * (m_count + 1) > m_slots.size()) {
        Grow();
    }
    std::uint64_t& slot = m_slots[SlotOf(hash)];
    if (slot == 0) {
        slot = hash;
        ++m_count;
    }
}

void WrittenPieces::Index() {
    for (const std::uint64_t hash : m_listed) {
        Insert(hash);
    }
    std::vector<std::uint64_t>().swap(m_listed);
    m_indexed = true;
}

void WrittenPieces::Add(std::string_view path) {
    if (m_indexed) {
        Insert(Hash(path));
    } else {
        m_listed.push_back(Hash(path));
    }
}

bool WrittenPieces::Holds(std::string_view path) {
    if (!m_indexed) {
        Index();
    }
    return !m_slots.empty() && m_slots[SlotOf(Hash(path))] != 0;
}

}  // namespace qs

#include "platform/content_hash.h"

#include <optional>

#include "platform/sha256.h"

namespace qs {

struct ContentHash::State {
    Sha256 sha;
    std::optional<std::string> hex;
};

ContentHash::ContentHash() : m_state(std::make_unique<State>()) {}
ContentHash::~ContentHash() = default;
ContentHash::ContentHash(ContentHash&&) noexcept = default;
ContentHash& ContentHash::operator=(ContentHash&&) noexcept = default;

void ContentHash::Add(std::string_view bytes) {
    m_state->sha.Add(bytes);
}

std::string ContentHash::Hex() const {
    State& s = *m_state;
    if (!s.hex) {
        s.hex = s.sha.Hex();
    }
    return *s.hex;
}

}  // namespace qs

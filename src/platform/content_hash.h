#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace qs {

// A fast 128-bit hash (XXH3) fed in pieces, for telling whether bytes read back are the bytes
// written or read before: no defence against a forger, as SHA-256 is, but at the speed of
// memory. Hex gives 32 lower-case hex digits, or nothing when the hash could not be made (its
// library could not be loaded).
class ContentHash {
public:
    ContentHash();
    ~ContentHash();
    ContentHash(ContentHash&&) noexcept;
    ContentHash& operator=(ContentHash&&) noexcept;

    void Add(std::string_view bytes);
    std::string Hex() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace qs

#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace qs {

// A hash fed in pieces, for telling whether bytes read back are the bytes written or read
// before. It is SHA-256 from the crypto library, whose processor instructions make it cheap
// beside reading the bytes. Hex gives lower-case hex digits, or nothing when the hash could not
// be made (its library could not be loaded).
class ContentHash {
public:
    ContentHash();
    ~ContentHash();
    ContentHash(ContentHash&&) noexcept;
    ContentHash& operator=(ContentHash&&) noexcept;

    void Add(std::string_view bytes);
    std::string Hex() const;  // ends the hashing; later calls give the same digits

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace qs

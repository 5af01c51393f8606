#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace qs {

// SHA-256 fed in pieces; Hex gives the digest as 64 lower-case hex digits, or nothing when
// the hash could not be made (Error tells why: the library could not be loaded).
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(Sha256&&) noexcept;
    Sha256& operator=(Sha256&&) noexcept;

    void Add(std::string_view bytes);
    std::string Hex();  // ends the hashing
    const std::string& Error() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Why no hash can be made (its library cannot be loaded); empty when one can.
std::string Sha256Unavailable();

}  // namespace qs

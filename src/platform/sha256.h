#pragma once

#include <cstdint>
#include <memory>
#include <optional>
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

class ReadHandle;

// What a handle reads from where it stands to its end: how many bytes and their SHA-256;
// nullopt when a read fails or no hash can be made.
struct HandleDigest {
    std::int64_t size = 0;
    std::string sha256;
};
std::optional<HandleDigest> Sha256OfRest(ReadHandle& in);

// Why no hash can be made (its library cannot be loaded); empty when one can.
std::string Sha256Unavailable();

}  // namespace qs

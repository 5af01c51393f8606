#include "platform/sha256.h"

#include <openssl/evp.h>

#include "platform/file_system.h"
#include "platform/loaded_library.h"

namespace qs {
namespace {

struct CryptoApi {
    QS_FUNCTION(EVP_MD_CTX_new);
    QS_FUNCTION(EVP_MD_CTX_free);
    QS_FUNCTION(EVP_sha256);
    QS_FUNCTION(EVP_DigestInit_ex);
    QS_FUNCTION(EVP_DigestUpdate);
    QS_FUNCTION(EVP_DigestFinal_ex);
};

bool BindCrypto(LoadedLibrary& library, CryptoApi& api) {
    return QS_BIND(library, api, EVP_MD_CTX_new) && QS_BIND(library, api, EVP_MD_CTX_free) &&
           QS_BIND(library, api, EVP_sha256) && QS_BIND(library, api, EVP_DigestInit_ex) &&
           QS_BIND(library, api, EVP_DigestUpdate) && QS_BIND(library, api, EVP_DigestFinal_ex);
}

const CryptoApi* Crypto(std::string& why) {
    static LoadedApi<CryptoApi> api(QS_LIBCRYPTO_SONAME, BindCrypto);
    return api.Get(why);
}

}  // namespace

struct Sha256::State {
    const CryptoApi* crypto = nullptr;
    EVP_MD_CTX* context = nullptr;
    std::string error;
    ~State() {
        if (context != nullptr) {
            crypto->EVP_MD_CTX_free(context);
        }
    }
};

Sha256::Sha256() : m_state(std::make_unique<State>()) {
    State& s = *m_state;
    s.crypto = Crypto(s.error);
    if (s.crypto == nullptr) {
        return;
    }
    s.context = s.crypto->EVP_MD_CTX_new();
    if (s.context == nullptr ||
        s.crypto->EVP_DigestInit_ex(s.context, s.crypto->EVP_sha256(), nullptr) != 1) {
        s.error = "SHA-256 could not be started";
    }
}
Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::Add(std::string_view bytes) {
    State& s = *m_state;
    if (s.error.empty() && s.crypto->EVP_DigestUpdate(s.context, bytes.data(), bytes.size()) != 1) {
        s.error = "SHA-256 failed";
    }
}

std::string Sha256::Hex() {
    State& s = *m_state;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!s.error.empty() || s.crypto->EVP_DigestFinal_ex(s.context, digest, &length) != 1) {
        s.error = s.error.empty() ? "SHA-256 failed" : s.error;
        return std::string();
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 15];
    }
    return hex;
}

const std::string& Sha256::Error() const {
    return m_state->error;
}

std::string Sha256Unavailable() {
    std::string why;
    Crypto(why);
    return why;
}

std::optional<HandleDigest> Sha256OfRest(ReadHandle& in) {
    constexpr std::int64_t kChunk = 1 << 20;
    HandleDigest digest;
    Sha256 sha;
    std::string buffer(static_cast<std::size_t>(kChunk), '\0');
    for (;;) {
        const std::int64_t got = in.Read(buffer.data(), kChunk);
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        sha.Add(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        digest.size += got;
    }
    digest.sha256 = sha.Hex();
    if (digest.sha256.empty()) {
        return std::nullopt;
    }
    return digest;
}

}  // namespace qs

#include "platform/content_hash.h"

#include <xxhash.h>

#include "platform/loaded_library.h"

namespace qs {
namespace {

struct XxhashApi {
    QS_FUNCTION(XXH3_createState);
    QS_FUNCTION(XXH3_freeState);
    QS_FUNCTION(XXH3_128bits_reset);
    QS_FUNCTION(XXH3_128bits_update);
    QS_FUNCTION(XXH3_128bits_digest);
    QS_FUNCTION(XXH128_canonicalFromHash);
};

bool BindXxhash(LoadedLibrary& library, XxhashApi& api) {
    return QS_BIND(library, api, XXH3_createState) && QS_BIND(library, api, XXH3_freeState) &&
           QS_BIND(library, api, XXH3_128bits_reset) &&
           QS_BIND(library, api, XXH3_128bits_update) &&
           QS_BIND(library, api, XXH3_128bits_digest) &&
           QS_BIND(library, api, XXH128_canonicalFromHash);
}

const XxhashApi* Xxhash() {
    static LoadedApi<XxhashApi> api(QS_LIBXXHASH_SONAME, BindXxhash);
    std::string why;
    return api.Get(why);
}

}  // namespace

struct ContentHash::State {
    const XxhashApi* api = nullptr;
    XXH3_state_t* state = nullptr;
    bool failed = false;
    ~State() {
        if (state != nullptr) {
            api->XXH3_freeState(state);
        }
    }
};

ContentHash::ContentHash() : m_state(std::make_unique<State>()) {
    State& s = *m_state;
    s.api = Xxhash();
    s.state = s.api != nullptr ? s.api->XXH3_createState() : nullptr;
    s.failed = s.state == nullptr || s.api->XXH3_128bits_reset(s.state) != XXH_OK;
}
ContentHash::~ContentHash() = default;
ContentHash::ContentHash(ContentHash&&) noexcept = default;
ContentHash& ContentHash::operator=(ContentHash&&) noexcept = default;

void ContentHash::Add(std::string_view bytes) {
    State& s = *m_state;
    s.failed =
        s.failed || s.api->XXH3_128bits_update(s.state, bytes.data(), bytes.size()) != XXH_OK;
}

std::string ContentHash::Hex() const {
    const State& s = *m_state;
    if (s.failed) {
        return std::string();
    }
    XXH128_canonical_t canonical;
    s.api->XXH128_canonicalFromHash(&canonical, s.api->XXH3_128bits_digest(s.state));
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : canonical.digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

}  // namespace qs

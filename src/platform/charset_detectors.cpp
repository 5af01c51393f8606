#include "platform/charset_detectors.h"

#include <uchardet/uchardet.h>

#include <cstdlib>
#include <memory>

#include "platform/icu_i18n.h"
#include "platform/loaded_library.h"

namespace qs {
namespace {

struct UchardetApi {
    QS_FUNCTION(uchardet_new);
    QS_FUNCTION(uchardet_delete);
    QS_FUNCTION(uchardet_handle_data);
    QS_FUNCTION(uchardet_data_end);
    QS_FUNCTION(uchardet_get_charset);
};

bool BindUchardet(LoadedLibrary& library, UchardetApi& api) {
    return QS_BIND(library, api, uchardet_new) && QS_BIND(library, api, uchardet_delete) &&
           QS_BIND(library, api, uchardet_handle_data) &&
           QS_BIND(library, api, uchardet_data_end) && QS_BIND(library, api, uchardet_get_charset);
}

// Only bytes that are neither marked nor UTF-8 come here: most runs never load it.
const UchardetApi* Uchardet() {
    static LoadedApi<UchardetApi> api(QS_LIBUCHARDET_SONAME, BindUchardet);
    std::string why;
    return api.Get(why);
}

struct DetectorCloser {
    const IcuI18nApi* icu = nullptr;
    const UchardetApi* api = nullptr;
    void operator()(UCharsetDetector* d) const { icu->ucsdet_close(d); }
    void operator()(uchardet_t u) const { api->uchardet_delete(u); }
};

}  // namespace

CharsetVotes DetectCharsets(std::string_view sample) {
    CharsetVotes votes;
    // Without a library there is no vote from it, as when it has no answer.
    std::string why;
    if (const IcuI18nApi* i18n = IcuI18n(why)) {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<UCharsetDetector, DetectorCloser> icu(i18n->ucsdet_open(&status),
                                                              DetectorCloser{i18n});
        if (U_SUCCESS(status)) {
            i18n->ucsdet_setText(icu.get(), sample.data(), static_cast<int32_t>(sample.size()),
                                 &status);
            int32_t count = 0;
            const UCharsetMatch** matches = i18n->ucsdet_detectAll(icu.get(), &count, &status);
            for (int32_t i = 0; U_SUCCESS(status) && i < count; ++i) {
                const char* name = i18n->ucsdet_getName(matches[i], &status);
                const int32_t confidence = i18n->ucsdet_getConfidence(matches[i], &status);
                if (U_SUCCESS(status) && name != nullptr) {
                    votes.icu.push_back({name, confidence});
                }
            }
        }
    }
    const UchardetApi* api = Uchardet();
    if (api == nullptr) {
        return votes;
    }
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, DetectorCloser> u(
        api->uchardet_new(), DetectorCloser{nullptr, api});
    if (u && api->uchardet_handle_data(u.get(), sample.data(), sample.size()) == 0) {
        api->uchardet_data_end(u.get());
        const char* name = api->uchardet_get_charset(u.get());
        votes.uchardet = name != nullptr ? name : "";
    }
    return votes;
}

bool TraditionalChineseLocale() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            const std::string_view locale(value);
            return locale.starts_with("zh_TW") || locale.starts_with("zh_HK");
        }
    }
    return false;
}

}  // namespace qs

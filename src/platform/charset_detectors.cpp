#include "platform/charset_detectors.h"

#include <uchardet/uchardet.h>
#include <unicode/ucsdet.h>

#include <cstdlib>
#include <memory>

namespace qs {
namespace {

struct DetectorCloser {
    void operator()(UCharsetDetector* d) const { ucsdet_close(d); }
    void operator()(uchardet_t u) const { uchardet_delete(u); }
};

}  // namespace

CharsetVotes DetectCharsets(std::string_view sample) {
    CharsetVotes votes;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCharsetDetector, DetectorCloser> icu(ucsdet_open(&status));
    if (U_SUCCESS(status)) {
        ucsdet_setText(icu.get(), sample.data(), static_cast<int32_t>(sample.size()), &status);
        int32_t count = 0;
        const UCharsetMatch** matches = ucsdet_detectAll(icu.get(), &count, &status);
        for (int32_t i = 0; U_SUCCESS(status) && i < count; ++i) {
            const char* name = ucsdet_getName(matches[i], &status);
            const int32_t confidence = ucsdet_getConfidence(matches[i], &status);
            if (U_SUCCESS(status) && name != nullptr) {
                votes.icu.push_back({name, confidence});
            }
        }
    }
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, DetectorCloser> u(uchardet_new());
    if (u && uchardet_handle_data(u.get(), sample.data(), sample.size()) == 0) {
        uchardet_data_end(u.get());
        const char* name = uchardet_get_charset(u.get());
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

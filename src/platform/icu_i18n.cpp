#include "platform/icu_i18n.h"

namespace qs {
namespace {

bool BindIcuI18n(LoadedLibrary& library, IcuI18nApi& api) {
    return QS_BIND(library, api, ucsdet_open) && QS_BIND(library, api, ucsdet_close) &&
           QS_BIND(library, api, ucsdet_setText) && QS_BIND(library, api, ucsdet_detectAll) &&
           QS_BIND(library, api, ucsdet_getName) && QS_BIND(library, api, ucsdet_getConfidence) &&
           QS_BIND(library, api, uregex_open) && QS_BIND(library, api, uregex_close) &&
           QS_BIND(library, api, uregex_setText) && QS_BIND(library, api, uregex_find) &&
           QS_BIND(library, api, uregex_start) && QS_BIND(library, api, uregex_end);
}

}  // namespace

const IcuI18nApi* IcuI18n(std::string& why) {
    static LoadedApi<IcuI18nApi> api(QS_LIBICUI18N_SONAME, BindIcuI18n);
    return api.Get(why);
}

}  // namespace qs

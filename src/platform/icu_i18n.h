#pragma once

#include <unicode/ucsdet.h>
#include <unicode/uregex.h>

#include <string>

#include "platform/loaded_library.h"

namespace qs {

// The functions of ICU's i18n library that the program uses: the charset detector and the
// regular expressions. Most runs (UTF-8 or marked text, no expression) need neither, and
// the library is loaded when first asked for.
struct IcuI18nApi {
    QS_FUNCTION(ucsdet_open);
    QS_FUNCTION(ucsdet_close);
    QS_FUNCTION(ucsdet_setText);
    QS_FUNCTION(ucsdet_detectAll);
    QS_FUNCTION(ucsdet_getName);
    QS_FUNCTION(ucsdet_getConfidence);
    QS_FUNCTION(uregex_open);
    QS_FUNCTION(uregex_close);
    QS_FUNCTION(uregex_setText);
    QS_FUNCTION(uregex_find);
    QS_FUNCTION(uregex_start);
    QS_FUNCTION(uregex_end);
};

// Null with why set when the library cannot be loaded.
const IcuI18nApi* IcuI18n(std::string& why);

}  // namespace qs

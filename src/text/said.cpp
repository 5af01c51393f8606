#include "text/said.h"

#include <cstdlib>

namespace qs {

bool ChineseLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            return std::string_view(value).substr(0, 2) == "zh";
        }
    }
    return false;
}

std::string Say(std::string_view chinese, std::string_view english) {
    static const bool chinese_locale = ChineseLocale();
    return std::string(chinese_locale ? chinese : english);
}

}  // namespace qs

#include "text/chinese_text.h"

#include <string>

namespace qs {

std::optional<Text> ConvertChinese(std::string_view text, ZhConversion how) {
    if (how == ZhConversion::None || text.empty()) {
        return Text(text);
    }
    std::string utf8;
    if (!InternalToUtf8(text, utf8)) {
        return std::nullopt;
    }
    const std::optional<std::string> converted = Zh().ConvertUtf8(utf8, how);
    Text internal;
    if (!converted || !Utf8ToInternal(*converted, internal)) {
        return std::nullopt;
    }
    return internal;
}

}  // namespace qs

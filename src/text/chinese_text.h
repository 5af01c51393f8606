#pragma once

#include <optional>
#include <string_view>

#include "platform/chinese_converter.h"
#include "platform/code_page.h"

namespace qs {

// The internal text 繁简-converted. nullopt when the converter cannot do it (not built in).
std::optional<Text> ConvertChinese(std::string_view text, ZhConversion how);

}  // namespace qs

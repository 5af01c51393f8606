#pragma once

#include <string>
#include <string_view>

namespace qs {

// Whether the locale (LC_ALL, else LC_MESSAGES, else LANG) is a Chinese one.
bool ChineseLocale();

// The first text where the locale is Chinese, else the second (both UTF-8).
std::string Say(std::string_view chinese, std::string_view english);

}  // namespace qs

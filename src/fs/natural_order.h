#pragma once

#include <string_view>

namespace qs {

// The order in which folder entries are listed: runs of ASCII digits compare by their
// value (第2章 before 第10章), other characters with ASCII letters folded to lower case and
// then by their bytes; names that are equal so far are ordered by their plain bytes, so
// the order is total.
bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace qs

#pragma once

#include <string_view>

namespace qs {

// The order in which folder entries are listed: numbers compare by their value, whether
// written in ASCII digits, full-width digits or Chinese numerals (第2章 = 第二章 = 第２章,
// before 第十章, before 第一百零一章), and sort where ASCII digits do; other characters
// compare with ASCII letters folded to lower case and then by their bytes. Names that are
// equal so far are ordered by their plain bytes, so the order is total.
bool NaturalLess(std::string_view a, std::string_view b);

}  // namespace qs

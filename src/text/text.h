#pragma once

#include <string_view>

#include "platform/code_page.h"

namespace qs {

// The program's own literals are written in UTF-8 in the source; this turns one into an
// internal text. Results are cached, so calling it in a loop costs one hash lookup.
const Text& U(std::string_view utf8);

}  // namespace qs

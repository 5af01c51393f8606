#pragma once

#include <string_view>

#include "text/text.h"

namespace qs {

// The data re-encoded from one charset into another, exactly, by the program's converter:
// bytes invalid in the source charset or characters the target cannot represent make it
// fail. Empty on failure or for empty data. No byte-order mark is added or removed.
Bytes ConvertCharset(std::string_view data, std::string_view fromCharset,
                     std::string_view toCharset);

// The verdict of the program's UTF-8 test (Utf8Scan) on the whole of the bytes.
bool IsUtf8Text(std::string_view bytes);

}  // namespace qs

#pragma once

#include <optional>
#include <string_view>

#include "platform/code_page.h"

namespace qs {

// Table-driven conversions between UTF-8 (or UTF-16LE) and GB18030 for the characters of the basic
// plane, the bulk of every Chinese text. The tables are taken from ICU's own converter and
// checked against it, so a result is exactly what ICU gives. nullopt means "not handled
// here" (a character outside the tables, malformed input, tables unavailable), never
// "invalid": the caller then converts with ICU, which decides.
std::optional<Bytes> TableUtf8ToGb18030(std::string_view data);
std::optional<Bytes> TableGb18030ToUtf8(std::string_view data);
// Whether TableGb18030ToUtf8 converts data, found without converting it.
bool TableReadsGb18030(std::string_view data);
// The same for UTF-16LE without a byte-order mark.
std::optional<Bytes> TableUtf16LeToGb18030(std::string_view data);
std::optional<Bytes> TableGb18030ToUtf16Le(std::string_view data);

}  // namespace qs

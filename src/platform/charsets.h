#pragma once

#include <optional>
#include <string_view>

#include "platform/code_page.h"

namespace qs {

// Charset conversion. Conversions are strict: bytes that are invalid in the source charset,
// or characters the target charset cannot represent, make the whole conversion fail
// (nullopt) instead of being substituted. No byte-order mark is added or removed.
class Charsets {
public:
    virtual ~Charsets() = default;
    virtual std::optional<Bytes> Convert(std::string_view data, std::string_view fromCharset,
                                         std::string_view toCharset) = 0;
    // Whether data converts from charset into Unicode: Convert's answer, where the result
    // is not wanted.
    virtual bool Decodes(std::string_view data, std::string_view charset) {
        return Convert(data, charset, "UTF-8").has_value();
    }
};

}  // namespace qs

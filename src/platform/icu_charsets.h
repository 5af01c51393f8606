#pragma once

#include "platform/charsets.h"

namespace qs {

// Strict conversions with ICU converters (stop on invalid or unmappable input).
class IcuCharsets : public Charsets {
public:
    std::optional<Bytes> Convert(std::string_view data, std::string_view fromCharset,
                                 std::string_view toCharset) override;
    bool Decodes(std::string_view data, std::string_view charset) override;
};

}  // namespace qs

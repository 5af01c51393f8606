#pragma once

#include <optional>
#include <string_view>

#include "encoding/text_format.h"
#include "platform/chinese_converter.h"
#include "text/chinese_text.h"
#include "text/text.h"

namespace qs {

// "utf-8", "utf-8-mark", "gb18030", "gbk", "big5", "big5-hkscs", "utf-16le", "utf-16be"
// (UTF-16 always with its mark; "gbk" the internal code page held to GBK); nullopt for any other
// name.
std::optional<TextFormat> ParseOutputEncoding(std::string_view name);
// The names ParseOutputEncoding takes, in that order, each after a "|" but the first.
std::string_view OutputEncodingNames();

// What happens to a text output on its way to the file.
struct OutputRequest {
    std::optional<TextFormat> encoding;  // none: the source's own, as always
    ZhConversion zh = ZhConversion::None;

    bool Empty() const { return !encoding && zh == ZhConversion::None; }
};

// The bytes of a text output: converted as asked, then encoded in the requested encoding,
// or in the source's format as without a request. nullopt when either step fails: such an
// output must not be written.
std::optional<Bytes> EncodeOutputText(std::string_view text, const TextFormat& source,
                                      const OutputRequest& request);

// Once the text failed to encode: its first character that has no form in the output (its
// conversion fails or gives no bytes); empty when no one character can be told. It costs a
// conversion a character.
Text FirstRefusedCharacter(std::string_view text, const TextFormat& source,
                           const OutputRequest& request);

}  // namespace qs

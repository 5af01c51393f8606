#pragma once

#include <optional>
#include <string_view>

#include "encoding/text_decoder.h"
#include "platform/chinese_converter.h"
#include "text/chinese_text.h"
#include "text/text.h"

namespace qs {

// An encoding chosen for the outputs instead of each source's own.
struct OutputEncoding {
    std::string_view charset;  // as the charset converter names it
    bool mark = false;         // a byte-order mark in front
};

// "utf-8", "utf-8-mark", "gb18030", "gbk", "big5", "big5-hkscs", "utf-16le", "utf-16be"
// (UTF-16 always with its mark); nullopt for any other name.
std::optional<OutputEncoding> ParseOutputEncoding(std::string_view name);

// What happens to a text output on its way to the file.
struct OutputRequest {
    std::optional<OutputEncoding> encoding;  // none: the source's own, as always
    ZhConversion zh = ZhConversion::None;

    bool Empty() const { return !encoding && zh == ZhConversion::None; }
};

// The internal text in the encoding, exactly: nullopt when a character cannot be held
// (an emoji in GBK or Big5) — nothing is ever replaced by "?". An empty text gives no bytes.
std::optional<Bytes> EncodeTextStrict(std::string_view text, const OutputEncoding& encoding);

// The bytes of a text output: converted as asked, then encoded in the requested encoding,
// or in the source's (sourceEncoding, sourceHadMark) as without a request. nullopt when
// either step fails: such an output must not be written.
std::optional<Bytes> EncodeOutputText(std::string_view text, TextEncoding sourceEncoding,
                                      bool sourceHadMark, const OutputRequest& request);

}  // namespace qs

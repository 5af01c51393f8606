#include "encoding/output_text.h"

#include "encoding/charset_converter.h"
#include "platform/services.h"

namespace qs {

std::optional<OutputEncoding> ParseOutputEncoding(std::string_view name) {
    const std::pair<std::string_view, OutputEncoding> names[] = {
        {"utf-8", {"UTF-8", false}},      {"utf-8-mark", {"UTF-8", true}},
        {"gb18030", {"GB18030", false}},  {"gbk", {"GBK", false}},
        {"big5", {"BIG5", false}},        {"big5-hkscs", {"BIG5-HKSCS", false}},
        {"utf-16le", {"UTF-16LE", true}}, {"utf-16be", {"UTF-16BE", true}},
    };
    for (const auto& [text, encoding] : names) {
        if (name == text) {
            return encoding;
        }
    }
    return std::nullopt;
}

std::optional<Bytes> EncodeTextStrict(std::string_view text, const OutputEncoding& encoding) {
    if (text.empty()) {
        return Bytes();
    }
    std::optional<Bytes> converted;
    if (encoding.charset == InternalCharset()) {
        converted = Bytes(text);
    } else {
        converted = Conv().Convert(text, InternalCharset(), encoding.charset);
    }
    if (!converted) {
        return std::nullopt;
    }
    if (!encoding.mark) {
        return converted;
    }
    const std::string_view mark = encoding.charset == "UTF-8"      ? "\xEF\xBB\xBF"
                                  : encoding.charset == "UTF-16LE" ? "\xFF\xFE"
                                                                   : "\xFE\xFF";
    return Bytes(mark) + *converted;
}

std::optional<Bytes> EncodeOutputText(std::string_view text, TextEncoding sourceEncoding,
                                      bool sourceHadMark, const OutputRequest& request) {
    const std::optional<Text> converted = ConvertChinese(text, request.zh);
    if (!converted) {
        return std::nullopt;
    }
    if (request.encoding) {
        return EncodeTextStrict(*converted, *request.encoding);
    }
    if (sourceEncoding >= EncodingUtf8 && sourceEncoding <= EncodingBig5Hkscs) {
        // A 繁简 conversion can make characters the source's encoding has no room for.
        const std::string_view charset = CharsetName(sourceEncoding);
        const bool mark = sourceHadMark && !ByteOrderMark(sourceEncoding).empty();
        return EncodeTextStrict(*converted, OutputEncoding{charset, mark});
    }
    return *converted;
}

}  // namespace qs

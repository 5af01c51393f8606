#include "encoding/charset_converter.h"

#include "platform/services.h"

namespace qs {

std::string_view ByteOrderMark(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8:
            return "\xEF\xBB\xBF";
        case TextEncoding::Utf16Le:
            return "\xFF\xFE";
        case TextEncoding::Utf16Be:
            return "\xFE\xFF";
        default:
            return {};
    }
}

std::optional<Bytes> EncodeText(std::string_view text, const TextFormat& format) {
    const std::string_view charset = CharsetName(format.encoding);
    if (text.empty() || charset.empty()) {
        return Bytes(text);
    }
    std::optional<Bytes> converted = Conv().Convert(text, InternalCharset(), charset);
    if (!converted || !format.mark) {
        return converted;
    }
    return Bytes(ByteOrderMark(format.encoding)) + *converted;
}

}  // namespace qs

#include "encoding/charset_converter.h"

#include "platform/services.h"

namespace qs {

std::string_view ByteOrderMark(TextEncoding encoding) {
    switch (encoding) {
        case EncodingUtf8:
            return "\xEF\xBB\xBF";
        case EncodingUtf16Le:
            return "\xFF\xFE";
        case EncodingUtf16Be:
            return "\xFE\xFF";
        default:
            return {};
    }
}

Bytes ConvertCharset(std::string_view data, std::string_view fromCharset,
                     std::string_view toCharset) {
    if (data.empty()) {
        return {};
    }
    std::optional<Bytes> converted = Conv().Convert(data, fromCharset, toCharset);
    if (!converted) {
        return {};
    }
    return std::move(*converted);
}

Bytes EncodeText(std::string_view text, TextEncoding encoding, bool withMark) {
    // Nothing is lost this way: a text the encoding cannot hold goes out in the internal
    // code page instead.
    return EncodeTextExactly(text, encoding, withMark).value_or(Bytes(text));
}

std::optional<Bytes> EncodeTextExactly(std::string_view text, TextEncoding encoding,
                                       bool withMark) {
    const std::string_view charset = CharsetName(encoding);
    if (charset.empty() || text.empty()) {
        return Bytes(text);
    }
    Bytes converted = ConvertCharset(text, InternalCharset(), charset);
    if (converted.empty()) {
        return std::nullopt;
    }
    const std::string_view mark = withMark ? ByteOrderMark(encoding) : std::string_view();
    if (mark.empty()) {
        return converted;
    }
    Bytes bytes;
    bytes.reserve(mark.size() + converted.size());
    bytes += mark;
    bytes += converted;
    return bytes;
}

bool WriteTextFileEncoded(const Text& path, std::string_view text, TextEncoding encoding,
                          Bytes* written, bool withMark) {
    Bytes bytes = EncodeText(text, encoding, withMark);
    const bool ok = !path.empty() && Fs().WriteWholeFile(path, bytes);
    if (written != nullptr) {
        *written = std::move(bytes);
    }
    return ok;
}

}  // namespace qs

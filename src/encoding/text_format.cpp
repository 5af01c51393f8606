#include "encoding/text_format.h"

namespace qs {

std::string_view CharsetName(TextEncoding encoding) {
    switch (encoding) {
        case EncodingUtf8:
            return "UTF-8";
        case EncodingUtf16Le:
            return "UTF-16LE";
        case EncodingUtf16Be:
            return "UTF-16BE";
        case EncodingBig5:
            return "BIG5";
        case EncodingBig5Hkscs:
            return "BIG5-HKSCS";
        case EncodingGbk:
            return "GBK";
        default:
            return {};
    }
}

TextFormat FormatOf(const TextFormat& written) {
    TextFormat format = written;
    if (format.encoding == EncodingGbk) {
        format.encoding = EncodingRaw;
    }
    return format;
}

}  // namespace qs

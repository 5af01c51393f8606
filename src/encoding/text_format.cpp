#include "encoding/text_format.h"

namespace qs {

std::string_view CharsetName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8:
            return "UTF-8";
        case TextEncoding::Utf16Le:
            return "UTF-16LE";
        case TextEncoding::Utf16Be:
            return "UTF-16BE";
        case TextEncoding::Big5:
            return "BIG5";
        case TextEncoding::Big5Hkscs:
            return "BIG5-HKSCS";
        case TextEncoding::Gbk:
            return "GBK";
        default:
            return {};
    }
}

TextFormat FormatOf(const TextFormat& written) {
    TextFormat format = written;
    if (format.encoding == TextEncoding::Gbk) {
        format.encoding = TextEncoding::Gb18030;
    }
    return format;
}

}  // namespace qs

#include "encoding/text_format.h"

namespace qs {

TextFormat FormatOf(const OutputEncoding& encoding) {
    for (TextEncoding code = EncodingUtf8; code <= EncodingBig5Hkscs; ++code) {
        if (CharsetName(code) == encoding.charset) {
            return {code, encoding.mark};
        }
    }
    return {EncodingRaw, false};
}

}  // namespace qs

// Encoding arbitrary internal texts: whatever EncodeText writes decodes back to the text,
// either through the charset it names or as the raw bytes it fell back to.
#include <cstdint>
#include <string>

#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "fuzz_input.h"

using namespace qs;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const TextEncoding encoding = data[0] % 8;  // 7 is no code at all
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const Bytes encoded = EncodeText(text, encoding);
    if (text.empty()) {
        QS_FUZZ_CHECK(encoded.empty());
        return 0;
    }
    const std::string_view mark = ByteOrderMark(encoding);
    if (!mark.empty() && encoded.starts_with(mark) && encoded != text) {
        // Converted: a forced decoding of that code gives the text back exactly.
        const DecodedText back = DecodeBytes(encoded, encoding);
        QS_FUZZ_CHECK(back.encoding == encoding);
        QS_FUZZ_CHECK(back.text == text);
        // And detection finds the mark.
        const DecodedText detected = DecodeBytes(encoded);
        QS_FUZZ_CHECK(detected.encoding == encoding);
        QS_FUZZ_CHECK(detected.text == text);
    } else if (encoding == EncodingBig5 || encoding == EncodingBig5Hkscs) {
        if (encoded != text) {
            const DecodedText back = DecodeBytes(encoded, encoding);
            QS_FUZZ_CHECK(back.encoding == encoding);
            QS_FUZZ_CHECK(back.text == text);
        }
    } else {
        // Not representable (or a code without charset): the internal bytes unchanged.
        QS_FUZZ_CHECK(encoded == text);
    }
    return 0;
}

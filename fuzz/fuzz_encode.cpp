// Encoding arbitrary internal texts: an encoding is exact or refused, and whatever is written
// decodes back to the text, by the encoding it names and by detection where a mark says it.
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
    const TextFormat format{static_cast<TextEncoding>(2 + data[0] % 5), (data[0] & 0x80) != 0};
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::optional<Bytes> encoded = EncodeText(text, format);
    if (!encoded) {
        return 0;  // refused: a character the encoding has no form for, or no internal text
    }
    if (text.starts_with("\x84\x31\x95\x33")) {
        return 0;  // a leading U+FEFF reads back as the mark it looks like
    }
    const DecodedText back = DecodeBytes(*encoded, format.encoding);
    QS_FUZZ_CHECK(back.exact && back.text == text);
    if (format.mark && !text.empty() && !ByteOrderMark(format.encoding).empty()) {
        const DecodedText detected = DecodeBytes(*encoded);
        QS_FUZZ_CHECK(detected.format.encoding == format.encoding && detected.text == text);
    }
    return 0;
}

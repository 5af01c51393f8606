// Decoding arbitrary bytes: either no encoding reads them (and the text is then the bytes
// themselves), or the text encodes back to the body that was read; where a few bytes are
// damaged, the text keeps them and writing it back in its encoding restores the file.
#include <cstdint>
#include <string>

#include "encoding/charset_converter.h"
#include "encoding/damaged_text.h"
#include "encoding/text_decoder.h"
#include "fuzz_input.h"

using namespace qs;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the request: mostly detection, sometimes a named encoding.
    const TextEncoding requested =
        data[0] < 128 ? TextEncoding::Undetected : static_cast<TextEncoding>(data[0] % 7);
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    const DecodedText decoded = DecodeBytes(bytes, requested);
    QS_FUZZ_CHECK(decoded.opened);
    const TextFormat format = decoded.format;
    if (!decoded.exact && decoded.damage.Any()) {
        QS_FUZZ_CHECK(decoded.damage.offset >= 0 && decoded.damage.offset + decoded.damage.bytes <=
                                                        static_cast<std::int64_t>(bytes.size()));
        if (requested != TextEncoding::Undetected) {
            QS_FUZZ_CHECK(format.encoding == requested);
        }
        const std::optional<Bytes> kept = EncodeTextKeepingBytes(decoded.text, format);
        QS_FUZZ_CHECK(kept.has_value());
        // Big5 byte pairs that share a character come back as one of them, and the pairs
        // around a kept byte may then fall otherwise: only the other encodings are exact.
        if (format.encoding != TextEncoding::Big5 && format.encoding != TextEncoding::Big5Hkscs) {
            QS_FUZZ_CHECK(*kept == bytes);
        }
        return 0;
    }
    if (!decoded.exact) {
        QS_FUZZ_CHECK(decoded.text == bytes);
        return 0;
    }
    if (format.encoding == TextEncoding::Gb18030 || format.encoding == TextEncoding::Undetected) {
        QS_FUZZ_CHECK(decoded.text == bytes);
        return 0;
    }
    QS_FUZZ_CHECK(format.encoding >= TextEncoding::Gb18030 &&
                  format.encoding <= TextEncoding::Big5Hkscs);
    if (requested != TextEncoding::Undetected) {
        QS_FUZZ_CHECK(format.encoding == requested);
    }
    // Only the encoding's own mark is ever skipped.
    const std::string_view mark = ByteOrderMark(format.encoding);
    QS_FUZZ_CHECK(!format.mark || bytes.starts_with(mark));
    const std::string_view body = bytes.substr(format.mark ? mark.size() : 0);
    if (decoded.text.empty()) {
        QS_FUZZ_CHECK(body.empty());
        return 0;
    }
    const std::optional<Bytes> encoded = EncodeText(decoded.text, format);
    QS_FUZZ_CHECK(encoded.has_value());
    if (format.encoding == TextEncoding::Big5 || format.encoding == TextEncoding::Big5Hkscs) {
        // Big5 has byte pairs that share one character, so only the text is a fixed point.
        const DecodedText again = DecodeBytes(*encoded, format.encoding);
        QS_FUZZ_CHECK(again.exact && again.format.encoding == format.encoding);
        QS_FUZZ_CHECK(again.text == decoded.text);
    } else {
        // UTF-8 and UTF-16 go through GB18030, which holds every code point exactly once.
        QS_FUZZ_CHECK(*encoded == std::string(format.mark ? mark : "") + std::string(body));
    }
    return 0;
}

// Decoding arbitrary bytes: the code is always a real one, and the text is either the
// bytes themselves (code 1) or an exact conversion that encodes back to the same body (a
// mark alone: the empty text).
#include <cstdint>
#include <string>

#include "encoding/charset_converter.h"
#include "encoding/text_decoder.h"
#include "fuzz_input.h"

using namespace qs;

namespace {

// Where the body starts: the decoder skips a recognised mark, and a forced UTF-16 skips two
// bytes whatever they are.
std::size_t BodyStart(std::string_view bytes, TextEncoding requested, TextEncoding found) {
    if (requested == EncodingUtf16Le || requested == EncodingUtf16Be) {
        return std::min<std::size_t>(2, bytes.size());
    }
    if (requested == EncodingUndetected || requested == EncodingUtf8) {
        const std::string_view mark = ByteOrderMark(found);
        if (!mark.empty() && bytes.starts_with(mark)) {
            return mark.size();
        }
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the request: mostly detection, sometimes a forced code.
    const TextEncoding requested = data[0] < 128 ? EncodingUndetected : data[0] % 7;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    const DecodedText decoded = DecodeBytes(bytes, requested);
    QS_FUZZ_CHECK(decoded.opened);
    QS_FUZZ_CHECK(decoded.encoding >= EncodingRaw && decoded.encoding <= EncodingBig5Hkscs);
    if (requested != EncodingUndetected && decoded.encoding != EncodingRaw) {
        QS_FUZZ_CHECK(decoded.encoding == requested);
    }
    if (decoded.encoding == EncodingRaw) {
        QS_FUZZ_CHECK(decoded.text == bytes);
        return 0;
    }
    if (decoded.text.empty()) {
        // Only a mark alone decodes to an empty text.
        QS_FUZZ_CHECK(requested == EncodingUndetected && decoded.hadMark);
        QS_FUZZ_CHECK(bytes == ByteOrderMark(decoded.encoding));
        return 0;
    }

    // A mark was skipped exactly when the body does not start at the first byte.
    const std::size_t bodyStart = BodyStart(bytes, requested, decoded.encoding);
    QS_FUZZ_CHECK(decoded.hadMark == (bodyStart > 0));
    const std::string_view body = bytes.substr(bodyStart);
    const Bytes encoded = EncodeText(decoded.text, decoded.encoding, decoded.hadMark);
    if (decoded.encoding == EncodingBig5 || decoded.encoding == EncodingBig5Hkscs) {
        // Big5 has byte pairs that share one character, so only the text is a fixed point.
        const DecodedText again = DecodeBytes(encoded, decoded.encoding);
        QS_FUZZ_CHECK(again.encoding == decoded.encoding);
        QS_FUZZ_CHECK(again.text == decoded.text);
    } else {
        // UTF-8 and UTF-16 go through GB18030, which holds every code point exactly once.
        const std::string mark(decoded.hadMark ? ByteOrderMark(decoded.encoding) : "");
        QS_FUZZ_CHECK(encoded == mark + std::string(body));
    }
    return 0;
}

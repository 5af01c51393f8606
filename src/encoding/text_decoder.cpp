#include "encoding/text_decoder.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "encoding/charset_converter.h"
#include "encoding/encoding_guess.h"
#include "encoding/html_charset.h"
#include "encoding/utf8_block_scan.h"
#include "platform/services.h"

namespace qs {

namespace {

// How many bytes the UTF-8 scan examines between two calls that keep the window alive.
constexpr std::size_t kEventStride = std::size_t{1} << 20;
// The same for a plain byte search.
constexpr std::size_t kScanStride = std::size_t{16} << 20;

struct Detection {
    TextEncoding encoding = EncodingUndetected;
    std::optional<Bytes> converted;
    bool hadMark = false;
    bool exact = true;
};

// The first position of byte c, or npos; keeps the window alive while it scans large data.
std::size_t FindByte(std::string_view text, char c) {
    for (std::size_t at = 0; at < text.size(); at += kScanStride) {
        if (at > 0) {
            Ui().ProcessPendingEvents();
        }
        const std::size_t length = std::min(kScanStride, text.size() - at);
        if (const void* hit = std::memchr(text.data() + at, c, length)) {
            return static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        }
    }
    return std::string_view::npos;
}

// What the HTML test sees: the text up to its first zero byte or 0x1A byte. This limit is
// for detection only; the decoded text keeps every byte. Without a "<" it has nothing to
// find, and gets nothing to look at.
std::string_view HtmlDetectionInput(std::string_view all) {
    std::string_view input = all.substr(0, std::min(FindByte(all, 0), all.size()));
    input = input.substr(0, std::min(FindByte(input, 0x1A), input.size()));
    return FindByte(input, '<') == std::string_view::npos ? std::string_view() : input;
}

// Whether the body decodes exactly in the encoding (into plain text, for a guess); converted
// receives the text unless it is the body itself (code 1).
bool DecodesExactly(std::string_view body, TextEncoding encoding, bool guessed,
                    std::optional<Bytes>& converted) {
    converted.reset();
    if (encoding == EncodingRaw) {
        return (!guessed || IsPlainText(body, encoding)) &&
               (body.empty() || Conv().Convert(body, InternalCharset(), "UTF-8").has_value());
    }
    converted = Conv().Convert(body, CharsetName(encoding), InternalCharset());
    return converted && !converted->empty() && (!guessed || IsPlainText(*converted, encoding));
}

// Decides the encoding and converts the body; no converted text means the caller takes the
// source's own bytes with code 1, as the text when exact holds.
Detection Detect(std::string_view all, TextEncoding requested, bool userSaid = false) {
    Detection result;
    TextEncoding code = requested;
    std::size_t bodyStart = 0;
    const std::string_view mark = ByteOrderMark(code);
    TextEncoding declared = EncodingUndetected;
    if (code == EncodingUndetected) {
        if (all.starts_with(ByteOrderMark(EncodingUtf8))) {
            code = EncodingUtf8;
            bodyStart = 3;
        } else if (all.starts_with(ByteOrderMark(EncodingUtf16Le))) {
            code = EncodingUtf16Le;
            bodyStart = 2;
        } else if (all.starts_with(ByteOrderMark(EncodingUtf16Be))) {
            code = EncodingUtf16Be;
            bodyStart = 2;
        } else {
            declared = DeclaredEncoding(all);
        }
    } else if (userSaid) {
        // What the user says the sources are in; only its own mark is skipped.
        bodyStart = !mark.empty() && all.starts_with(mark) ? mark.size() : 0;
    } else if (code == EncodingUtf16Le || code == EncodingUtf16Be) {
        // A forced UTF-16 skips two bytes, whatever they are.
        bodyStart = std::min<std::size_t>(2, all.size());
    } else if (code == EncodingUtf8 && all.starts_with(ByteOrderMark(EncodingUtf8))) {
        bodyStart = 3;
    }

    const std::string_view body = all.substr(bodyStart);
    if (requested == EncodingUndetected && bodyStart > 0 && body.empty()) {
        // A mark alone (what an editor saves for an empty text) is an empty text, not three
        // characters of the internal code page.
        result.encoding = code;
        result.converted.emplace();
        result.hadMark = true;
        return result;
    }
    if (body.empty()) {
        return result;
    }
    std::vector<TextEncoding> tries;
    std::size_t firstGuess = 1;  // tries from this one on are guesses
    if (code != EncodingUndetected) {
        tries.push_back(code);
    } else {
        // A declaration is trusted only where it decodes the body; then the UTF-8 pattern,
        // plain ASCII, or the guess.
        if (declared != EncodingUndetected) {
            tries.push_back(declared);
        }
        Utf8Scan scan;
        for (std::size_t at = 0; at < body.size(); at += kEventStride) {
            if (at > 0) {
                Ui().ProcessPendingEvents();
            }
            scan.Feed(body.substr(at, kEventStride));
        }
        if (scan.Plausible()) {
            tries.push_back(EncodingUtf8);
        } else if (scan.AllAscii() && FindByte(body, 0) == std::string_view::npos) {
            tries.push_back(EncodingRaw);
        } else {
            firstGuess = tries.size();
            const std::vector<TextEncoding> guesses =
                GuessEncodings(body.substr(0, kGuessSampleBytes), body.size() <= kGuessSampleBytes);
            tries.insert(tries.end(), guesses.begin(), guesses.end());
        }
    }
    for (std::size_t i = 0; i < tries.size(); ++i) {
        const TextEncoding candidate = tries[i];
        if (DecodesExactly(body, candidate, i >= firstGuess, result.converted)) {
            result.encoding = candidate;
            result.hadMark = bodyStart > 0;
            return result;
        }
    }
    result.converted.reset();
    result.exact = false;
    return result;
}

TextEncoding g_sourceEncoding = EncodingUndetected;

}  // namespace

void SetSourceEncoding(TextEncoding encoding) {
    g_sourceEncoding = encoding;
}

TextEncoding SourceEncoding() {
    return g_sourceEncoding;
}

TextEncoding DeclaredEncoding(std::string_view all) {
    const std::string_view input = HtmlDetectionInput(all);
    switch (DetectHtmlCharset(input)) {
        case HtmlCharsetUtf8:
            return EncodingUtf8;
        case HtmlCharsetBig5:
            return EncodingBig5;
        case HtmlCharsetBig5Hkscs:
            return EncodingBig5Hkscs;
        default:
            break;
    }
    const Text name = XmlDeclaredEncodingName(input);
    if (name == "utf-8") {
        return EncodingUtf8;
    }
    if (name == "big5") {
        return EncodingBig5;
    }
    if (name == "big5-hkscs") {
        return EncodingBig5Hkscs;
    }
    if (name == "gb2312" || name == "gbk" || name == "gb18030") {
        return EncodingRaw;
    }
    return EncodingUndetected;
}

DecodedText DecodeTextFile(const Text& path, TextEncoding requested) {
    if (path.empty()) {
        return {};
    }
    std::optional<Bytes> source = Fs().ReadWholeFile(path);
    if (!source) {
        return {};
    }
    const bool userSaid = requested == EncodingUndetected && g_sourceEncoding != EncodingUndetected;
    Detection detection = Detect(*source, userSaid ? g_sourceEncoding : requested, userSaid);
    if (detection.converted) {
        return {std::move(*detection.converted), {detection.encoding, detection.hadMark}, true};
    }
    if (userSaid && detection.exact) {
        return {std::move(*source), {detection.encoding, detection.hadMark}, true};
    }
    return {std::move(*source), {EncodingRaw, false}, true, detection.exact};
}

DecodedText DecodeBytes(std::string_view bytes, TextEncoding requested) {
    Detection detection = Detect(bytes, requested);
    if (detection.converted) {
        return {std::move(*detection.converted), {detection.encoding, detection.hadMark}, true};
    }
    return {Text(bytes), {EncodingRaw, false}, true, detection.exact};
}

bool IsUtf8Text(std::string_view bytes) {
    Utf8Scan scan;
    for (std::size_t at = 0; at < bytes.size(); at += kEventStride) {
        if (at > 0) {
            Ui().ProcessPendingEvents();
        }
        scan.Feed(bytes.substr(at, kEventStride));
    }
    return scan.Plausible();
}

void Utf8Scan::Check(const unsigned char* s, std::size_t length) {
    const unsigned lead = s[0];
    const unsigned next = s[1];
    const bool exact =
        (length == 2 && lead >= 0xC2) ||
        (length == 3 && !(lead == 0xE0 && next < 0xA0) && !(lead == 0xED && next > 0x9F)) ||
        (length == 4 && !(lead == 0xF0 && next < 0x90) && !(lead == 0xF4 && next > 0x8F));
    m_exact = m_exact && exact;
}

void Utf8Scan::Feed(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    // First the rest of a sequence that the previous slice cut.
    while (m_plausible && m_have > 0 && m_have < sizeof m_pending && i < n) {
        m_pending[m_have++] = p[i];
        if ((p[i++] & 0xC0) != 0x80) {
            m_plausible = false;
        } else if (m_have == m_need) {
            Check(m_pending, m_need);
            m_have = 0;
        }
    }
    std::size_t wideFrom = i;  // where the block scan may look again
    while (m_plausible && i < n) {
        if (i >= wideFrom) {
            bool nonAscii = false;
            i += Utf8BlockPrefix(p + i, n - i, m_exact, nonAscii);
            m_sawNonAscii = m_sawNonAscii || nonAscii;
            // It stopped before a fault or the end: the bytes up to them go one by one.
            wideFrom = i + 67;
        }
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if (word & 0x8080808080808080ULL) {
                break;
            }
            i += 8;
        }
        while (i < n && p[i] < 0x80) {
            ++i;
        }
        if (i >= n) {
            break;
        }
        const unsigned lead = p[i];
        // The common case of Chinese text, a run of whole three-byte sequences, in a tight loop.
        if ((lead & 0xF0) == 0xE0 && i + 3 <= n) {
            bool exact = true;
            do {
                const unsigned first = p[i];
                const unsigned next = p[i + 1];
                if ((next & 0xC0) != 0x80 || (p[i + 2] & 0xC0) != 0x80) {
                    m_plausible = false;
                    return;
                }
                exact &= !(first == 0xE0 && next < 0xA0) && !(first == 0xED && next > 0x9F);
                i += 3;
            } while (i + 3 <= n && (p[i] & 0xF0) == 0xE0);
            m_exact = m_exact && exact;
            m_sawNonAscii = true;
            continue;
        }
        std::size_t length;
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
        } else {
            m_plausible = false;
            break;
        }
        m_sawNonAscii = true;
        const std::size_t present = std::min(length, n - i);
        for (std::size_t k = 1; k < present; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                m_plausible = false;
                return;
            }
        }
        if (present < length) {
            std::memcpy(m_pending, p + i, present);
            m_have = present;
            m_need = length;
            return;
        }
        Check(p + i, length);
        i += length;
    }
}

}  // namespace qs

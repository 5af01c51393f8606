#include "encoding/damaged_text.h"

#include <algorithm>
#include <vector>

#include "encoding/charset_converter.h"
#include "encoding/encoding_guess.h"
#include "platform/services.h"

namespace qs {
namespace {

// The length of the character that starts at byte i as its charset's structure has it (the
// bytes may still not decode), at most what is left.
std::size_t StructuralLength(TextEncoding encoding, const unsigned char* p, std::size_t i,
                             std::size_t n) {
    const unsigned b = p[i];
    std::size_t length = 1;
    switch (encoding) {
        case TextEncoding::Utf8:
            length = b < 0xC2 ? 1 : (b < 0xE0 ? 2 : (b < 0xF0 ? 3 : (b < 0xF5 ? 4 : 1)));
            break;
        case TextEncoding::Utf16Le:
        case TextEncoding::Utf16Be: {
            const unsigned high = encoding == TextEncoding::Utf16Le && i + 1 < n ? p[i + 1] : b;
            length = high >= 0xD8 && high <= 0xDB ? 4 : 2;
            break;
        }
        case TextEncoding::Gb18030:
            length = b < 0x81 || b == 0xFF
                         ? 1
                         : (i + 1 < n && p[i + 1] >= 0x30 && p[i + 1] <= 0x39 ? 4 : 2);
            break;
        case TextEncoding::Big5:
        case TextEncoding::Big5Hkscs:
            length = b >= 0x81 && b <= 0xFE ? 2 : 1;
            break;
        default:
            break;
    }
    return std::min(length, n - i);
}

// How many bytes a character that does not decode gives up before the reading resumes:
// UTF-16 stays on its two-byte units.
std::size_t BadStep(TextEncoding encoding, std::size_t left) {
    const bool units = encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be;
    return std::min<std::size_t>(units ? 2 : 1, left);
}

// A run that decodes, in the internal code page; nullopt when it does not.
std::optional<Text> DecodeRun(std::string_view run, TextEncoding encoding, bool plain) {
    if (run.empty()) {
        return Text();
    }
    if (encoding == TextEncoding::Gb18030) {
        if (!Conv().Decodes(run, InternalCharset()) || (plain && !IsPlainText(run, encoding))) {
            return std::nullopt;
        }
        return Text(run);
    }
    std::optional<Bytes> converted = Conv().Convert(run, CharsetName(encoding), InternalCharset());
    if (converted && plain && !IsPlainText(*converted, encoding)) {
        return std::nullopt;
    }
    return converted;
}

}  // namespace

std::int64_t DamageAllowed(std::int64_t bodyLength, bool guessed) {
    // Where only the statistics name the encoding, a text too short for them to be evidence
    // has none to spare: a few bad bytes among a handful tell no encoding.
    constexpr std::int64_t kShortestEvidence = 64;
    if (guessed) {
        return bodyLength < kShortestEvidence ? 0 : 2 + bodyLength / 4000;
    }
    return 8 + bodyLength / 1000;
}

Bytes KeptByte(unsigned char byte) {
    return {'\xFE', static_cast<char>(0x30 + (byte >> 6)), static_cast<char>(0x81 + (byte & 0x3F)),
            '\x30'};
}

Bytes KeptUnit(unsigned char first, unsigned char second) {
    unsigned v = unsigned{first} << 8 | second;
    Bytes out(4, '\0');
    out[3] = static_cast<char>(0x30 + v % 10);
    v /= 10;
    out[2] = static_cast<char>(0x81 + v % 126);
    v /= 126;
    out[1] = static_cast<char>(0x30 + v % 10);
    out[0] = static_cast<char>(0xE4 + v / 10);
    return out;
}

std::optional<Bytes> KeptBytesAt(std::string_view text, std::size_t i) {
    if (i + 4 > text.size()) {
        return std::nullopt;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + i;
    if (p[0] == 0xFE && p[1] >= 0x30 && p[1] <= 0x33 && p[2] >= 0x81 && p[2] <= 0xC0 &&
        p[3] == 0x30) {
        return Bytes(1, static_cast<char>((p[1] - 0x30) << 6 | (p[2] - 0x81)));
    }
    if (p[0] < 0xE4 || p[0] > 0xE9 || p[1] < 0x30 || p[1] > 0x39 || p[2] < 0x81 || p[2] > 0xFE ||
        p[3] < 0x30 || p[3] > 0x39) {
        return std::nullopt;
    }
    const unsigned v =
        ((unsigned{p[0]} - 0xE4) * 10 + (p[1] - 0x30)) * 1260 + (p[2] - 0x81) * 10 + (p[3] - 0x30);
    if (v > 0xFFFF) {
        return std::nullopt;
    }
    return Bytes{static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}

std::optional<Text> DecodeKeepingDamage(std::string_view bytes, TextEncoding encoding,
                                        std::int64_t base, TextDamage& damage, bool plain,
                                        std::int64_t stopAfter) {
    if (std::optional<Text> whole = DecodeRun(bytes, encoding, plain)) {
        return whole;
    }
    // The bytes go in windows of whole characters; in a window that does not decode, a
    // binary search over its characters finds the first one that does not.
    constexpr std::size_t kWindow = 4096;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    Text out;
    std::vector<std::size_t> starts;
    std::size_t pos = 0;
    while (pos < n) {
        starts.clear();
        std::size_t j = pos;
        while (j < n && j - pos < kWindow) {
            starts.push_back(j);
            j += StructuralLength(encoding, p, j, n);
        }
        starts.push_back(j);
        if (std::optional<Text> run = DecodeRun(bytes.substr(pos, j - pos), encoding, plain)) {
            out += *run;
            pos = j;
            continue;
        }
        std::size_t good = 0;  // starts[good] - pos bytes decode
        std::size_t bad = starts.size() - 1;
        while (bad - good > 1) {
            const std::size_t mid = (good + bad) / 2;
            if (DecodeRun(bytes.substr(pos, starts[mid] - pos), encoding, plain)) {
                good = mid;
            } else {
                bad = mid;
            }
        }
        // A prefix that decoded once decodes again: this cannot fail where plain holds.
        std::optional<Text> run = DecodeRun(bytes.substr(pos, starts[good] - pos), encoding, plain);
        if (!run) {
            return std::nullopt;
        }
        out += *run;
        pos = starts[good];
        // A character that decodes alone but not after what came before (a control read
        // as plain text) is no damage: the text is not plain.
        if (DecodeRun(bytes.substr(pos, starts[good + 1] - pos), encoding, false) &&
            !DecodeRun(bytes.substr(pos, starts[good + 1] - pos), encoding, plain)) {
            return std::nullopt;
        }
        const std::size_t step = BadStep(encoding, n - pos);
        if (encoding == TextEncoding::Gb18030) {
            out += static_cast<char>(p[pos]);
        } else if (step == 2) {
            out += KeptUnit(p[pos], p[pos + 1]);
        } else {
            out += KeptByte(p[pos]);
        }
        for (std::size_t k = step; k > 0; --k, ++pos) {
            damage.Note(base + static_cast<std::int64_t>(pos));
        }
        if (damage.bytes > stopAfter) {
            return std::nullopt;
        }
    }
    return out;
}

std::optional<Bytes> EncodeTextKeepingBytes(std::string_view text, const TextFormat& format) {
    if (std::optional<Bytes> bytes = EncodeText(text, format)) {
        return bytes;
    }
    if (CharsetName(format.encoding).empty()) {
        return std::nullopt;
    }
    Bytes out(format.mark ? ByteOrderMark(format.encoding) : std::string_view());
    const TextFormat bare{format.encoding, false};
    std::size_t runStart = 0;
    std::size_t i = 0;
    const auto flush = [&](std::size_t end) {
        if (end > runStart) {
            std::optional<Bytes> run = EncodeText(text.substr(runStart, end - runStart), bare);
            if (!run) {
                return false;
            }
            out += *run;
        }
        return true;
    };
    while (i < text.size()) {
        if (const std::optional<Bytes> kept = KeptBytesAt(text, i)) {
            if (!flush(i)) {
                return std::nullopt;
            }
            out += *kept;
            i += 4;
            runStart = i;
        } else {
            i += SequenceLength(text, i);
        }
    }
    if (!flush(text.size())) {
        return std::nullopt;
    }
    return out;
}

}  // namespace qs

#include "encoding/encoding_guess.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "platform/charset_detectors.h"
#include "platform/services.h"

namespace qs {
namespace {

bool AllowedControl(unsigned c) {
    return c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == 0x1A || c == 0x1B;
}

// Code points that Chinese text is made of: ASCII and Latin-1, punctuation and symbols,
// CJK, compatibility and full-width forms.
bool ChineseTextCodePoint(unsigned u) {
    return (u >= 0x20 && u < 0x7F) || AllowedControl(u) || (u >= 0xA0 && u <= 0xFF) ||
           (u >= 0x2000 && u <= 0x2BFF) || (u >= 0x2E80 && u <= 0x9FFF) ||
           (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) ||
           (u >= 0xFF00 && u <= 0xFFEF);
}

// The share (percent) of the sample's UTF-16 code units that Chinese text is made of; -1
// where it cannot be UTF-16 text at all (a broken surrogate pair, a control, a zero).
// asciiPairs: whether a unit of two printable ASCII bytes counts (next to zero bytes, it
// is more likely two ASCII characters).
int Utf16Score(std::string_view sample, bool littleEndian, bool whole, bool asciiPairs) {
    if (whole && sample.size() % 2 != 0) {
        return -1;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(sample.data());
    const std::size_t n = sample.size() & ~std::size_t{1};
    const auto unit = [&](std::size_t i) {
        return littleEndian ? unsigned{p[i]} | unsigned{p[i + 1]} << 8
                            : unsigned{p[i]} << 8 | unsigned{p[i + 1]};
    };
    std::size_t good = 0;
    std::size_t units = 0;
    for (std::size_t i = 0; i < n; i += 2) {
        const unsigned u = unit(i);
        ++units;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 2 >= n) {
                if (whole) {
                    return -1;
                }
                break;
            }
            const unsigned low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF) {
                return -1;
            }
            i += 2;
            ++good;
        } else if ((u >= 0xDC00 && u <= 0xDFFF) || (u < 0x20 && !AllowedControl(u)) ||
                   u == 0xFFFE || u == 0xFFFF) {
            return -1;
        } else {
            const bool pair = p[i] >= 0x20 && p[i] < 0x7F && p[i + 1] >= 0x20 && p[i + 1] < 0x7F;
            good += ChineseTextCodePoint(u) && (asciiPairs || !pair) ? 1 : 0;
        }
    }
    return units == 0 ? -1 : static_cast<int>(good * 100 / units);
}

// A confidence of 10 is what any bytes that fit a multi-byte pattern get from ICU's
// detector: no evidence.
constexpr int kNoEvidence = 10;
// What the detector must say of the most common characters in a text for them to be
// evidence of Chinese.
constexpr int kCommonText = 50;

// Whether the sample read as UTF-16 without zero bytes is the characters of a Chinese text:
// the detector's measure of its common characters, on the text in GB18030 and, where it
// converts, in Big5. Any other text paired into ideographs (Shift_JIS or EUC written only in
// full-width characters) reads as rare ones. A text too short for the measure is taken as
// its code points say.
bool ReadsAsChinese(std::string_view sample, bool littleEndian) {
    const std::string_view units = sample.substr(0, sample.size() & ~std::size_t{1});
    const std::string_view charset = littleEndian ? "UTF-16LE" : "UTF-16BE";
    std::optional<Bytes> gb;
    for (std::size_t cut = 0; cut <= 2 && !gb && cut < units.size(); cut += 2) {
        gb = Conv().Convert(units.substr(0, units.size() - cut), charset, "GB18030");
    }
    if (!gb) {
        return false;
    }
    constexpr std::size_t kFewCharacters = 10;
    if (units.size() / 2 <= kFewCharacters) {
        return true;
    }
    const auto confidence = [](std::string_view bytes, std::string_view name) {
        int best = 0;
        for (const CharsetMatch& match : DetectCharsets(bytes).icu) {
            if (match.name == name) {
                best = std::max(best, match.confidence);
            }
        }
        return best;
    };
    if (confidence(*gb, "GB18030") >= kCommonText) {
        return true;
    }
    const std::optional<Bytes> big5 = Conv().Convert(*gb, "GB18030", "Big5");
    return big5 && confidence(*big5, "Big5") >= kCommonText;
}

// UTF-16 without a mark: zero bytes (the high halves of ASCII characters) give it away and
// their side tells the byte order; without them only text that is nearly all Chinese
// characters in one byte order, and common ones, counts.
TextEncoding GuessUtf16(std::string_view sample, bool whole) {
    std::size_t zerosEven = 0;
    std::size_t zerosOdd = 0;
    for (std::size_t i = 0; i < sample.size(); ++i) {
        if (sample[i] == '\0') {
            ++(i % 2 == 0 ? zerosEven : zerosOdd);
        }
    }
    const bool zeros = zerosEven + zerosOdd > 0;
    const int le = Utf16Score(sample, true, whole, !zeros);
    const int be = Utf16Score(sample, false, whole, !zeros);
    bool isLe = false;
    bool isBe = false;
    if (zeros) {
        isLe = le >= 50;
        isBe = be >= 50;
        if (isLe && isBe) {
            // A zero byte may also be the low half of a character such as U+4E00: a clear
            // difference in the characters read goes first.
            if (le >= be + 20 || be >= le + 20) {
                isLe = le > be;
                isBe = be > le;
            } else if (2 * zerosOdd >= 3 * zerosEven) {
                isBe = false;
            } else if (2 * zerosEven >= 3 * zerosOdd) {
                isLe = false;
            } else {
                isLe = le >= be + 10;
                isBe = be >= le + 10;
            }
        }
    } else {
        isLe = le >= 98 && le >= be + 20 && ReadsAsChinese(sample, true);
        isBe = be >= 98 && be >= le + 20 && ReadsAsChinese(sample, false);
    }
    return isLe != isBe ? (isLe ? TextEncoding::Utf16Le : TextEncoding::Utf16Be)
                        : TextEncoding::Undetected;
}

// How many of the sample's double-byte characters are among the common characters of each
// family, as its own charset orders them: GB2312's first level (B0A1-D7FE) and Big5's
// (A440-C67E), each with its punctuation row (A1). Both charsets put the common characters
// in rows the other fills with kana, symbols or rare characters, so that a text's own
// family finds nearly all of them common and the other far fewer.
struct FamilyEvidence {
    std::size_t pairs = 0;
    std::size_t gbCommon = 0;
    std::size_t big5Common = 0;
};

FamilyEvidence CountCommonCharacters(std::string_view sample) {
    const auto* p = reinterpret_cast<const unsigned char*>(sample.data());
    const std::size_t n = sample.size();
    FamilyEvidence e;
    for (std::size_t i = 0; i + 1 < n;) {
        const unsigned lead = p[i];
        const unsigned trail = p[i + 1];
        if (lead < 0x81 || lead == 0xFF) {
            ++i;
            continue;
        }
        if (trail >= 0x30 && trail <= 0x39) {
            i += 4;  // a GB18030 four-byte character: rare in either family
            ++e.pairs;
            continue;
        }
        ++e.pairs;
        const bool highTrail = trail >= 0xA1 && trail <= 0xFE;
        const bool lowTrail = trail >= 0x40 && trail <= 0x7E;
        e.gbCommon += (lead == 0xA1 || (lead >= 0xB0 && lead <= 0xD7)) && highTrail ? 1 : 0;
        e.big5Common += (lead == 0xA1 || (lead >= 0xA4 && lead <= 0xC6)) &&
                                (highTrail || lowTrail) && !(lead == 0xC6 && trail > 0x7E)
                            ? 1
                            : 0;
        i += 2;
    }
    return e;
}

// The family the common characters name, where they clearly name one: GB18030 or
// Big5, or Undetected when the evidence is even or too thin.
TextEncoding FamilyByFrequency(std::string_view sample) {
    const FamilyEvidence e = CountCommonCharacters(sample);
    constexpr std::size_t kFewestPairs = 3;
    if (e.pairs < kFewestPairs) {
        return TextEncoding::Undetected;
    }
    const std::size_t gb = e.gbCommon * 100 / e.pairs;
    const std::size_t big5 = e.big5Common * 100 / e.pairs;
    constexpr std::size_t kMostlyCommon = 60;
    constexpr std::size_t kClearMargin = 20;
    if (gb >= kMostlyCommon && gb >= big5 + kClearMargin) {
        return TextEncoding::Gb18030;
    }
    if (big5 >= kMostlyCommon && big5 >= gb + kClearMargin) {
        return TextEncoding::Big5;
    }
    return TextEncoding::Undetected;
}

bool OneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::vector<TextEncoding> GuessEncodings(std::string_view sample, bool whole) {
    if (const TextEncoding utf16 = GuessUtf16(sample, whole); utf16 != TextEncoding::Undetected) {
        return {utf16};
    }
    if (std::memchr(sample.data(), 0, sample.size()) != nullptr) {
        return {};
    }
    const CharsetVotes votes = DetectCharsets(sample);
    // ICU's detector knows no EUC-TW and takes it for GB18030; uchardet tells it apart.
    if (OneOf(votes.uchardet, {"EUC-TW", "EUC-KR", "EUC-JP", "SHIFT_JIS", "UHC", "JOHAB",
                               "ISO-2022-JP", "ISO-2022-KR", "ISO-2022-CN"})) {
        return {};
    }
    int gb = 0;
    int big5 = 0;
    int foreign = 0;
    int singleByte = 0;
    for (const CharsetMatch& match : votes.icu) {
        if (match.name == "GB18030") {
            gb = std::max(gb, match.confidence);
        } else if (match.name == "Big5") {
            big5 = std::max(big5, match.confidence);
        } else if (OneOf(match.name, {"Shift_JIS", "EUC-JP", "EUC-KR", "ISO-2022-JP", "ISO-2022-KR",
                                      "ISO-2022-CN"})) {
            foreign = std::max(foreign, match.confidence);
        } else if (match.name.starts_with("ISO-8859") || match.name.starts_with("windows-") ||
                   match.name.starts_with("KOI8") || match.name.starts_with("IBM")) {
            singleByte = std::max(singleByte, match.confidence);
        }
    }
    // Too few characters give the detector no evidence either way; then only a clear
    // single-byte text is refused, unless its double-byte characters are the common ones
    // of one family. Where the detector cannot tell the families apart, the common
    // characters do; only where they are as good in both is the choice a guess.
    constexpr int kClearLead = 10;
    constexpr int kClearSingleByte = 50;
    const int best = std::max(gb, big5);
    const TextEncoding frequent = FamilyByFrequency(sample);
    if (best == 0 || foreign > best ||
        (best <= kNoEvidence && singleByte >= kClearSingleByte &&
         frequent == TextEncoding::Undetected)) {
        return {};
    }
    const bool even = gb < big5 + kClearLead && big5 < gb + kClearLead;
    if (gb >= big5 + kClearLead || (even && frequent == TextEncoding::Gb18030)) {
        return {TextEncoding::Gb18030};
    }
    if (big5 >= gb + kClearLead || (even && frequent == TextEncoding::Big5)) {
        return {TextEncoding::Big5, TextEncoding::Big5Hkscs};
    }
    if (TraditionalChineseLocale()) {
        return {TextEncoding::Big5, TextEncoding::Big5Hkscs, TextEncoding::Gb18030};
    }
    return {TextEncoding::Gb18030, TextEncoding::Big5, TextEncoding::Big5Hkscs};
}

bool IsPlainText(std::string_view text, TextEncoding encoding) {
    if (encoding != TextEncoding::Utf16Le && encoding != TextEncoding::Utf16Be) {
        return std::memchr(text.data(), 0, text.size()) == nullptr;
    }
    // Bytes below 0x20 are never part of a double-byte character of the internal code page.
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 && !AllowedControl(b);
    });
}

}  // namespace qs

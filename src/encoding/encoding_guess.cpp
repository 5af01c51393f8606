#include "encoding/encoding_guess.h"

#include <algorithm>
#include <cstring>

#include "platform/charset_detectors.h"

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

// UTF-16 without a mark: zero bytes (the high halves of ASCII characters) give it away and
// their side tells the byte order; without them only text that is nearly all Chinese
// characters in one byte order counts.
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
        isLe = le >= 98 && le >= be + 20;
        isBe = be >= 98 && be >= le + 20;
    }
    return isLe != isBe ? (isLe ? TextEncoding::Utf16Le : TextEncoding::Utf16Be)
                        : TextEncoding::Undetected;
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
    // A confidence of 10 is what any bytes that fit the pattern get: no evidence. Too few
    // characters give none either way; then only a clear single-byte text is refused.
    constexpr int kNoEvidence = 10;
    constexpr int kClearLead = 10;
    constexpr int kClearSingleByte = 50;
    const int best = std::max(gb, big5);
    if (best == 0 || foreign > best || (best <= kNoEvidence && singleByte >= kClearSingleByte)) {
        return {};
    }
    if (gb >= big5 + kClearLead) {
        return {TextEncoding::Raw};
    }
    if (big5 >= gb + kClearLead) {
        return {TextEncoding::Big5, TextEncoding::Big5Hkscs};
    }
    if (TraditionalChineseLocale()) {
        return {TextEncoding::Big5, TextEncoding::Big5Hkscs, TextEncoding::Raw};
    }
    return {TextEncoding::Raw, TextEncoding::Big5, TextEncoding::Big5Hkscs};
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

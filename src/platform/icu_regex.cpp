#include "platform/icu_regex.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <algorithm>
#include <cstdint>

#include "platform/code_page.h"
#include "platform/icu_i18n.h"

namespace qs {
namespace {

// Bytes that are not GB18030 each become a lone trail surrogate U+DC00 + byte. Valid input
// never yields a lone surrogate, so these stay distinct from every real character and the
// rest of the text still matches normally.
void InvalidByteToSurrogate(const void*, UConverterToUnicodeArgs* args, const char* units,
                            int32_t length, UConverterCallbackReason reason, UErrorCode* err) {
    if (reason > UCNV_IRREGULAR) {
        return;
    }
    *err = U_ZERO_ERROR;
    for (int32_t i = 0; i < length && U_SUCCESS(*err); ++i) {
        const UChar c = static_cast<UChar>(0xDC00 + static_cast<unsigned char>(units[i]));
        ucnv_cbToUWriteUChars(args, &c, 1, i, err);
    }
}

class Gb18030Decoder {
public:
    Gb18030Decoder() {
        UErrorCode err = U_ZERO_ERROR;
        m_converter = ucnv_open("gb18030", &err);
        if (U_FAILURE(err)) {
            m_converter = nullptr;
            return;
        }
        ucnv_setToUCallBack(m_converter, InvalidByteToSurrogate, nullptr, nullptr, nullptr, &err);
    }
    ~Gb18030Decoder() {
        if (m_converter != nullptr) {
            ucnv_close(m_converter);
        }
    }
    Gb18030Decoder(const Gb18030Decoder&) = delete;
    Gb18030Decoder& operator=(const Gb18030Decoder&) = delete;

    bool Ok() const { return m_converter != nullptr; }

    // Decodes text into units; offsets (when given) receives, for every unit, the byte
    // offset of the character it came from.
    bool Decode(const Text& text, std::vector<UChar>& units, std::vector<int32_t>* offsets) {
        units.clear();
        if (offsets != nullptr) {
            offsets->clear();
        }
        if (text.empty()) {
            return true;
        }
        if (text.size() > static_cast<std::size_t>(INT32_MAX / 2 - 16)) {
            return false;
        }
        ucnv_resetToUnicode(m_converter);
        // No GB18030 sequence (nor an invalid byte) gives more units than it has bytes.
        const std::size_t capacity = text.size() + 16;
        units.resize(capacity);
        if (offsets != nullptr) {
            offsets->resize(capacity);
        }
        UChar* target = units.data();
        const char* source = text.data();
        UErrorCode err = U_ZERO_ERROR;
        ucnv_toUnicode(m_converter, &target, units.data() + capacity, &source,
                       text.data() + text.size(), offsets ? offsets->data() : nullptr, true, &err);
        if (U_FAILURE(err)) {
            return false;
        }
        const auto produced = static_cast<std::size_t>(target - units.data());
        units.resize(produced);
        if (offsets != nullptr) {
            offsets->resize(produced);
        }
        return true;
    }

private:
    UConverter* m_converter = nullptr;
};

class IcuCompiledRegex : public CompiledRegex {
public:
    IcuCompiledRegex(const IcuI18nApi& icu, URegularExpression* regex,
                     std::unique_ptr<Gb18030Decoder> decoder)
        : m_icu(icu), m_regex(regex), m_decoder(std::move(decoder)) {}
    ~IcuCompiledRegex() override { m_icu.uregex_close(m_regex); }
    IcuCompiledRegex(const IcuCompiledRegex&) = delete;
    IcuCompiledRegex& operator=(const IcuCompiledRegex&) = delete;

    std::vector<RegexMatch> FindAll(const Text& subject, std::size_t limit) override;

private:
    const IcuI18nApi& m_icu;
    URegularExpression* m_regex;
    std::unique_ptr<Gb18030Decoder> m_decoder;
    std::vector<UChar> m_units;
    std::vector<int32_t> m_offsets;
};

// Character starts under the program's character model; the LF of a CR LF pair counts as
// a start too, so that an expression can still tell CR and LF apart.
std::vector<std::uint8_t> CharacterStarts(const Text& text) {
    std::vector<std::uint8_t> starts(text.size() + 1, 0);
    std::size_t i = 0;
    while (i < text.size()) {
        starts[i] = 1;
        i += SequenceLength(text, i);
    }
    starts[text.size()] = 1;
    return starts;
}

std::vector<RegexMatch> IcuCompiledRegex::FindAll(const Text& subject, std::size_t limit) {
    std::vector<RegexMatch> matches;
    if (!m_decoder->Decode(subject, m_units, &m_offsets)) {
        return matches;
    }
    const auto unitCount = static_cast<int32_t>(m_units.size());
    const std::size_t n = subject.size();
    const std::vector<std::uint8_t> starts = CharacterStarts(subject);

    auto byteAt = [&](int32_t unit) -> std::size_t {
        return unit < unitCount ? static_cast<std::size_t>(m_offsets[unit]) : n;
    };
    auto unitAt = [&](std::size_t byte) -> int32_t {
        const auto it =
            std::lower_bound(m_offsets.begin(), m_offsets.end(), static_cast<int32_t>(byte));
        return static_cast<int32_t>(it - m_offsets.begin());
    };
    auto nextStart = [&](std::size_t byte) {
        do {
            ++byte;
        } while (byte < n && !starts[byte]);
        return byte;
    };

    UErrorCode err = U_ZERO_ERROR;
    static const UChar kEmpty[1] = {0};
    m_icu.uregex_setText(m_regex, unitCount > 0 ? m_units.data() : kEmpty, unitCount, &err);
    int32_t from = 0;
    while (U_SUCCESS(err) && from <= unitCount) {
        if (!m_icu.uregex_find(m_regex, from, &err) || U_FAILURE(err)) {
            break;
        }
        const int32_t startUnit = m_icu.uregex_start(m_regex, 0, &err);
        const int32_t endUnit = m_icu.uregex_end(m_regex, 0, &err);
        if (U_FAILURE(err)) {
            break;
        }
        const std::size_t start = byteAt(startUnit);
        if (!starts[start]) {
            // Only undecodable bytes can put a match inside a character: look again from
            // the next character.
            from = unitAt(nextStart(start));
            continue;
        }
        std::size_t end = std::max(byteAt(endUnit), start);
        while (!starts[end]) {
            ++end;
        }
        matches.push_back({start, end - start});
        if (limit != 0 && matches.size() >= limit) {
            break;
        }
        if (end == start) {
            if (start >= n) {
                break;
            }
            from = unitAt(nextStart(start));
        } else {
            from = unitAt(end);
        }
    }
    m_icu.uregex_setText(m_regex, kEmpty, 0, &err);
    return matches;
}

}  // namespace

std::unique_ptr<CompiledRegex> IcuRegexEngine::Compile(const Text& pattern, RegexFlags flags) {
    std::string why;
    const IcuI18nApi* icu = IcuI18n(why);
    if (icu == nullptr) {
        return nullptr;
    }
    auto decoder = std::make_unique<Gb18030Decoder>();
    if (!decoder->Ok()) {
        return nullptr;
    }
    std::vector<UChar> units;
    if (!decoder->Decode(pattern, units, nullptr)) {
        return nullptr;
    }
    uint32_t options = 0;
    if (flags.ignoreCase) {
        options |= UREGEX_CASE_INSENSITIVE;
    }
    if (flags.multiLine) {
        options |= UREGEX_MULTILINE;
    }
    if (units.empty()) {
        // ICU refuses a pattern of length 0; an empty group matches the same way.
        units = {u'(', u'?', u':', u')'};
    }
    UErrorCode err = U_ZERO_ERROR;
    URegularExpression* regex =
        icu->uregex_open(units.data(), static_cast<int32_t>(units.size()), options, nullptr, &err);
    if (U_FAILURE(err) || regex == nullptr) {
        if (regex != nullptr) {
            icu->uregex_close(regex);
        }
        return nullptr;
    }
    return std::make_unique<IcuCompiledRegex>(*icu, regex, std::move(decoder));
}

}  // namespace qs

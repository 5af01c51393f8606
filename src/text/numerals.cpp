#include "text/numerals.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "text/characters.h"

namespace qs {
namespace {

// What a two-byte character of the internal code page is as part of a number.
enum Numeral : std::uint8_t {
    kNone = 0,
    kChineseDigit = 1,  // + value
    kTen = 11,
    kHundred,
    kThousand,
    kTenThousand,
    kWideDigit = 21,  // + value
};

using NumeralTable = std::array<std::uint8_t, 65536>;

std::size_t Code(std::string_view two) {
    return static_cast<std::size_t>(static_cast<unsigned char>(two[0])) << 8 |
           static_cast<unsigned char>(two[1]);
}

const NumeralTable& Numerals() {
    static const NumeralTable table = [] {
        NumeralTable t{};
        const char* const digits[10][3] = {
            {"〇", "零", nullptr}, {"一", "壹", nullptr}, {"二", "贰", "两"},
            {"三", "叁", nullptr}, {"四", "肆", nullptr}, {"五", "伍", nullptr},
            {"六", "陆", nullptr}, {"七", "柒", nullptr}, {"八", "捌", nullptr},
            {"九", "玖", nullptr},
        };
        for (int value = 0; value < 10; ++value) {
            for (const char* d : digits[value]) {
                if (d != nullptr) {
                    t[Code(U(d))] = static_cast<std::uint8_t>(kChineseDigit + value);
                }
            }
            Text w = U("０");  // A3 B0; the other nine follow it
            w[1] = static_cast<char>(static_cast<unsigned char>(w[1]) + value);
            t[Code(w)] = static_cast<std::uint8_t>(kWideDigit + value);
        }
        const std::pair<const char*, Numeral> units[] = {
            {"十", kTen},      {"拾", kTen},      {"百", kHundred},     {"佰", kHundred},
            {"千", kThousand}, {"仟", kThousand}, {"万", kTenThousand}, {"萬", kTenThousand},
        };
        for (const auto& [unit, kind] : units) {
            t[Code(U(unit))] = kind;
        }
        t[Code(U("兩"))] = static_cast<std::uint8_t>(kChineseDigit + 2);  // the traditional 两
        return t;
    }();
    return table;
}

std::uint8_t KindAt(std::string_view text, std::size_t i) {
    if (i + 1 >= text.size() || static_cast<unsigned char>(text[i]) < 0x80 ||
        CharLength(text, i) != 2) {
        return kNone;
    }
    return Numerals()[Code(text.substr(i, 2))];
}

// The length of the digit at i (ASCII or full-width), 0 when there is none, and its value.
std::size_t DigitAt(std::string_view text, std::size_t i, int& value) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= '0' && c <= '9') {
        value = c - '0';
        return 1;
    }
    if (c < 0x80) {
        return 0;
    }
    const std::uint8_t kind = KindAt(text, i);
    if (kind >= kWideDigit && kind < kWideDigit + 10) {
        value = kind - kWideDigit;
        return 2;
    }
    return 0;
}

bool IsChineseNumeral(std::uint8_t kind) {
    return kind >= kChineseDigit && kind <= kTenThousand;
}

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

std::uint64_t Times(std::uint64_t a, std::uint64_t b) {
    return (b != 0 && a > kMax / b) ? kMax : a * b;
}

std::uint64_t Plus(std::uint64_t a, std::uint64_t b) {
    return a > kMax - b ? kMax : a + b;
}

// 一百零一 = 101, 十二 = 12, 两万三千 = 23000; a run of digits without units is read
// position by position (二〇二三 = 2023). Both readings are kept as the run goes by, so
// that no numeral is held: whether the run has a unit is known only at its end.
class ChineseValue {
public:
    void Add(std::uint8_t k) {
        m_hasUnit = m_hasUnit || k >= kTen;
        if (k < kTen) {
            const auto digit = static_cast<std::uint64_t>(k - kChineseDigit);
            m_positional = Plus(Times(m_positional, 10), digit);
            m_number = digit;
        } else if (k == kTenThousand) {
            m_total = Times(Plus(Plus(m_total, m_section), m_number), 10000);
            m_section = 0;
            m_number = 0;
        } else {
            const std::uint64_t unit = k == kTen ? 10 : (k == kHundred ? 100 : 1000);
            m_section = Plus(m_section, Times(m_number == 0 ? 1 : m_number, unit));
            m_number = 0;
        }
    }
    std::uint64_t Value() const {
        return m_hasUnit ? Plus(Plus(m_total, m_section), m_number) : m_positional;
    }

private:
    bool m_hasUnit = false;
    std::uint64_t m_positional = 0;
    std::uint64_t m_total = 0;
    std::uint64_t m_section = 0;
    std::uint64_t m_number = 0;
};

// A run read: its end, its value (saturated for numerals; for digits only while they are
// few enough to hold it) and, for digits, how many there are without
// the leading zeros. digits, when given, receives those digits.
struct Run {
    std::size_t end = 0;
    std::uint64_t value = 0;
    std::size_t significant = 0;
    bool chinese = false;
};

std::optional<Run> ReadRun(std::string_view text, std::size_t i, Text* digits) {
    if (i >= text.size()) {
        return std::nullopt;
    }
    Run run;
    int value = 0;
    const std::size_t start = i;
    for (std::size_t length; i < text.size() && (length = DigitAt(text, i, value)) > 0;
         i += length) {
        if (!(run.significant == 0 && value == 0)) {
            // Past 19 digits the value may overflow: it is used only up to 15.
            if (++run.significant <= 19) {
                run.value = run.value * 10 + static_cast<std::uint64_t>(value);
            }
            if (digits != nullptr) {
                *digits += static_cast<char>('0' + value);
            }
        }
    }
    if (i > start) {
        run.end = i;
        return run;
    }
    ChineseValue chinese;
    for (std::uint8_t k; i < text.size() && IsChineseNumeral(k = KindAt(text, i)); i += 2) {
        chinese.Add(k);
    }
    if (i == start) {
        return std::nullopt;
    }
    run.end = i;
    run.value = chinese.Value();
    run.chinese = true;
    return run;
}

}  // namespace

std::optional<NumberRun> ReadNumber(std::string_view text, std::size_t i) {
    NumberRun number;
    const std::optional<Run> run = ReadRun(text, i, &number.digits);
    if (!run) {
        return std::nullopt;
    }
    if (run->chinese) {
        number.digits = std::to_string(run->value);
    } else if (number.digits.empty()) {
        number.digits.push_back('0');
    }
    number.end = run->end;
    return number;
}

NumberValue ReadNumberValue(std::string_view text, std::size_t i) {
    const std::optional<Run> run = ReadRun(text, i, nullptr);
    NumberValue number;
    if (!run) {
        return number;
    }
    // What ReadNumber's digits would say, without making them.
    constexpr std::uint64_t kLimit = 1000000000000000ull;  // 16 digits
    constexpr std::size_t kMaxDigits = 15;
    number.end = run->end;
    if (run->chinese ? run->value < kLimit : run->significant <= kMaxDigits) {
        number.value = static_cast<std::int64_t>(run->value);
    }
    return number;
}

int CompareNumberDigits(std::string_view x, std::string_view y) {
    if (x.size() != y.size()) {
        return x.size() < y.size() ? -1 : 1;
    }
    const int c = x.compare(y);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace qs

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

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsDigitChar(std::string_view text, std::size_t i, int& value) {
    if (IsAsciiDigit(text[i])) {
        value = text[i] - '0';
        return true;
    }
    const std::uint8_t kind = KindAt(text, i);
    if (kind >= kWideDigit && kind < kWideDigit + 10) {
        value = kind - kWideDigit;
        return true;
    }
    return false;
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
// position by position (二〇二三 = 2023).
std::uint64_t ChineseValue(const std::basic_string<std::uint8_t>& kinds) {
    bool hasUnit = false;
    for (const std::uint8_t k : kinds) {
        hasUnit = hasUnit || k >= kTen;
    }
    std::uint64_t total = 0;
    if (!hasUnit) {
        for (const std::uint8_t k : kinds) {
            total = Plus(Times(total, 10), static_cast<std::uint64_t>(k - kChineseDigit));
        }
        return total;
    }
    std::uint64_t section = 0;
    std::uint64_t number = 0;
    for (const std::uint8_t k : kinds) {
        if (k < kTen) {
            number = static_cast<std::uint64_t>(k - kChineseDigit);
        } else if (k == kTenThousand) {
            total = Times(Plus(Plus(total, section), number), 10000);
            section = 0;
            number = 0;
        } else {
            const std::uint64_t unit = k == kTen ? 10 : (k == kHundred ? 100 : 1000);
            section = Plus(section, Times(number == 0 ? 1 : number, unit));
            number = 0;
        }
    }
    return Plus(Plus(total, section), number);
}

}  // namespace

std::optional<NumberRun> ReadNumber(std::string_view text, std::size_t i) {
    if (i >= text.size()) {
        return std::nullopt;
    }
    NumberRun run;
    int value = 0;
    if (IsDigitChar(text, i, value)) {
        while (i < text.size() && IsDigitChar(text, i, value)) {
            if (!(run.digits.empty() && value == 0)) {
                run.digits += static_cast<char>('0' + value);
            }
            i += IsAsciiDigit(text[i]) ? 1 : 2;
        }
        if (run.digits.empty()) {
            run.digits.push_back('0');
        }
        run.end = i;
        return run;
    }
    std::basic_string<std::uint8_t> kinds;
    while (i < text.size() && IsChineseNumeral(KindAt(text, i))) {
        kinds += KindAt(text, i);
        i += 2;
    }
    if (kinds.empty()) {
        return std::nullopt;
    }
    run.digits = std::to_string(ChineseValue(kinds));
    run.end = i;
    return run;
}

int CompareNumberDigits(std::string_view x, std::string_view y) {
    if (x.size() != y.size()) {
        return x.size() < y.size() ? -1 : 1;
    }
    const int c = x.compare(y);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace qs

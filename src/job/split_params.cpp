#include "job/split_params.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "pattern/regex_facade.h"

namespace qs {
namespace {

std::size_t SkipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    return i;
}

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
// Clang 14 does not deduce an aggregate's template arguments by itself.
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

}  // namespace

std::int64_t SplitBySizeParams::PieceBytes() const {
    // No selection counts as bytes; there are only four units.
    const std::int32_t u = unit < 0 ? 0 : (unit > 3 ? 3 : unit);
    const double bytes = static_cast<double>(size) * std::ldexp(1.0, 10 * u);
    if (bytes >= 9.2e18) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (bytes <= -9.2e18) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(bytes);
}

std::optional<ParamsProblem> Validate(const SplitParams& params) {
    using Problem = std::optional<ParamsProblem>;
    return std::visit(
        Overloaded{
            [](std::monostate) -> Problem { return std::nullopt; },
            [](const SplitIntoPartsParams& m) -> Problem {
                if (m.count <= 0) {
                    return ParamsProblem{SplitField::PartCount, U("份数必须大于0")};
                }
                return std::nullopt;
            },
            [](const SplitBySizeParams& m) -> Problem {
                if (std::fabs(m.size) <= 1e-7f) {
                    return ParamsProblem{SplitField::ByteSize, U("字节长度不能等于0")};
                }
                return std::nullopt;
            },
            [](const SplitByLinesParams& m) -> Problem {
                if (m.min <= 0 || m.max <= 0) {
                    return ParamsProblem{SplitField::LineMin, U("行数至少 1")};
                }
                return std::nullopt;
            },
            [](const SplitByCharsParams& m) -> Problem {
                if (m.min <= 0 || m.max <= 0) {
                    return ParamsProblem{SplitField::CharMin, U("字数至少 1 个")};
                }
                return std::nullopt;
            },
            [](const SplitAtSeparatorParams& m) -> Problem {
                if (m.separator.empty()) {
                    return ParamsProblem{SplitField::Separator, U("请输入用于分割的字符串！")};
                }
                return std::nullopt;
            },
            [](const SplitAtChaptersParams& m) -> Problem {
                RegexObject regex;
                if (!m.expression.empty() && !regex.Compile(m.expression, false, true, false)) {
                    return ParamsProblem{SplitField::ChapterExpression,
                                         U("章节标题表达式无法使用：") + m.expression};
                }
                return std::nullopt;
            },
        },
        params.mode);
}

std::int32_t ParseLeadingInt(std::string_view text) {
    std::size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) {
            value = kLimit;
        }
        ++i;
    }
    if (negative) {
        value = -value;
    }
    if (value > std::numeric_limits<std::int32_t>::max()) {
        value = std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(value);
}

float ParseLeadingFloat(std::string_view text) {
    std::size_t i = SkipBlanks(text);
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    bool digits = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        ++i;
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
            digits = true;
        }
    }
    if (!digits) {
        return 0.0f;
    }
    const std::string number(text.substr(start, i - start));
    const float value = std::strtof(number.c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0f;
}

}  // namespace qs

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "text/text.h"

namespace qs {

// A number as books write it, read at a character boundary of an internal text: a run of
// ASCII or full-width digits (０–９), or a run of Chinese numerals (〇零一二两兩三四五六七八九
// 十百千万萬 and 壹贰叁肆伍陆柒捌玖拾佰仟). digits is its value in decimal without leading
// zeros ("0" for zero); end is the byte position after the run.
struct NumberRun {
    std::size_t end = 0;
    Text digits;
};

std::optional<NumberRun> ReadNumber(std::string_view text, std::size_t i);

// The same run read for its value alone, as every line of a book may ask. Two words, so
// that it comes back in registers: end is 0 when there is no number at i; value is the
// number, or -1 when it has more than 15 digits.
struct NumberValue {
    std::size_t end = 0;
    std::int64_t value = -1;
    explicit operator bool() const { return end != 0; }
    std::optional<std::int64_t> Value() const {
        return value >= 0 ? std::optional<std::int64_t>(value) : std::nullopt;
    }
};
NumberValue ReadNumberValue(std::string_view text, std::size_t i);

// Compares two values given as NumberRun::digits: <0, 0 or >0.
int CompareNumberDigits(std::string_view x, std::string_view y);

}  // namespace qs

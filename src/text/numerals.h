#pragma once

#include <cstddef>
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

// Compares two values given as NumberRun::digits: <0, 0 or >0.
int CompareNumberDigits(std::string_view x, std::string_view y);

}  // namespace qs

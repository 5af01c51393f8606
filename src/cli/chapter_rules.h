#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "job/split_params.h"

namespace qs::cli {

// A heading rule list in the JSON form readers share: an array of objects with name, rule
// (a regular expression), example, serialNumber and enable. The enabled rules in
// serialNumber order (those without one last, in the list's order); an error in the
// program's words when the text is no such list or a rule cannot be represented.
struct ChapterRuleList {
    std::vector<ChapterRuleParams> rules;
    std::string error;
};
ChapterRuleList ParseChapterRules(std::string_view json);

}  // namespace qs::cli

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "job/split_params.h"

namespace qs::cli {

// A heading rule list in the JSON form readers share: an array of objects with name, rule
// (a regular expression), example, serialNumber and enable. The enabled rules in
// serialNumber order (those without one last, in the list's order), or the problem that
// makes the list unusable.
struct ChapterRuleList {
    enum class Problem { None, Unreadable, NotAList, NoRule, Unrepresentable, NotAnExpression };
    std::vector<ChapterRuleParams> rules;
    Problem problem = Problem::None;
    std::string subject;  // the rule concerned: its name, or its place in the list
    std::string error;    // the problem in the locale's words; empty: none
};
ChapterRuleList ParseChapterRules(std::string_view json);

// The list in the file at path, each rule compiled; a file that cannot be read or a rule
// that is no usable expression is a problem too. No rules when there is one.
ChapterRuleList ReadChapterRules(const Text& path);

// The list's problem in Chinese or in English, without the file's path (UTF-8).
std::string ProblemWords(const ChapterRuleList& list, bool chinese);

}  // namespace qs::cli

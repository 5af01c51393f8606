#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoding/text_format.h"
#include "job/merge_params.h"
#include "job/split_params.h"

namespace qs::cli {

enum CommandSet : unsigned { ForSplit = 1, ForMerge = 2 };

enum class ValueKind { None, Required, Optional };

// Where an option puts its value: the parameters of the two jobs, which start at the window's
// initial values. Chapters to a piece may come before --chapters: it waits here.
struct JobSetup {
    SplitParams& split;
    MergeParams& merge;
    std::int32_t chaptersPerPiece = 1;
    bool epub = false;
    std::vector<ChapterRuleParams> chapterRules;
    bool rulesGiven = false;
    bool perVolume = false;
    bool keepLineBreaks = false;
    // --from: every source is read in it instead of being detected.
    TextEncoding sourceEncoding = TextEncoding::Undetected;
};

// The parameters the options gave, with what waited put in place.
void FinishSetup(JobSetup& setup);

// One option of split or merge. Options of the same non-empty group exclude each other.
// apply returns an error text naming the problem, or "" when the value was taken; with
// ValueKind::Optional and no value given it receives optionalDefault.
struct JobOption {
    std::string_view flag;
    ValueKind value = ValueKind::None;
    std::string_view valueName;
    unsigned commands = 0;
    std::string_view group;
    std::string_view helpChinese;
    std::string_view helpEnglish;
    std::string (*apply)(JobSetup& setup, const std::string& value) = nullptr;
    std::string_view optionalDefault;
};

// Every option of split and merge, in the order of the help.
const std::vector<JobOption>& JobOptions();

// A command-line text (UTF-8) with the escapes \n, \r, \t and \\ resolved.
std::string Unescape(std::string_view text);

}  // namespace qs::cli

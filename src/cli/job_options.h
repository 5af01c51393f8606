#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qs {
class Form;
}

namespace qs::cli {

enum CommandSet : unsigned { ForSplit = 1, ForMerge = 2 };

enum class ValueKind { None, Required, Optional };

// What the command line itself keeps beside the window's controls.
struct RunSettings {
    std::optional<std::uint64_t> seed;
    bool manifest = false;
};

// Where an option puts its value: the window's controls of a headless main window, which
// start at their initial values, and the run's own settings.
struct JobSetup {
    Form& form;
    RunSettings& run;
};

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

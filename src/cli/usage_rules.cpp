#include "cli/usage_rules.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include "text/said.h"

namespace qs::cli {
namespace {

constexpr std::int64_t kIntMax = std::numeric_limits<std::int32_t>::max();

const GivenOption* Given(const ParsedCommand& command, std::string_view flag) {
    for (const GivenOption& g : command.options) {
        if (g.option->flag == flag) {
            return &g;
        }
    }
    return nullptr;
}

std::string Refuse(std::string_view flag, const std::string& value, std::string_view zh,
                   std::string_view en) {
    return std::string(flag) + (value.empty() ? "" : " " + value) + ": " + Say(zh, en);
}

// Digits only, within 0..kIntMax; nullopt for anything else.
std::optional<std::int64_t> Count(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) ||
        error != std::errc() || end != text.data() + text.size() || value > kIntMax) {
        return std::nullopt;
    }
    return value;
}

std::string CheckCount(const GivenOption& g, std::string_view zhBelowOne) {
    const std::optional<std::int64_t> n = Count(g.value);
    if (n && *n >= 1) {
        return "";
    }
    if (n && !zhBelowOne.empty() && ChineseLocale()) {
        return Refuse(g.option->flag, g.value, zhBelowOne, "");
    }
    return Refuse(g.option->flag, g.value, "应为 1 到 2147483647 的整数",
                  "must be a whole number from 1 to 2147483647");
}

// MIN or MIN-MAX, both from 1 to kIntMax, MIN not above MAX.
std::string CheckRange(const GivenOption& g, std::string_view zhBelowOne) {
    const std::size_t dash = g.value.find('-');
    const std::optional<std::int64_t> low = Count(g.value.substr(0, dash));
    const std::optional<std::int64_t> high =
        dash == std::string::npos ? low : Count(g.value.substr(dash + 1));
    if (!low || !high) {
        return Refuse(g.option->flag, g.value,
                      "应为 最小值 或 最小值-最大值（1 到 2147483647 的整数）",
                      "must be MIN or MIN-MAX, whole numbers from 1 to 2147483647");
    }
    if (*low < 1 || *high < 1) {
        return Refuse(g.option->flag, g.value, zhBelowOne, "MIN and MAX must be at least 1");
    }
    if (*low > *high) {
        return Refuse(g.option->flag, g.value, "最小值不能大于最大值", "MIN must not exceed MAX");
    }
    return "";
}

// N[B|K|KB|M|MB|G|GB]: a piece of at least one byte, and one the 64-bit sizes can hold.
std::string CheckSize(const GivenOption& g) {
    const std::string& v = g.value;
    std::size_t end = 0;
    while (end < v.size() && (std::isdigit(static_cast<unsigned char>(v[end])) || v[end] == '.')) {
        ++end;
    }
    const std::string number = v.substr(0, end);
    std::string unit = v.substr(end);
    for (char& c : unit) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    int power = -1;
    for (const auto& [name, p] : {std::pair<std::string_view, int>{"", 0},
                                  {"B", 0},
                                  {"K", 1},
                                  {"KB", 1},
                                  {"M", 2},
                                  {"MB", 2},
                                  {"G", 3},
                                  {"GB", 3}}) {
        if (unit == name) {
            power = p;
        }
    }
    if (power < 0 || number.empty() || number == "." || number.find('.') != number.rfind('.')) {
        return Refuse(g.option->flag, v, "应为 数字[B|K|KB|M|MB|G|GB]",
                      "must be N[B|K|KB|M|MB|G|GB]");
    }
    // The window keeps the number as a single-precision value; the bytes follow from that.
    const double bytes = std::floor(static_cast<double>(std::strtof(number.c_str(), nullptr)) *
                                    std::pow(1024.0, power));
    if (bytes == 0 && ChineseLocale()) {
        return Refuse(g.option->flag, v, "字节长度不能等于0", "");
    }
    if (bytes < 1 || bytes > 9.0e18) {
        return Refuse(g.option->flag, v, "每份应在 1 字节到 8 EB 之间",
                      "a piece must be from 1 byte to 8 EB");
    }
    return "";
}

std::string OnlyWith(const GivenOption& g, std::string_view zh, std::string_view en) {
    return Refuse(g.option->flag, "", zh, en);
}

std::string CheckSplit(const ParsedCommand& command) {
    const GivenOption* parts = Given(command, "--parts");
    const GivenOption* size = Given(command, "--size");
    const GivenOption* lines = Given(command, "--lines");
    const GivenOption* chars = Given(command, "--chars");
    const GivenOption* chapters = Given(command, "--chapters");
    if (!chapters) {
        chapters = Given(command, "--chapter-rules");
    }
    // The rules mean a split at chapters: another mode beside them would be replaced.
    if (const GivenOption* rules = Given(command, "--chapter-rules");
        rules && (parts || size || lines || chars || Given(command, "--separator"))) {
        return OnlyWith(*rules, "即按章节分割，不能与其他分割方式一起使用",
                        "means --chapters and cannot go with another mode");
    }
    if (parts) {
        if (std::string e = CheckCount(*parts, "份数必须大于0"); !e.empty()) {
            return e;
        }
    }
    if (size) {
        if (std::string e = CheckSize(*size); !e.empty()) {
            return e;
        }
    }
    if (lines) {
        if (std::string e = CheckRange(*lines, "行数至少 1"); !e.empty()) {
            return e;
        }
    }
    if (chars) {
        if (std::string e = CheckRange(*chars, "字数至少 1 个"); !e.empty()) {
            return e;
        }
    }
    if (const GivenOption* separator = Given(command, "--separator");
        separator && separator->value.empty()) {
        return OnlyWith(*separator, "请输入用于分割的字符串！", "the separator must not be empty");
    }
    if (const GivenOption* per = Given(command, "--chapters-per-piece")) {
        if (!chapters) {
            return OnlyWith(*per, "只能与 --chapters 一起使用", "applies only with --chapters");
        }
        if (std::string e = CheckCount(*per, ""); !e.empty()) {
            return e;
        }
    }
    if (const GivenOption* per = Given(command, "--per-volume"); per && !chapters) {
        return OnlyWith(*per, "只能与 --chapters 一起使用", "applies only with --chapters");
    }
    if (const GivenOption* skip = Given(command, "--skip-blank-lines"); skip && !lines) {
        return OnlyWith(*skip, "只能与 --lines 一起使用", "applies only with --lines");
    }
    if (const GivenOption* keep = Given(command, "--keep-line-breaks")) {
        if (!lines) {
            return OnlyWith(*keep, "只能与 --lines 一起使用", "applies only with --lines");
        }
        // Its pieces are the source's own bytes: nothing may be left out or converted.
        for (std::string_view flag : {"--skip-blank-lines", "--to", "--zh"}) {
            if (Given(command, flag)) {
                return OnlyWith(*keep,
                                "原样保留各行的字节，不能与 --skip-blank-lines、--to、--zh "
                                "一起使用",
                                "keeps the lines' own bytes and cannot go with "
                                "--skip-blank-lines, --to or --zh");
            }
        }
    }
    // The byte modes (--parts, the default, and --size) copy bytes and never decode.
    const bool byteMode = !lines && !chars && !chapters && !Given(command, "--separator");
    for (std::string_view flag : {"--from", "--to", "--zh"}) {
        if (const GivenOption* g = Given(command, flag); g && byteMode) {
            return OnlyWith(*g,
                            "只用于文本模式（--lines、--chars、--separator、--chapters），"
                            "按份数、按字节分割时原样复制字节",
                            "applies only to the text modes (--lines, --chars, --separator, "
                            "--chapters); --parts and --size copy bytes unchanged");
        }
    }
    return "";
}

}  // namespace

std::string CheckUsage(const ParsedCommand& command) {
    return command.command == Command::Split ? CheckSplit(command) : "";
}

}  // namespace qs::cli

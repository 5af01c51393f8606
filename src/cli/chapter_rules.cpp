#include "cli/chapter_rules.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <limits>

#include "text/said.h"
#include "platform/code_page.h"

namespace qs::cli {

ChapterRuleList ParseChapterRules(std::string_view json) {
    ChapterRuleList list;
    const nlohmann::json parsed = nlohmann::json::parse(json, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_array()) {
        list.error = Say("不是规则列表（JSON 数组）", "is no rule list (a JSON array)");
        return list;
    }
    struct Ordered {
        double serial;
        std::size_t index;
        ChapterRuleParams rule;
    };
    std::vector<Ordered> ordered;
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        const nlohmann::json& item = parsed[i];
        if (!item.is_object() || !item.contains("rule") || !item["rule"].is_string()) {
            list.error = Say("第 " + std::to_string(i + 1) + " 条规则没有 rule",
                             "rule " + std::to_string(i + 1) + " has no \"rule\"");
            return list;
        }
        const nlohmann::json enable = item.value("enable", nlohmann::json(true));
        if (enable.is_boolean() && !enable.get<bool>()) {
            continue;
        }
        ChapterRuleParams rule;
        rule.name = item.contains("name") && item["name"].is_string()
                        ? item["name"].get<std::string>()
                        : "#" + std::to_string(i + 1);
        if (!Utf8ToInternal(item["rule"].get<std::string>(), rule.expression)) {
            list.error = rule.name + ": " +
                         Say("含有无法表示的字符", "holds characters the program cannot represent");
            return list;
        }
        const nlohmann::json serial = item.value("serialNumber", nlohmann::json());
        ordered.push_back(
            {serial.is_number() ? serial.get<double>() : std::numeric_limits<double>::max(), i,
             std::move(rule)});
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Ordered& a, const Ordered& b) { return a.serial < b.serial; });
    for (Ordered& o : ordered) {
        list.rules.push_back(std::move(o.rule));
    }
    return list;
}

}  // namespace qs::cli

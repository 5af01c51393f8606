#include "cli/chapter_rules.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <limits>

#include "job/book_contents.h"
#include "platform/code_page.h"
#include "platform/services.h"
#include "text/said.h"

namespace qs::cli {

namespace {

ChapterRuleList Refused(ChapterRuleList::Problem problem, std::string subject) {
    ChapterRuleList list;
    list.problem = problem;
    list.subject = std::move(subject);
    list.error = ProblemWords(list, ChineseLocale());
    return list;
}

}  // namespace

std::string ProblemWords(const ChapterRuleList& list, bool chinese) {
    using P = ChapterRuleList::Problem;
    const std::string& s = list.subject;
    switch (list.problem) {
        case P::None:
            break;
        case P::Unreadable:
            return chinese ? "无法读取" : "cannot be read";
        case P::NotAList:
            return chinese ? "不是规则列表（JSON 数组）" : "is no rule list (a JSON array)";
        case P::NoRule:
            return chinese ? "第 " + s + " 条规则没有 rule" : "rule " + s + " has no \"rule\"";
        case P::Unrepresentable:
            return s + ": " +
                   (chinese ? "含有无法表示的字符"
                            : "holds characters the program cannot represent");
        case P::NotAnExpression:
            return s + ": " + (chinese ? "不是可用的正则表达式" : "is not a usable expression");
    }
    return std::string();
}

ChapterRuleList ParseChapterRules(std::string_view json) {
    using P = ChapterRuleList::Problem;
    ChapterRuleList list;
    const nlohmann::json parsed = nlohmann::json::parse(json, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_array()) {
        return Refused(P::NotAList, std::string());
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
            return Refused(P::NoRule, std::to_string(i + 1));
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
            return Refused(P::Unrepresentable, rule.name);
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

ChapterRuleList ReadChapterRules(const Text& path) {
    using P = ChapterRuleList::Problem;
    const std::optional<Bytes> bytes = Fs().ReadWholeFile(path);
    if (!bytes) {
        return Refused(P::Unreadable, std::string());
    }
    ChapterRuleList list = ParseChapterRules(*bytes);
    for (const ChapterRuleParams& rule : list.rules) {
        if (!CompileHeadingRule(rule.name, rule.expression)) {
            return Refused(P::NotAnExpression, rule.name);
        }
    }
    return list;
}

}  // namespace qs::cli

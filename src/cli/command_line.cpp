#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <deque>
#include <map>
#include <string_view>

#include "text/said.h"
#include "cli/usage_rules.h"

namespace qs::cli {
namespace {

constexpr std::string_view kVersion = "Qirnsplit 1.0.1.0";

void Localise(CLI::App& app) {
    if (!ChineseLocale()) {
        return;
    }
    auto formatter = app.get_formatter();
    formatter->label("Usage", "用法");
    formatter->label("OPTIONS", "选项");
    formatter->label("Options", "选项");
    formatter->label("SUBCOMMAND", "命令");
    formatter->label("SUBCOMMANDS", "命令");
    formatter->label("Subcommands", "命令");
    formatter->label("Positionals", "参数");
    formatter->label("REQUIRED", "必需");
}

// The short forms the usual split tools have, and that a script may reach for.
std::string ShortFlags(std::string_view flag) {
    static const std::map<std::string_view, std::string_view> kShort = {
        {"--parts", "-n,"}, {"--size", "-b,"}, {"--lines", "-l,"}};
    const auto found = kShort.find(flag);
    return found == kShort.end() ? "" : std::string(found->second);
}

struct TableOption {
    const JobOption* option;
    CLI::Option* cli;
    std::string value;
};

// Registers the rows of the table that belong to the command; the values land in slots.
void AddJobOptions(CLI::App& sub, unsigned command, std::deque<TableOption>& slots) {
    for (const JobOption& row : JobOptions()) {
        if ((row.commands & command) == 0) {
            continue;
        }
        TableOption& slot = slots.emplace_back(TableOption{&row, nullptr, {}});
        const std::string help = Say(row.helpChinese, row.helpEnglish);
        const std::string flag = ShortFlags(row.flag) + std::string(row.flag);
        if (row.value == ValueKind::None) {
            slot.cli = sub.add_flag(flag, help);
        } else {
            slot.cli =
                sub.add_option(flag, slot.value, help)->type_name(std::string(row.valueName));
            slot.cli->expected(row.value == ValueKind::Optional ? 0 : 1, 1);
            slot.cli->multi_option_policy(CLI::MultiOptionPolicy::Throw);
        }
    }
}

void AddCommon(CLI::App& sub, CommonOptions& common, bool jobs) {
    if (jobs) {
        sub.add_flag(
            "--dry-run", common.dryRun,
            Say("只列出将写出的文件（路径、字节数、编码）与每个原文件读取时的编码，不写不删",
                "list what would be written (path, bytes, encoding) and the encoding each "
                "source is read in; write and delete nothing"));
    }
    sub.add_flag(
        "--json", common.json,
        Say("在标准输出上以一个 JSON 对象报告结果", "print the report as one JSON object"));
    sub.add_flag("-q,--quiet", common.quiet, Say("不显示进度与报告", "no progress and no report"));
    if (jobs) {
        sub.add_option("--output-dir", common.outputDir,
                       Say("输出写到 DIR，而不是原文件旁",
                           "write the outputs into DIR, not beside their sources"))
            ->type_name("DIR");
    }
}

// Options of one group exclude each other; the message names both.
std::string GroupConflict(const std::vector<GivenOption>& given) {
    std::map<std::string_view, std::string_view> seen;
    for (const GivenOption& g : given) {
        if (g.option->group.empty()) {
            continue;
        }
        const auto [it, fresh] = seen.emplace(g.option->group, g.option->flag);
        if (!fresh && it->second != g.option->flag) {
            return std::string(it->second) + " " + Say("与", "and") + " " +
                   std::string(g.option->flag) + Say(" 不能同时使用", " exclude each other");
        }
    }
    return "";
}

// The whole command line as CLI11 knows it: the program's own options, the three commands
// and the rows of the option table under each. Parsing and the generated manual page and
// completion read the same object.
struct CommandLineParser {
    CommandLineParser();

    CLI::App app;
    CLI::App* split = nullptr;
    CLI::App* merge = nullptr;
    CLI::App* verify = nullptr;
    bool version = false;
    ParsedCommand parsed;
    std::deque<TableOption> slots;
};

CommandLineParser::CommandLineParser()
    : app(Say("Qirnsplit：按编码精确分割、合并文本文件。不带参数运行时打开窗口。",
              "Qirnsplit: split and merge text files exactly, in their own encodings. "
              "Without arguments it opens the window."),
          "qirnsplit") {
    const std::string optionsGroup = Say("选项", "Options");
    Localise(app);
    app.option_defaults()->group(optionsGroup);
    app.set_help_flag("-h,--help", Say("显示帮助", "show this help"));
    app.add_flag("-V,--version", version, Say("显示版本", "show the version"));
    app.require_subcommand(0, 1);

    split = app.add_subcommand(
        "split", Say("分割文件；PATH 为文件，或目录（其中符合 --pattern 的文件）",
                     "split files; PATH: files, or folders (their files matching --pattern)"));
    AddJobOptions(*split, ForSplit, slots);
    AddCommon(*split, parsed.common, true);
    split->add_option("PATH", parsed.paths, Say("文件或目录", "files or folders"))->required();

    merge = app.add_subcommand(
        "merge", Say("合并文件；PATH 为文件（合并为一个），或目录（每个目录一个）；"
                     "或一个 .manifest.json（还原分割前的原文件）",
                     "merge files; PATH: files (one output), or folders (one output each); "
                     "or one .manifest.json (rejoin the source of a split)"));
    AddJobOptions(*merge, ForMerge, slots);
    AddCommon(*merge, parsed.common, true);
    merge->add_option("PATH", parsed.paths, Say("文件或目录", "files or folders"))->required();

    verify = app.add_subcommand("verify", Say("检查分割清单中的各份是否缺失或被改动",
                                              "check the pieces named by manifests"));
    AddCommon(*verify, parsed.common, false);
    verify->add_option("MANIFEST", parsed.paths, Say("清单文件", "manifest files"))->required();

    for (CLI::App* sub : {split, merge, verify}) {
        sub->set_help_flag("-h,--help", Say("显示帮助", "show this help"));
        Localise(*sub);
    }
}

CommandDoc Describe(const CLI::App& app, std::string name) {
    CommandDoc doc;
    doc.name = std::move(name);
    doc.help = app.get_description();
    for (const CLI::Option* option : app.get_options()) {
        if (!option->nonpositional()) {
            doc.operands += (doc.operands.empty() ? "" : " ") + option->get_name() + "...";
            continue;
        }
        OptionDoc o;
        for (const std::string& s : option->get_snames()) {
            o.names.push_back("-" + s);
        }
        for (const std::string& l : option->get_lnames()) {
            o.names.push_back("--" + l);
        }
        o.value = option->get_type_name();
        o.help = option->get_description();
        doc.options.push_back(std::move(o));
    }
    return doc;
}

}  // namespace

std::vector<CommandDoc> DescribeCommandLine() {
    CommandLineParser p;
    return {Describe(p.app, ""), Describe(*p.split, "split"), Describe(*p.merge, "merge"),
            Describe(*p.verify, "verify")};
}

ParseOutcome ParseCommandLine(int argc, char** argv) {
    ParseOutcome outcome;
    CommandLineParser parser;
    CLI::App& app = parser.app;
    CLI::App* split = parser.split;
    CLI::App* merge = parser.merge;
    CLI::App* verify = parser.verify;
    ParsedCommand& parsed = parser.parsed;
    std::deque<TableOption>& slots = parser.slots;

    // An option whose value is optional takes it only as --flag=VALUE: a bare flag must not
    // swallow the path after it.
    std::vector<std::string> words(argv, argv + argc);
    for (std::string& word : words) {
        for (const JobOption& row : JobOptions()) {
            if (row.value == ValueKind::Optional && word == row.flag) {
                word += "=" + std::string(row.optionalDefault);
            }
        }
    }
    std::vector<char*> rewritten;
    for (std::string& word : words) {
        rewritten.push_back(word.data());
    }
    try {
        app.parse(argc, rewritten.data());
    } catch (const CLI::CallForHelp&) {
        outcome.out = (split->parsed()    ? split->help()
                       : merge->parsed()  ? merge->help()
                       : verify->parsed() ? verify->help()
                                          : app.help());
        return outcome;
    } catch (const CLI::ParseError& e) {
        outcome.exitStatus = kExitUsage;
        outcome.err =
            std::string("qirnsplit: ") + e.what() + "\n" +
            Say("用 qirnsplit --help 查看用法。\n", "Run qirnsplit --help for the usage.\n");
        return outcome;
    }
    if (parser.version) {
        outcome.out = std::string(kVersion) + "\n";
        return outcome;
    }
    if (!split->parsed() && !merge->parsed() && !verify->parsed()) {
        outcome.out = app.help();
        return outcome;
    }
    parsed.command = split->parsed()   ? Command::Split
                     : merge->parsed() ? Command::Merge
                                       : Command::Verify;
    for (const TableOption& slot : slots) {
        if (slot.cli->count() == 0) {
            continue;
        }
        const bool bare = slot.option->value == ValueKind::Optional && slot.cli->results().empty();
        GivenOption given{slot.option,
                          bare ? std::string(slot.option->optionalDefault) : slot.value};
        parsed.options.push_back(std::move(given));
    }
    outcome.command = parsed;
    const std::string conflict = GroupConflict(parsed.options);
    if (!conflict.empty()) {
        outcome.exitStatus = kExitUsage;
        outcome.err = "qirnsplit: " + conflict + "\n";
        return outcome;
    }
    if (const std::string refused = CheckUsage(parsed); !refused.empty()) {
        outcome.exitStatus = kExitUsage;
        outcome.err = "qirnsplit: " + refused + "\n";
        return outcome;
    }
    outcome.run = true;
    return outcome;
}

}  // namespace qs::cli

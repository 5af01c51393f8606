#include "job/job_report.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "encoding/charset_converter.h"
#include "job/json_path.h"
#include "platform/native_names.h"
#include "platform/system_error.h"
#include "text/said.h"

namespace qs {

std::string Utf8(const Text& internal) {
    return ToUtf8Lossy(DisplayText(internal));
}

std::string EncodingName(TextEncoding code) {
    if (code == TextEncoding::Undetected) {
        return std::string();
    }
    const std::string_view name = CharsetName(code);
    return name.empty() ? std::string(InternalCharset()) : std::string(name);
}

TextEncoding EncodingCode(std::string_view name) {
    for (const TextEncoding code :
         {TextEncoding::Gb18030, TextEncoding::Utf8, TextEncoding::Utf16Le, TextEncoding::Utf16Be,
          TextEncoding::Big5, TextEncoding::Big5Hkscs}) {
        if (EncodingName(code) == name) {
            return code;
        }
    }
    return TextEncoding::Undetected;
}

ReportedFailure FromJob(FailureKind kind, const Text& path, int systemError) {
    return {std::string(FailureName(kind)), Utf8(FailureLabel(kind)), path, systemError, {}};
}
ReportedFailure FromJob(const JobFailure& failure) {
    ReportedFailure reported = FromJob(failure.kind, failure.path, failure.systemError);
    if (failure.kind == FailureKind::NotRestorable) {
        reported.why = failure.why;
        reported.label = "无法还原原文件（" + failure.why + "）：";
    } else if (failure.undecodedAt >= 0) {
        reported.why =
            Say("源文件第 " + std::to_string(failure.undecodedAt) + " 字节起无法解码",
                "the source does not decode from offset " + std::to_string(failure.undecodedAt));
        reported.label += reported.why + "：";
    } else if (!failure.unconvertible.empty()) {
        const std::string character = "“" + Utf8(failure.unconvertible) + "”";
        reported.why = Say(character + "无法以输出的编码表示",
                           character + " has no form in the output's encoding");
        reported.label += reported.why + "：";
    }
    return reported;
}

std::string FailureLine(const ReportedFailure& failure) {
    std::string line = "qirnsplit: " + failure.label + Utf8(failure.path);
    if (failure.systemError != 0) {
        line += ": " + SystemErrorText(failure.systemError);
    }
    return line;
}

namespace {

// What a wreck is, as the Chinese report says it; the token itself where it has no wording.
std::string WreckInChinese(const std::string& what) {
    if (what == "replacement-characters") {
        return "替换字符 U+FFFD";
    }
    if (what == "replacement-characters-as-gbk") {
        return "“锟斤拷”，即 U+FFFD 的 UTF-8 字节被当作 GBK 读";
    }
    if (what == "utf-8-as-gbk") {
        return "UTF-8 文本被当作 GBK 读，如“鏂囦欢”";
    }
    return what;
}

// One output as the JSON object lists it.
nlohmann::json OutputJson(const ReportedOutput& o, bool chapters) {
    // A book is a container, not a text.
    const std::string name = o.format.book ? std::string("EPUB") : EncodingName(o.format.encoding);
    nlohmann::json output = {{"path", nullptr},
                             {"bytes", o.bytes},
                             {"encoding", name.empty() ? nlohmann::json() : nlohmann::json(name)},
                             {"mark", o.format.mark}};
    PutPath(output, "path", o.path);
    if (chapters) {
        output["heading"] = Utf8(o.heading);
    }
    return output;
}

// A book's contents as a source's (or an ordered unit's) object carries them.
void PutContents(nlohmann::json& into, const ChapterContents& contents) {
    into["rule"] = contents.rule;
    into["frontContentsLines"] = contents.frontContentsLines;
    into["toc"] = nlohmann::json::array();
    for (const TocEntry& e : contents.toc) {
        into["toc"].push_back({{"title", Utf8(e.title)},
                               {"level", e.level},
                               {"number", e.number ? nlohmann::json(*e.number) : nlohmann::json()},
                               {"chars", e.chars}});
    }
    into["warnings"] = nlohmann::json::array();
    for (const ChapterWarning& w : contents.warnings) {
        into["warnings"].push_back({{"kind", std::string(WarningKindName(w.kind))},
                                    {"at", Utf8(w.at)},
                                    {"numbers", w.numbers}});
    }
}

// Everything but the outputs, which the command line prints as they are written.
nlohmann::json ReportRest(const Report& report, bool dryRun) {
    nlohmann::json j;
    j["deleted"] = nlohmann::json::array();
    for (const Text& d : report.deleted) {
        j["deleted"].push_back(PathEntry(d));
    }
    j["sources"] = nlohmann::json::array();
    for (const ReadSource& s : report.sources) {
        const std::string name = EncodingName(s.format.encoding);
        nlohmann::json source = {
            {"path", nullptr},
            {"encoding", name.empty() ? nlohmann::json() : nlohmann::json(name)},
            {"mark", s.format.mark},
            {"guessOver", s.guessedOver == TextEncoding::Undetected
                              ? nlohmann::json()
                              : nlohmann::json(EncodingName(s.guessedOver))}};
        PutPath(source, "path", s.path);
        if (s.damage.Any()) {
            source["damaged"] = {{"offset", s.damage.offset}, {"bytes", s.damage.bytes}};
        }
        if (s.contents) {
            PutContents(source, *s.contents);
        }
        j["sources"].push_back(std::move(source));
    }
    if (!report.ordered.empty()) {
        j["ordered"] = nlohmann::json::array();
        for (const OrderedUnit& unit : report.ordered) {
            nlohmann::json entry = {{"output", nullptr}, {"members", nlohmann::json::array()}};
            PutPath(entry, "output", unit.output);
            for (const Text& member : unit.members) {
                entry["members"].push_back(PathEntry(member));
            }
            PutContents(entry, unit.contents);
            j["ordered"].push_back(std::move(entry));
        }
    }
    j["failures"] = nlohmann::json::array();
    for (const ReportedFailure& f : report.failures) {
        nlohmann::json failure = {{"kind", f.kind}, {"path", nullptr}, {"reason", nullptr}};
        PutPath(failure, "path", f.path);
        if (f.systemError != 0) {
            failure["reason"] = SystemErrorText(f.systemError);
            if (const std::string_view name = SystemErrorName(f.systemError); !name.empty()) {
                failure["errno"] = name;
            }
        } else if (!f.why.empty()) {
            failure["reason"] = f.why;
        }
        j["failures"].push_back(std::move(failure));
    }
    if (!report.uncut.empty() || !report.wrecked.empty()) {
        j["warnings"] = nlohmann::json::array();
        for (const WreckedSource& w : report.wrecked) {
            nlohmann::json warning = {
                {"kind", "mojibake"}, {"path", nullptr}, {"what", w.what}, {"offset", w.offset}};
            PutPath(warning, "path", w.path);
            j["warnings"].push_back(std::move(warning));
        }
        for (const UncutBook& book : report.uncut) {
            nlohmann::json warning = {{"kind", "not-cut-into-chapters"},
                                      {"path", nullptr},
                                      {"headings", book.headings},
                                      {"longestChapterPercent", book.longestPercent}};
            PutPath(warning, "path", book.path);
            j["warnings"].push_back(std::move(warning));
        }
    }
    if (report.seed) {
        j["seed"] = *report.seed;
    }
    if (dryRun) {
        j["dryRun"] = true;
    }
    if (report.stopped) {
        j["stopped"] = true;
    }
    return j;
}

}  // namespace

ReportPrinter::ReportPrinter(const ReportStyle& common) : m_common(common) {}

void ReportPrinter::Output(const ReportedOutput& o, bool chapters) {
    // A book is a container, not a text.
    const std::string name = o.format.book ? std::string("EPUB") : EncodingName(o.format.encoding);
    if (m_common.json) {
        const nlohmann::json output = OutputJson(o, chapters);
        std::printf("%s%s", m_begun ? "," : "{\"outputs\":[", output.dump().c_str());
        m_begun = true;
        return;
    }
    if (m_common.quiet) {
        return;
    }
    std::printf("%s\t%lld\t%s%s", Utf8(o.path).c_str(), static_cast<long long>(o.bytes),
                name.empty() ? "-" : name.c_str(), o.format.mark ? "+BOM" : "");
    if (chapters) {
        std::printf("\t%s", Utf8(o.heading).c_str());
    }
    std::printf("\n");
}

void ReportPrinter::Source(const ReadSource& source) {
    if (!m_common.dryRun || m_common.json || m_common.quiet) {
        return;
    }
    const std::string name = EncodingName(source.format.encoding);
    const std::string guess =
        source.guessedOver == TextEncoding::Undetected
            ? ""
            : Say("\t推测，也可能是 ", "\tguess, as good: ") + EncodingName(source.guessedOver);
    std::printf("%s%s\t%s%s%s\n", Say("源文件：", "source: ").c_str(), Utf8(source.path).c_str(),
                name.empty() ? "-" : name.c_str(), source.format.mark ? "+BOM" : "", guess.c_str());
}

namespace {

std::string DamageText(const TextDamage& damage) {
    const std::string at = std::to_string(damage.offset);
    const std::string n = std::to_string(damage.bytes);
    return Say("第 " + at + " 字节起有 " + n + " 个字节无法解码（原样保留）",
               n + " bytes do not decode, the first at offset " + at + " (kept as they are)");
}

}  // namespace

void ReportPrinter::Damaged(const ReadSource& source) {
    if (!m_common.dryRun || m_common.json || m_common.quiet) {
        return;
    }
    std::printf("%s%s\t%s\n", Say("源文件已损坏：", "damaged source: ").c_str(),
                Utf8(source.path).c_str(), DamageText(source.damage).c_str());
}

namespace {

std::string WarningText(const ChapterWarning& w) {
    std::string numbers;
    for (const std::int64_t n : w.numbers) {
        numbers += (numbers.empty() ? "" : " ") + std::to_string(n);
    }
    const std::string at = Utf8(w.at);
    switch (w.kind) {
        case ChapterWarning::Kind::Missing:
            return Say("缺少第 " + numbers + " 章（在「" + at + "」之前）",
                       "missing " + numbers + " (before \"" + at + "\")");
        case ChapterWarning::Kind::Duplicate:
            return Say("重复的章节：「" + at + "」（标题和正文相同）",
                       "posted twice: \"" + at + "\" (same title and text)");
        case ChapterWarning::Kind::Order:
            return Say("章节序号不连续：" + numbers + "（「" + at + "」）",
                       "out of order: " + numbers + " (\"" + at + "\")");
        case ChapterWarning::Kind::Long:
        case ChapterWarning::Kind::Short: {
            // The numbers are the chapter's length and the book's usual length, in characters.
            const bool longer = w.kind == ChapterWarning::Kind::Long;
            const std::string size = w.numbers.empty() ? "" : std::to_string(w.numbers.front());
            const std::string usual = w.numbers.size() < 2 ? "" : std::to_string(w.numbers[1]);
            return Say(std::string(longer ? "过长" : "过短") + "的章节：「" + at + "」（" + size +
                           " 字，通常 " + usual + " 字）",
                       std::string(longer ? "far longer" : "far shorter") + " than usual: \"" + at +
                           "\" (" + size + " characters, usually " + usual + ")");
        }
    }
    return "";
}

}  // namespace

void ReportPrinter::Contents(const Text& path, const ChapterContents& contents) {
    if (m_common.json || m_common.quiet) {
        return;
    }
    FILE* to = m_common.dryRun ? stdout : stderr;
    if (m_common.dryRun) {
        std::printf("%s%s\t%s%s", Say("目录：", "contents: ").c_str(), Utf8(path).c_str(),
                    Say("规则：", "rule: ").c_str(),
                    contents.rule.empty() ? "-" : contents.rule.c_str());
        if (contents.frontContentsLines > 0) {
            std::printf("\t%s%zu", Say("书前目录行：", "front contents lines: ").c_str(),
                        contents.frontContentsLines);
        }
        std::printf("\n");
        for (const TocEntry& e : contents.toc) {
            const std::string level = e.level == 1 ? Say("卷", "volume") : Say("章", "chapter");
            std::printf("%s\t%s\t%s\t%lld\n", level.c_str(),
                        e.number ? std::to_string(*e.number).c_str() : "-", Utf8(e.title).c_str(),
                        static_cast<long long>(e.chars));
        }
    }
    for (const ChapterWarning& w : contents.warnings) {
        std::fprintf(to, "%s%s\n", Say("警告：", "warning: ").c_str(), WarningText(w).c_str());
    }
}

void ReportPrinter::Order(const OrderedUnit& unit) {
    if (m_common.dryRun && !m_common.json && !m_common.quiet) {
        std::printf("%s%s\n", Say("合并顺序：", "order: ").c_str(), Utf8(unit.output).c_str());
        for (std::size_t i = 0; i < unit.members.size(); ++i) {
            std::printf("%zu\t%s\n", i + 1, Utf8(unit.members[i]).c_str());
        }
    }
    Contents(unit.output, unit.contents);
}

void ReportPrinter::Finish(const Report& report) {
    for (const ReportedOutput& o : report.outputs) {
        Output(o, report.chapters);
    }
    for (const ReportedFailure& f : report.failures) {
        std::fprintf(stderr, "%s\n", FailureLine(f).c_str());
    }
    for (const UncutBook& book : report.uncut) {
        const std::string n = std::to_string(book.headings);
        const std::string p = std::to_string(book.longestPercent);
        std::fprintf(stderr, "%s%s%s\n",
                     Say("看来没有按章节分开：", "does not look cut into chapters: ").c_str(),
                     Utf8(book.path).c_str(),
                     Say("（" + n + " 个章节标题，最长一章占全文 " + p + "%）",
                         " (" + n + " headings, the longest chapter " + p + "% of the text)")
                         .c_str());
    }
    for (const WreckedSource& w : report.wrecked) {
        std::fprintf(
            stderr, "%s%s%s\n",
            Say("文本是先前错误转换的残骸：", "text wrecked by an earlier wrong conversion: ")
                .c_str(),
            Utf8(w.path).c_str(),
            Say("（" + WreckInChinese(w.what) + "，始于第 " + std::to_string(w.offset) + " 字节）",
                " (" + w.what + ", from offset " + std::to_string(w.offset) + ")")
                .c_str());
    }
    if (report.stopped) {
        std::fputs(Say("已停止。\n", "Stopped.\n").c_str(), stderr);
    }
    if (m_common.json) {
        const nlohmann::json j = ReportRest(report, m_common.dryRun);
        // The outputs went out as they were written; the rest of the object follows them.
        std::printf("%s],%s\n", m_begun ? "" : "{\"outputs\":[", j.dump().c_str() + 1);
        return;
    }
    if (m_common.quiet) {
        return;
    }
    for (const Text& d : report.deleted) {
        std::printf("%s%s\n", Say("删除：", "deleted: ").c_str(), Utf8(d).c_str());
    }
    for (const Text& c : report.checked) {
        std::printf("%s%s\n", Say("完好：", "intact: ").c_str(), Utf8(c).c_str());
    }
}

std::string ReportJson(const Report& report, bool dryRun) {
    nlohmann::json j = ReportRest(report, dryRun);
    nlohmann::json outputs = nlohmann::json::array();
    for (const ReportedOutput& o : report.outputs) {
        outputs.push_back(OutputJson(o, report.chapters));
    }
    j["outputs"] = std::move(outputs);
    return j.dump(2);
}

int ExitStatusOf(const Report& report) {
    return report.failures.empty() && !report.stopped ? 0 : 1;
}

}  // namespace qs

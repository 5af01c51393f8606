#include "cli/report.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/cli_texts.h"
#include "encoding/charset_converter.h"
#include "platform/system_error.h"

namespace qs::cli {

std::string Utf8(const Text& internal) {
    return ToUtf8Lossy(internal);
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
         {TextEncoding::Raw, TextEncoding::Utf8, TextEncoding::Utf16Le, TextEncoding::Utf16Be,
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
ReportedFailure Missing(const Text& path) {
    return {"missing", "缺少：", path};
}
ReportedFailure Changed(const Text& path) {
    return {"changed", "已改动：", path};
}
ReportedFailure Exists(const Text& path) {
    return {"exists", "已存在，未覆盖：", path};
}
ReportedFailure NotRestorable(const Text& path, const std::string& why) {
    return {"not-restorable", "无法还原原文件（" + why + "）：", path, 0, why};
}

std::string FailureLine(const ReportedFailure& failure) {
    std::string line = "qirnsplit: " + failure.label + Utf8(failure.path);
    if (failure.systemError != 0) {
        line += ": " + SystemErrorText(failure.systemError);
    }
    return line;
}

ReportPrinter::ReportPrinter(const CommonOptions& common) : m_common(common) {}

void ReportPrinter::Output(const ReportedOutput& o, bool chapters) {
    // A book is a container, not a text.
    const std::string name = o.format.book ? std::string("EPUB") : EncodingName(o.format.encoding);
    if (m_common.json) {
        nlohmann::json output = {
            {"path", Utf8(o.path)},
            {"bytes", o.bytes},
            {"encoding", name.empty() ? nlohmann::json() : nlohmann::json(name)},
            {"mark", o.format.mark}};
        if (chapters) {
            output["heading"] = Utf8(o.heading);
        }
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
    if (report.stopped) {
        std::fputs(Say("已停止。\n", "Stopped.\n").c_str(), stderr);
    }
    if (m_common.json) {
        nlohmann::json j;
        j["deleted"] = nlohmann::json::array();
        for (const Text& d : report.deleted) {
            j["deleted"].push_back(Utf8(d));
        }
        j["sources"] = nlohmann::json::array();
        for (const ReadSource& s : report.sources) {
            const std::string name = EncodingName(s.format.encoding);
            j["sources"].push_back(
                {{"path", Utf8(s.path)},
                 {"encoding", name.empty() ? nlohmann::json() : nlohmann::json(name)},
                 {"mark", s.format.mark},
                 {"guessOver", s.guessedOver == TextEncoding::Undetected
                                   ? nlohmann::json()
                                   : nlohmann::json(EncodingName(s.guessedOver))}});
        }
        j["failures"] = nlohmann::json::array();
        for (const ReportedFailure& f : report.failures) {
            nlohmann::json failure = {
                {"kind", f.kind}, {"path", Utf8(f.path)}, {"reason", nullptr}};
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
        if (!report.uncut.empty()) {
            j["warnings"] = nlohmann::json::array();
            for (const UncutBook& book : report.uncut) {
                j["warnings"].push_back({{"kind", "not-cut-into-chapters"},
                                         {"path", Utf8(book.path)},
                                         {"headings", book.headings},
                                         {"longestChapterPercent", book.longestPercent}});
            }
        }
        if (report.seed) {
            j["seed"] = *report.seed;
        }
        if (m_common.dryRun) {
            j["dryRun"] = true;
        }
        if (report.stopped) {
            j["stopped"] = true;
        }
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

int ExitStatusOf(const Report& report) {
    return report.failures.empty() && !report.stopped ? kExitDone : kExitFailures;
}

}  // namespace qs::cli

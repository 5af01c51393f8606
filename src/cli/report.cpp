#include "cli/report.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "cli/cli_texts.h"
#include "encoding/charset_converter.h"
#include "split/chapter_heading.h"

namespace qs::cli {

std::string Utf8(const Text& internal) {
    return ToUtf8Lossy(internal);
}

std::string EncodingName(TextEncoding code) {
    const std::string_view name = CharsetName(code);
    return name.empty() ? std::string(InternalCharset()) : std::string(name);
}

TextEncoding EncodingCode(std::string_view name) {
    for (TextEncoding code = EncodingRaw; code <= EncodingBig5Hkscs; ++code) {
        if (EncodingName(code) == name) {
            return code;
        }
    }
    return EncodingUndetected;
}

EncodingFacts EncodingOf(std::string_view head) {
    // A UTF-8 sequence cut at the end of the head must not spoil the test.
    if (head.size() >= OutputRecorder::kHeadBytes) {
        std::size_t lead = head.size();
        while (lead > 0 && head.size() - lead < 4 &&
               (static_cast<unsigned char>(head[lead - 1]) & 0xC0) == 0x80) {
            --lead;
        }
        if (lead > 0) {
            const auto b = static_cast<unsigned char>(head[lead - 1]);
            const std::size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
            if (head.size() - (lead - 1) < need) {
                head = head.substr(0, lead - 1);
            }
        }
    }
    EncodingFacts facts;
    facts.code = DecodeBytes(head).encoding;
    facts.name = EncodingName(facts.code);
    const std::string_view mark = ByteOrderMark(facts.code);
    facts.mark = !mark.empty() && head.substr(0, mark.size()) == mark;
    return facts;
}

ReportedFailure FromJob(FailureKind kind, const Text& path) {
    static const char* kKinds[] = {"unreadable",  "folder-not-created", "not-written",
                                   "source-kept", "not-converted",      "unrecognised-encoding"};
    return {kKinds[static_cast<int>(kind)], Utf8(FailureList::Label(kind)), path};
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
    return {"not-restorable", "无法还原原文件（" + why + "）：", path};
}

// A book is a container, not a text: its head is not read as one.
EncodingFacts FactsOf(const RecordedOutput& o) {
    constexpr std::string_view kEpubHead = "mimetypeapplication/epub+zip";
    const std::string_view head = o.head;
    if (head.substr(0, 4) == "PK\x03\x04" && head.substr(30, kEpubHead.size()) == kEpubHead) {
        return {EncodingUtf8, "EPUB", false};
    }
    return EncodingOf(head);
}

// The chapter heading a piece begins with (UTF-8), from its first bytes; empty for the
// text before the first chapter.
std::string HeadingOf(const Report& report, const RecordedOutput& o) {
    const Text text = DecodeBytes(o.head).text;
    const std::string_view line = std::string_view(text).substr(0, text.find_first_of("\r\n"));
    return report.isHeading(line) ? Utf8(Text(HeadingLabel(line))) : std::string();
}

void PrintReport(const Report& report, const CommonOptions& common) {
    for (const ReportedFailure& f : report.failures) {
        std::fprintf(stderr, "qirnsplit: %s%s\n", f.label.c_str(), Utf8(f.path).c_str());
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
    if (common.json) {
        nlohmann::json j;
        j["outputs"] = nlohmann::json::array();
        for (const RecordedOutput& o : report.outputs) {
            const EncodingFacts e = FactsOf(o);
            j["outputs"].push_back({{"path", Utf8(o.path)},
                                    {"bytes", o.bytes},
                                    {"encoding", e.name},
                                    {"mark", e.mark}});
            if (report.isHeading) {
                j["outputs"].back()["heading"] = HeadingOf(report, o);
            }
        }
        j["deleted"] = nlohmann::json::array();
        for (const Text& d : report.deleted) {
            j["deleted"].push_back(Utf8(d));
        }
        j["failures"] = nlohmann::json::array();
        for (const ReportedFailure& f : report.failures) {
            j["failures"].push_back({{"kind", f.kind}, {"path", Utf8(f.path)}});
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
        if (common.dryRun) {
            j["dryRun"] = true;
        }
        if (report.stopped) {
            j["stopped"] = true;
        }
        std::printf("%s\n", j.dump().c_str());
        return;
    }
    if (common.quiet) {
        return;
    }
    for (const RecordedOutput& o : report.outputs) {
        const EncodingFacts e = FactsOf(o);
        std::printf("%s\t%lld\t%s%s", Utf8(o.path).c_str(), static_cast<long long>(o.bytes),
                    e.name.c_str(), e.mark ? "+BOM" : "");
        if (report.isHeading) {
            std::printf("\t%s", HeadingOf(report, o).c_str());
        }
        std::printf("\n");
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

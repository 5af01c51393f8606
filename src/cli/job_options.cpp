#include "cli/job_options.h"

#include <cctype>
#include <charconv>

#include "cli/chapter_rules.h"
#include "encoding/output_text.h"
#include "encoding/text_decoder.h"
#include "epub/epub_book.h"
#include "job/book_contents.h"
#include "job/job_report.h"
#include "platform/chinese_converter.h"
#include "platform/native_names.h"
#include "platform/services.h"
#include "platform/sha256.h"
#include "text/said.h"
#include "text/text.h"

// Rows of the option table leave out the fields they do not need.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace qs::cli {
namespace {

std::string Bad(std::string_view flag, const std::string& value, std::string_view zh,
                std::string_view en) {
    return std::string(flag) + " " + value + ": " + Say(zh, en);
}

bool IsInteger(std::string_view s) {
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        s.remove_prefix(1);
    }
    if (s.empty()) {
        return false;
    }
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// A command-line text as an internal text; false when it has no internal form.
bool Internal(std::string_view utf8, Text& out) {
    return Utf8ToInternal(utf8, out);
}

std::string SetParts(JobSetup& s, const std::string& value) {
    if (!IsInteger(value)) {
        return Bad("--parts", value, "不是整数", "is not a whole number");
    }
    s.split.mode = SplitIntoPartsParams{ParseLeadingInt(value)};
    return "";
}

// MIN or MIN-MAX.
template <class RangeParams>
std::string SetRange(JobSetup& s, std::string_view flag, const std::string& value) {
    const std::size_t dash = value.find('-', 1);
    const std::string low = value.substr(0, dash);
    const std::string high = dash == std::string::npos ? low : value.substr(dash + 1);
    if (!IsInteger(low) || !IsInteger(high)) {
        return Bad(flag, value, "应为 最小值 或 最小值-最大值", "must be MIN or MIN-MAX");
    }
    s.split.mode = RangeParams{ParseLeadingInt(low), ParseLeadingInt(high)};
    return "";
}

std::string SetSize(JobSetup& s, const std::string& value) {
    std::size_t end = 0;
    while (end < value.size() &&
           (std::isdigit(static_cast<unsigned char>(value[end])) || value[end] == '.')) {
        ++end;
    }
    std::string unit = value.substr(end);
    for (char& c : unit) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    static const std::string_view kUnits[][2] = {{"B", ""}, {"K", "KB"}, {"M", "MB"}, {"G", "GB"}};
    int index = unit.empty() ? 0 : -1;
    for (int i = 0; i < 4 && index < 0; ++i) {
        if (unit == kUnits[i][0] || (!kUnits[i][1].empty() && unit == kUnits[i][1])) {
            index = i;
        }
    }
    const std::string number = value.substr(0, end);
    if (index < 0 || number.empty() || number.find('.') != number.rfind('.') || number == ".") {
        return Bad("--size", value, "应为 数字[B|K|KB|M|MB|G|GB]", "must be N[B|K|KB|M|MB|G|GB]");
    }
    s.split.mode = SplitBySizeParams{ParseLeadingFloat(number), index};
    return "";
}

std::string SetText(std::string_view flag, const std::string& value, Text& field, bool escapes) {
    Text text;
    if (!Internal(escapes ? Unescape(value) : value, text)) {
        return Bad(flag, value, "含有无法表示的字符",
                   "holds characters the program cannot represent");
    }
    field = std::move(text);
    return "";
}

std::string SetSplitSeparator(JobSetup& s, const std::string& value) {
    Text text;
    if (!Internal(Unescape(value), text)) {
        return Bad("--separator", value, "含有无法表示的字符",
                   "holds characters the program cannot represent");
    }
    s.split.mode = SplitAtSeparatorParams{text};
    return "";
}

std::string SetSeed(JobSetup& s, const std::string& value) {
    std::uint64_t seed = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seed);
    if (error != std::errc() || end != value.data() + value.size()) {
        return Bad("--seed", value, "不是非负整数", "is not a non-negative whole number");
    }
    s.split.seed = seed;
    return "";
}

std::string SetChapters(JobSetup& s, const std::string& value) {
    Text expression;
    if (!Internal(value, expression)) {
        return Bad("--chapters", value, "含有无法表示的字符",
                   "holds characters the program cannot represent");
    }
    SplitParams probe;
    probe.mode = SplitAtChaptersParams{expression, 1};
    if (Validate(probe)) {
        return Bad("--chapters", value, "不是可用的正则表达式", "is not a usable expression");
    }
    s.split.mode = SplitAtChaptersParams{expression, 1};
    return "";
}

std::string SetChapterRules(JobSetup& s, const std::string& value) {
    ChapterRuleList list = ReadChapterRules(NativeToInternal(value));
    if (!list.error.empty()) {
        return "--chapter-rules " + value + ": " + list.error;
    }
    s.chapterRules = std::move(list.rules);
    s.rulesGiven = true;
    return "";
}

std::string SetChinese(JobSetup& s, const std::string& value) {
    if (!ParseZhConversion(value)) {
        return Bad("--zh", value, "应为 t2s、s2t、t2tw 或 s2tw", "must be t2s, s2t, t2tw or s2tw");
    }
    if (!Zh().Available()) {
        const std::string why = Zh().WhyUnavailable();
        return "--zh: " + (why.empty() ? Say("本程序构建时没有 OpenCC，无法进行繁简转换",
                                             "this program was built without OpenCC: no 繁简 "
                                             "conversion")
                                       : Say("无法进行繁简转换：", "no 繁简 conversion: ") + why);
    }
    const ZhConversion how = *ParseZhConversion(value);
    s.split.output.zh = how;
    s.merge.output.zh = how;
    s.merge.processTextEncoding = true;
    return "";
}

const std::vector<JobOption> kOptions = {
    {"--parts", ValueKind::Required, "N", ForSplit, "mode", "按份数分割成 N 份（默认 100）",
     "split into N parts (the default, 100)",
     [](JobSetup& s, const std::string& v) { return SetParts(s, v); }},
    {"--size", ValueKind::Required, "N[B|K|KB|M|MB|G|GB]", ForSplit, "mode",
     "按字节分割，每份 N 个单位（可有小数）", "split into pieces of N units (decimals allowed)",
     [](JobSetup& s, const std::string& v) { return SetSize(s, v); }},
    {"--lines", ValueKind::Required, "MIN[-MAX]", ForSplit, "mode",
     "按行数分割，每份随机 MIN 到 MAX 行", "split into pieces of a random MIN to MAX lines",
     [](JobSetup& s, const std::string& v) {
         return SetRange<SplitByLinesParams>(s, "--lines", v);
     }},
    {"--chars", ValueKind::Required, "MIN[-MAX]", ForSplit, "mode",
     "按字符数分割，每份随机 MIN 到 MAX 个字符",
     "split into pieces of a random MIN to MAX characters",
     [](JobSetup& s, const std::string& v) {
         return SetRange<SplitByCharsParams>(s, "--chars", v);
     }},
    {"--separator", ValueKind::Required, "TEXT", ForSplit, "mode",
     "在每个 TEXT 处分割（识别 \\n \\r \\t \\\\）",
     "split at every TEXT (\\n \\r \\t \\\\ understood)",
     [](JobSetup& s, const std::string& v) { return SetSplitSeparator(s, v); }},
    {"--chapters", ValueKind::Optional, "[=REGEX]", ForSplit, "mode",
     "在章节标题处分割，标题留作每份的第一行（可给出标题的正则表达式）",
     "split at chapter headings, each kept as its piece's first line (REGEX: your own "
     "heading expression)",
     [](JobSetup& s, const std::string& v) { return SetChapters(s, v); }, ""},
    {"--chapters-per-piece", ValueKind::Required, "N", ForSplit, "", "按章节分割时每份 N 章",
     "with --chapters, N chapters to a piece",
     [](JobSetup& s, const std::string& v) {
         if (!IsInteger(v) || v[0] == '-' || v == "0") {
             return Bad("--chapters-per-piece", v, "应为正整数", "must be a positive number");
         }
         s.chaptersPerPiece = ParseLeadingInt(v);
         return std::string();
     }},
    {"--chapter-rules", ValueKind::Required, "FILE", ForSplit, "",
     "按章节分割，标题规则取自 FILE（JSON 规则列表：name、rule、example、serialNumber、enable），"
     "用最合适的一条；即 --chapters，无需另给",
     "split at chapter headings found by the rules of FILE (a JSON rule list: name, rule, "
     "example, serialNumber, enable), the one that fits the book best; implies --chapters",
     [](JobSetup& s, const std::string& v) { return SetChapterRules(s, v); }},
    {"--per-volume", ValueKind::None, "", ForSplit, "",
     "按章节分割时每卷一份（或用 --epub 时每卷一本书）",
     "with --chapters, one piece (or with --epub one book) per volume",
     [](JobSetup& s, const std::string&) {
         s.perVolume = true;
         return std::string();
     }},
    {"--epub", ValueKind::None, "", ForSplit, "",
     "按章节分割时写一本 EPUB 电子书（<原文件名>.epub，UTF-8）代替文本分割结果",
     "with --chapters, write one EPUB book (<source name>.epub, UTF-8) instead of text pieces",
     [](JobSetup& s, const std::string&) {
         s.epub = true;
         const std::string why = EpubUnavailable() + Sha256Unavailable();
         return why.empty() ? why : "--epub: " + why;
     }},
    {"--to", ValueKind::Required, OutputEncodingNames(), ForSplit | ForMerge, "",
     "以此编码写出（文本模式；合并时解码每个文件）",
     "write the outputs in this encoding (text modes; a merge decodes every file)",
     [](JobSetup& s, const std::string& v) {
         if (!ParseOutputEncoding(v)) {
             return Bad("--to", v, "不是可用的编码", "is not an encoding this option knows");
         }
         s.split.output.encoding = ParseOutputEncoding(v);
         s.merge.output.encoding = ParseOutputEncoding(v);
         s.merge.processTextEncoding = true;
         return std::string();
     }},
    {"--from", ValueKind::Required, OutputEncodingNames(), ForSplit | ForMerge, "",
     "所有源文件按此编码读取，不再识别（须能完整解码）",
     "read every source in this encoding instead of detecting it (it must decode exactly)",
     [](JobSetup& s, const std::string& v) {
         const std::optional<TextFormat> named = ParseOutputEncoding(v);
         if (!named) {
             return Bad("--from", v, "不是可用的编码", "is not an encoding this option knows");
         }
         // GBK is read as the whole of GB18030, of which it is a part.
         s.sourceEncoding = FormatOf(*named).encoding;
         return std::string();
     }},
    {"--zh", ValueKind::Required, "t2s|s2t|t2tw|s2tw", ForSplit | ForMerge, "",
     "繁简转换（OpenCC），写出前转换文本",
     "convert between traditional and simplified "
     "Chinese (OpenCC) before writing",
     [](JobSetup& s, const std::string& v) { return SetChinese(s, v); }},
    {"--subfolder", ValueKind::None, "", ForSplit, "subfolder",
     "分割结果存入以原文件命名的子目录（默认）",
     "put the pieces in a sub-folder named after the source (the default)",
     [](JobSetup& s, const std::string&) {
         s.split.subfolder = true;
         return std::string();
     }},
    {"--no-subfolder", ValueKind::None, "", ForSplit, "subfolder", "分割结果存在原文件旁",
     "put the pieces beside the source",
     [](JobSetup& s, const std::string&) {
         s.split.subfolder = false;
         return std::string();
     }},
    {"--delete-sources", ValueKind::None, "", ForSplit, "", "分割完整后删除原文件",
     "delete each source once all its pieces are written",
     [](JobSetup& s, const std::string&) {
         s.split.deleteSources = true;
         return std::string();
     }},
    {"--skip-blank-lines", ValueKind::None, "", ForSplit, "", "按行数分割时忽略空行",
     "leave blank lines out (line mode)",
     [](JobSetup& s, const std::string&) {
         s.split.skipBlankLines = true;
         return std::string();
     }},
    {"--keep-line-breaks", ValueKind::None, "", ForSplit, "",
     "按行数分割时每行保留原有的换行符（LF、CR LF、CR），各份依次拼接即为原文件",
     "with --lines, every line keeps its own break (LF, CR LF, CR): the pieces joined are "
     "the source, byte for byte",
     [](JobSetup& s, const std::string&) {
         s.keepLineBreaks = true;
         return std::string();
     }},
    {"--name-from-text", ValueKind::None, "", ForSplit, "", "随机改名：以其中一句话命名每份",
     "name each piece after a sentence of its text",
     [](JobSetup& s, const std::string&) {
         s.split.nameFromText = true;
         return std::string();
     }},
    {"--pattern", ValueKind::Required, "GLOB", ForSplit, "", "目录中要分割的文件（默认 *.*）",
     "the files of a folder to split (default *.*)",
     [](JobSetup& s, const std::string& v) {
         return SetText("--pattern", v, s.split.pattern, false);
     }},
    {"--seed", ValueKind::Required, "N", ForSplit, "",
     "随机数种子：同一种子得到同样的随机份长与名称",
     "random seed: the same seed gives the same random lengths and names",
     [](JobSetup& s, const std::string& v) { return SetSeed(s, v); }},
    {"--manifest", ValueKind::None, "", ForSplit, "",
     "在分割结果旁写 <原文件名>.manifest.json（用于合并还原与校验）",
     "write <source name>.manifest.json beside the pieces (for merge and verify)",
     [](JobSetup& s, const std::string&) {
         s.split.manifest = true;
         const std::string why = Sha256Unavailable();
         return why.empty() ? why : "--manifest: " + why;
     }},

    {"--separator", ValueKind::Required, "TEXT", ForMerge, "separator",
     "文件之间插入 TEXT（识别 \\n \\r \\t \\\\）",
     "put TEXT between files (\\n \\r \\t \\\\ understood)",
     [](JobSetup& s, const std::string& v) {
         s.merge.separatorKind = MergeSeparatorKind::String;
         return SetText("--separator", v, s.merge.separatorText, true);
     }},
    {"--separator-line-break", ValueKind::None, "", ForMerge, "separator",
     "文件之间插入换行（CR LF）", "put a line break (CR LF) between files",
     [](JobSetup& s, const std::string&) {
         s.merge.separatorKind = MergeSeparatorKind::String;
         s.merge.separatorText = "\r\n";
         return std::string();
     }},
    {"--separator-file", ValueKind::Required, "FILE", ForMerge, "separator",
     "文件之间插入 FILE 的内容", "put the content of FILE between files",
     [](JobSetup& s, const std::string& v) {
         s.merge.separatorKind = MergeSeparatorKind::File;
         return SetText("--separator-file", v, s.merge.separatorPath, false);
     }},
    {"--recursive", ValueKind::None, "", ForMerge, "", "遍历子目录：每个子目录各合并一个文件",
     "walk sub-folders, one output per folder",
     [](JobSetup& s, const std::string&) {
         s.merge.includeSubfolders = true;
         return std::string();
     }},
    {"--in-folder", ValueKind::None, "", ForMerge, "", "合并结果存在目录内（默认存在父目录）",
     "write the output inside the folder (default: its parent)",
     [](JobSetup& s, const std::string&) {
         s.merge.saveInParentFolder = false;
         return std::string();
     }},
    {"--delete-sources", ValueKind::None, "", ForMerge, "", "合并完整后删除原文件",
     "delete the sources once the output is complete",
     [](JobSetup& s, const std::string&) {
         s.merge.deleteSources = true;
         return std::string();
     }},
    {"--encode", ValueKind::None, "", ForMerge, "",
     "处理文本编码：解码每个文件，以最后一个文件的编码写出",
     "decode every file and write the output in the last file's encoding",
     [](JobSetup& s, const std::string&) {
         s.merge.processTextEncoding = true;
         return std::string();
     }},
    {"--order", ValueKind::Required, "names|headings", ForMerge, "",
     "成员的顺序：按文件名（默认），或按其中的章节标题（卷、章序号，番外、后记在最后）",
     "the members' order: by name (the default), or by the chapter headings inside them "
     "(volume, then chapter number; side stories and afterwords last)",
     [](JobSetup& s, const std::string& v) {
         if (v != "names" && v != "headings") {
             return Bad("--order", v, "应为 names 或 headings", "must be names or headings");
         }
         s.merge.order = v == "headings" ? MergeOrder::Headings : MergeOrder::Names;
         return std::string();
     }},
    {"--pattern", ValueKind::Required, "GLOB", ForMerge, "", "目录中要合并的文件（默认 *.*）",
     "the files of a folder to merge (default *.*)",
     [](JobSetup& s, const std::string& v) {
         return SetText("--pattern", v, s.merge.pattern, false);
     }},
};

}  // namespace

const std::vector<JobOption>& JobOptions() {
    return kOptions;
}

void FinishSetup(JobSetup& setup) {
    if (setup.rulesGiven && !std::holds_alternative<SplitAtChaptersParams>(setup.split.mode)) {
        setup.split.mode = SplitAtChaptersParams{};
    }
    if (auto* chapters = std::get_if<SplitAtChaptersParams>(&setup.split.mode)) {
        chapters->perPiece = setup.chaptersPerPiece;
        chapters->epub = setup.epub;
        chapters->rules = setup.chapterRules;
        chapters->perVolume = setup.perVolume;
    }
    if (auto* lines = std::get_if<SplitByLinesParams>(&setup.split.mode)) {
        lines->keepBreaks = setup.keepLineBreaks;
    }
}

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                out += '\\';
                out += text[i];
        }
    }
    return out;
}

}  // namespace qs::cli

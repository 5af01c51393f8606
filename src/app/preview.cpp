#include "app/preview.h"

#include <memory>

#include "app/app.h"
#include "app/more_options.h"
#include "app/run_control.h"
#include "app/window_jobs.h"
#include "fs/paths.h"
#include "platform/native_names.h"
#include "platform/services.h"
#include "split/split_job.h"

namespace qs {
namespace {

// 1234567 as "1,234,567".
Text Number(std::int64_t n) {
    const std::string digits = std::to_string(n);
    Text grouped;
    const std::size_t lead = digits[0] == '-' ? 1 : 0;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > lead && (digits.size() - i) % 3 == 0) {
            grouped.push_back(',');
        }
        grouped.push_back(digits[i]);
    }
    return grouped;
}

Text Numbers(const std::vector<std::int64_t>& numbers) {
    Text text;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        text += (i == 0 ? Text() : U("、")) + std::to_string(numbers[i]);
    }
    return text;
}

Text WarningLine(const ChapterWarning& w) {
    const Text at = U("“") + DisplayText(w.at) + U("”");
    switch (w.kind) {
        case ChapterWarning::Kind::Missing:
            return U("缺少第 ") + Numbers(w.numbers) + U(" 章（") + at + U(" 之前）");
        case ChapterWarning::Kind::Duplicate:
            return at + U(" 重复出现");
        case ChapterWarning::Kind::Order:
            return at + U(" 顺序不对（") + Numbers(w.numbers) + U("）");
        case ChapterWarning::Kind::Long:
        case ChapterWarning::Kind::Short: {
            const bool isLong = w.kind == ChapterWarning::Kind::Long;
            Text line = at + U(isLong ? " 特别长" : " 特别短");
            if (w.numbers.size() == 2) {
                line += U("（") + Number(w.numbers[0]) + U(" 字，通常 ") + Number(w.numbers[1]) +
                        U(" 字）");
            }
            return line;
        }
    }
    return at;
}

void AddContents(const ChapterContents& contents, Text& text) {
    text += U("　目录：") + Number(static_cast<std::int64_t>(contents.toc.size())) + U(" 项");
    if (!contents.rule.empty()) {
        Text rule;
        text += Utf8ToInternal(contents.rule, rule) ? U("（按 ") + rule + U(" 识别）") : Text();
    }
    text += "\r\n";
    for (const TocEntry& e : contents.toc) {
        text += U(e.level == 1 ? "　　" : "　　　　") + DisplayText(e.title) + U("　") +
                Number(e.chars) + U(" 字\r\n");
    }
    if (contents.warnings.empty()) {
        text += U("　没有发现章节问题\r\n");
        return;
    }
    text +=
        U("　警告 ") + Number(static_cast<std::int64_t>(contents.warnings.size())) + U(" 项：\r\n");
    for (const ChapterWarning& w : contents.warnings) {
        text += U("　　") + WarningLine(w) + "\r\n";
    }
}

// The files of the job, one per line, with the source they come from.
void AddOutputs(const Report& report, std::size_t source, Text& text) {
    std::int64_t count = 0, bytes = 0;
    for (const ReportedOutput& o : report.outputs) {
        if (o.source == source) {
            ++count;
            bytes += o.bytes;
        }
    }
    text += U("　将写出 ") + Number(count) + U(" 个文件，共 ") + Number(bytes) + U(" 字节：\r\n");
    for (const ReportedOutput& o : report.outputs) {
        if (o.source == source) {
            text += U("　　") + DisplayText(o.path) + U("　") + Number(o.bytes) + U(" 字节\r\n");
        }
    }
}

Control Make(std::string_view name, ControlKind kind, int left, int top, int width, int height,
             std::string_view caption = {}) {
    Control c;
    c.name = U(name);
    c.kind = kind;
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    c.text = U(caption);
    return c;
}

// The preview's own window: the text, read-only and copyable, and its buttons.
bool ShowPreview(const Text& text, bool asking) {
    Form form(U("预览"));
    form.SetTitle(U("预览（不写入任何文件）"));
    form.SetFormGeometry(50, 50, 560, 440);
    Control& body = form.Add(Make("编辑框预览", ControlKind::EditBox, 8, 8, 528, 352));
    body.multiLine = true;
    body.readOnly = true;
    body.verticalScrollBar = true;
    body.text = text;
    bool goOn = false;
    if (asking) {
        form.Add(Make("按钮开始分割", ControlKind::Button, 336, 370, 96, 28, "开始分割"))
            .defaultButton = true;
        form.On(U("按钮开始分割"), ControlEvent::Clicked, [&] {
            goOn = true;
            form.Close();
        });
    }
    form.Add(Make("按钮取消预览", ControlKind::Button, 440, 370, 96, 28, asking ? "取消" : "关闭"))
        .defaultButton = !asking;
    form.On(U("按钮取消预览"), ControlEvent::Clicked, [&] { form.Close(); });
    form.MarkOpen();
    form.SetFocus(U(asking ? "按钮开始分割" : "按钮取消预览"));
    Ui().RunModal(form);
    return goOn;
}

}  // namespace

void PreviewEvents::SourceRead(const Text& path, const TextFormat& format,
                               TextEncoding guessedOver) {
    m_report.sources.push_back({path, format, guessedOver, std::nullopt, {}});
}

void PreviewEvents::OutputWritten(const OutputRecord& o) {
    m_report.outputs.push_back({o.path, o.bytes, o.format, o.source, {}, o.heading});
}

void PreviewEvents::Failed(const JobFailure& failure) {
    m_report.failures.push_back(FromJob(failure.kind, failure.path, failure.systemError));
}

void PreviewEvents::BookLooksUncut(const UncutBook& book) {
    m_report.uncut.push_back(book);
}

void PreviewEvents::ContentsFound(const Text& path, const ChapterContents& contents) {
    if (!m_report.sources.empty() && m_report.sources.back().path == path) {
        m_report.sources.back().contents = contents;
    }
}

void PreviewEvents::Pump() {
    ProcessPendingEvents();
}

Text PreviewText(const Report& report) {
    Text text = U("预览：以下是按当前选项分割将会写出的内容，现在没有写入任何文件。\r\n");
    // The sources in the order the job read them; outputs name theirs by position.
    std::size_t index = 0;
    for (const ReadSource& s : report.sources) {
        ++index;
        const std::string encoding = EncodingName(s.format.encoding);
        text += "\r\n" + DisplayText(s.path) + U("　") +
                (encoding.empty() ? U("按字节复制")
                                  : U(encoding) + (s.format.mark ? U("（带标记）") : Text())) +
                (s.guessedOver != TextEncoding::Undetected ? U("（推测）") : Text()) + "\r\n";
        if (s.contents) {
            AddContents(*s.contents, text);
        }
        AddOutputs(report, index, text);
    }
    for (const UncutBook& book : report.uncut) {
        text += "\r\n" + DisplayText(book.path) + U("：看起来没有分成章节（") +
                std::to_string(book.headings) + U(" 个章节标题，最长一章占全文 ") +
                std::to_string(book.longestPercent) + U("%）\r\n");
    }
    // A source no encoding reads whole (damaged, or no text) is told as a source, not only
    // as a failure: it is left as it is.
    const std::string unrecognised(FailureName(FailureKind::Unrecognised));
    std::size_t failed = 0;
    for (const ReportedFailure& f : report.failures) {
        if (f.kind == unrecognised) {
            text += "\r\n" + DisplayText(f.path) +
                    U("　已损坏或不是文本：没有一种编码能完整读出它，不会分割，原样保留\r\n");
        } else {
            ++failed;
        }
    }
    if (failed > 0) {
        text += U("\r\n以下 ") + std::to_string(failed) + U(" 项将会失败：\r\n");
        for (const ReportedFailure& f : report.failures) {
            if (f.kind != unrecognised) {
                Text label;
                Utf8ToInternal(f.label, label);
                text += label + DisplayText(f.path) + "\r\n";
            }
        }
    }
    return text;
}

bool PreviewSplit(App& app, const TextList& files, bool asking) {
    if (files.empty() || !app.dryRunFileSystem) {
        return true;
    }
    Report report;
    {
        const std::unique_ptr<FileSystem> dryRun = app.dryRunFileSystem(Fs());
        const ServicesOverride nothingWritten({dryRun.get(), nullptr, nullptr, nullptr});
        WindowSplitRequest requests(app.MainForm(), &app.MoreForm(), app.readChapterRules, files);
        PreviewEvents events(report);
        RunSplitJob(requests, events);
    }
    const Text note = MoreOptionsNote(app.MoreForm());
    return ShowPreview((note.empty() ? Text() : note + "\r\n") + PreviewText(report), asking);
}

bool RuleFileUsable(App& app) {
    const Text problem = RuleFileProblem(app.MoreForm(), app.readChapterRules);
    if (!problem.empty()) {
        ShowMessage(problem, MessageButtons::Ok, Text(), MessageIcon::Warning);
    }
    return problem.empty();
}

void PreviewChosenFiles(App& app) {
    if (!RuleFileUsable(app)) {
        return;
    }
    TextList files = Ui().OpenFilesDialog(
        U("选择要预览的文件："),
        U("TXT文档(*.txt)|*.txt|HTML文档(*.htm;*.html)|*.htm;*.html|所有文件(*.*)|*.*"), Text());
    std::erase(files, Text());
    PreviewSplit(app, files, false);
}

}  // namespace qs

#include "app/run_control.h"

#include <algorithm>
#include <string>

#include "app/kept_reports.h"
#include "app/main_window.h"
#include "fs/paths.h"
#include "platform/native_names.h"
#include "platform/process.h"
#include "platform/services.h"
#include "platform/system_error.h"
#include "text/characters.h"

namespace qs {

Text FailureList::Line(std::size_t i) const {
    Text line = Label(m_items[i].first) + DisplayText(m_items[i].second);
    Text reason;
    // A full disk in the window's own words, whatever language the system speaks.
    if (IsOutOfSpace(m_reasons[i])) {
        reason = U("磁盘空间不足");
    } else if (m_reasons[i] != 0 && !Utf8ToInternal(SystemErrorText(m_reasons[i]), reason)) {
        reason.clear();
    }
    if (!reason.empty()) {
        line += U("（") + reason + U("）");
    }
    return line;
}

Text FailureList::AllLines() const {
    Text lines;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        lines += (i == 0 ? "" : "\r\n") + Line(i);
    }
    return lines;
}

Text FailureList::Summary() const {
    constexpr std::size_t kShown = 10;
    Text text = U("以下 ") + std::to_string(m_items.size()) + U(" 项操作失败：");
    for (std::size_t i = 0; i < m_items.size() && i < kShown; ++i) {
        text += "\r\n" + Line(i);
    }
    if (m_items.size() > kShown) {
        text += "\r\n" + U("……");
    }
    return text;
}

void FailureList::AppendTo(Text& text) const {
    if (!m_items.empty()) {
        text += "\r\n\r\n" + Summary();
    }
}

namespace {

Text UncutBookLine(const UncutBook& book) {
    return DisplayText(book.path) + U("（") + std::to_string(book.headings) +
           U(" 个章节标题，最长一章占全文 ") + std::to_string(book.longestPercent) + U("%）");
}

}  // namespace

void AppendUncutBooks(const std::vector<UncutBook>& books, Text& text) {
    if (books.empty()) {
        return;
    }
    constexpr std::size_t kShown = 10;
    text += "\r\n\r\n";
    text += U("以下文件看来没有按章节分开（标题太少，或一章占了大半）：");
    for (std::size_t i = 0; i < books.size() && i < kShown; ++i) {
        text += "\r\n" + UncutBookLine(books[i]);
    }
    if (books.size() > kShown) {
        text += "\r\n" + U("……");
    }
}

void AppendSplitMode(const Report& report, Text& text) {
    const bool chapters = std::any_of(report.sources.begin(), report.sources.end(),
                                      [](const ReadSource& s) { return s.contents.has_value(); });
    if (!chapters) {
        return;
    }
    const bool epub = std::any_of(report.outputs.begin(), report.outputs.end(),
                                  [](const ReportedOutput& o) { return o.format.book; });
    text += "\r\n\r\n" + U(epub ? "分割方式：按章节标题分割为 EPUB 电子书（更多选项）"
                                : "分割方式：按章节标题分割（更多选项）");
}

const JobCaptions& CaptionsOf(JobKind kind) {
    static const JobCaptions split{U("分割文件.."), U("正在分割，点击停止"), U("正在停止中")};
    static const JobCaptions merge{U("合并文件..     "), U("正在合并，点击停止"),
                                   U("正在停止中     ")};
    return kind == JobKind::Split ? split : merge;
}

std::string_view StartButtonOf(JobKind kind) {
    return kind == JobKind::Split ? names::SplitButton : names::MergeButton;
}

void RunControl::RequestStop() {
    StopRequested = true;
    ++m_stopRequests;
}

bool RunControl::IsBusy(JobKind kind) const {
    return m_form.TextOf(U(StartButtonOf(kind))) != CaptionsOf(kind).idle;
}

bool RunControl::BeginJob(JobKind kind) {
    const Text& button = U(StartButtonOf(kind));
    if (IsBusy(kind)) {
        RequestStop();
        m_form.SetText(button, CaptionsOf(kind).stopping);
        return false;
    }
    m_form.SetText(button, CaptionsOf(kind).running);
    StopRequested = false;
    progress.Begin({}, 1);
    // The last job's words go when the next one starts.
    if (m_form.Find(U(names::Status))) {
        m_form.SetText(U(names::Status), Text());
    }
    Failures(kind).Clear();
    JobReport(kind) = Report();
    if (kind == JobKind::Split) {
        uncutBooks.clear();
    }
    if (kind == JobKind::Merge) {
        m_form.SetVisible(U(names::MergePattern), false);
    }
    return true;
}

void RunControl::KeepJobReport(JobKind kind) {
    Report& report = JobReport(kind);
    const FailureList& failures = Failures(kind);
    report.failures.clear();
    for (std::size_t i = 0; i < failures.Count(); ++i) {
        report.failures.push_back(
            FromJob(failures.Items()[i].first, failures.Items()[i].second, failures.ReasonOf(i)));
    }
    if (kind == JobKind::Split) {
        report.uncut = uncutBooks;
    }
    report.stopped = StopRequested;
    lastReportPath = KeepReport(reportsFolder, ReportJson(report, false), ReportStamp());
}

void RunControl::EndJob(JobKind kind, const TextList& paths, bool suppressQuestion) {
    m_form.SetText(U(StartButtonOf(kind)), CaptionsOf(kind).idle);
    if (!StopRequested) {
        progress.Done();
    }
    const Report& report = JobReport(kind);
    // A job that never began (a chooser cancelled) has nothing to tell.
    if (!paths.empty() || !Failures(kind).Empty() || !report.outputs.empty()) {
        KeepJobReport(kind);
    }
    if (kind == JobKind::Merge) {
        m_form.SetVisible(U(names::MergePattern), true);
    }
    // The user asked to close while the job ran: no question, finish the close.
    if (m_closePending) {
        if (!AnyBusy()) {
            m_closePending = false;
            m_form.RequestClose();
        }
        return;
    }
    if (paths.empty()) {
        return;
    }
    if (kind == JobKind::Merge) {
        if (m_form.IsChecked(U(names::ParentSave))) {
            Text parent = PathDirectory(lastMergeFolder);
            if (!parent.empty()) {
                lastMergeFolder = std::move(parent);
            }
        }
        if (suppressQuestion) {
            return;
        }
    }
    AskOpenOutputFolder(kind, kind == JobKind::Split ? lastSplitFolder : lastMergeFolder);
}

void RunControl::ShowIdleNote(const Text& note) {
    if (!AnyBusy() && m_form.Find(U(names::Status))) {
        m_form.SetText(U(names::Status), note);
    }
}

void RunControl::ShowStatus(const Text& text) {
    m_form.SetText(U(names::Status), text);
}

Text RunControl::OutcomeWords(JobKind kind) const {
    const bool split = kind == JobKind::Split;
    if (!StopRequested) {
        return U(split ? "分割完毕！" : "合并完毕！");
    }
    // A stopped job says where it stopped: the file it was at, of how many.
    const Control& bar = m_form.Get(U(names::Progress));
    Text words = U(split ? "分割已停止" : "合并已停止");
    if (bar.position > 0) {
        words += U("，停在第 ") + std::to_string(bar.position) + U(" 个文件（共 ") +
                 std::to_string(bar.maximum) + U(" 个）");
    } else {
        words += U("，还没有处理任何文件");
    }
    return words + U("！");
}

void RunControl::AskOpenOutputFolder(JobKind kind, const Text& folder) {
    Text question = OutcomeWords(kind) + U("是否打开目录：");
    question += DisplayText(folder);
    if (kind == JobKind::Split) {
        AppendSplitMode(JobReport(kind), question);
        AppendUncutBooks(uncutBooks, question);
    }
    const FailureList& failures = Failures(kind);
    failures.AppendTo(question);
    if (ShowMessage(question, MessageButtons::YesNo, Text(),
                    failures.Empty() ? MessageIcon::None : MessageIcon::Warning,
                    ReportDetails(kind)) == MessageResult::Yes) {
        OpenInExplorer(folder);
    }
}

void ProcessPendingEvents() {
    Ui().ProcessPendingEvents();
}

bool IsKeyDown(int virtualKey) {
    constexpr int kControlKey = 17;
    if (virtualKey != kControlKey) {
        ProcessPendingEvents();
        return false;
    }
    Ui().IsCtrlDown();
    ProcessPendingEvents();
    return Ui().IsCtrlDown();
}

Text ChooseFolder(RunControl& run, const Text& initialFolder, const Text& title) {
    run.chooseFolderInitial = initialFolder;
    return TrimSpaces(Ui().ChooseFolder(initialFolder, title));
}

bool OpenInExplorer(const Text& folder) {
    return Ui().OpenFolder(folder);
}

Text RunControl::ReportDetails(JobKind kind) {
    Text details = Failures(kind).AllLines();
    if (!lastReportPath.empty()) {
        details += (details.empty() ? "" : "\r\n\r\n") + U("报告：") + DisplayText(lastReportPath);
    }
    return details;
}

MessageResult ShowMessage(const Text& text, MessageButtons buttons, const Text& title,
                          MessageIcon icon, const Text& details) {
    MessageRequest request;
    request.details = details;
    request.text = text;
    request.title = title.empty() ? U("信息：") : title;
    request.buttons = buttons;
    request.icon = icon;
    return Ui().ShowMessage(request);
}

}  // namespace qs

#pragma once

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "app/control_model.h"
#include "app/job_progress.h"
#include "job/failure.h"
#include "job/job_events.h"
#include "job/job_files.h"
#include "job/job_report.h"
#include "platform/ui_services.h"

namespace qs {

enum class JobKind { Split, Merge };

// The file operations of one job that failed; the completion question lists them, so that
// a job with failures is never reported as a plain success.
class FailureList {
public:
    // systemError: why, as the system said it; 0 where it gave no reason.
    void Add(FailureKind kind, const Text& path, int systemError = 0) {
        m_items.emplace_back(kind, path);
        m_reasons.push_back(systemError);
    }
    void Clear() {
        m_items.clear();
        m_reasons.clear();
    }
    std::size_t Count() const { return m_items.size(); }
    bool Empty() const { return m_items.empty(); }
    const std::vector<std::pair<FailureKind, Text>>& Items() const { return m_items; }
    int ReasonOf(std::size_t i) const { return m_reasons[i]; }
    // Item i as the user reads it: label, path and, where the system gave one, its reason
    // in brackets ("无法写入：/a/b.txt（设备上没有空间）").
    Text Line(std::size_t i) const;
    // Every item, one per line.
    Text AllLines() const;

    // "以下 N 项操作失败：" and the first ten items, one per line, then "……" when there
    // are more.
    Text Summary() const;
    // Appends CR LF CR LF + "以下 N 项操作失败：" and the first ten items, one per line,
    // then "……" when there are more; nothing when the list is empty.
    void AppendTo(Text& text) const;

    static const Text& Label(FailureKind kind) { return FailureLabel(kind); }

private:
    std::vector<std::pair<FailureKind, Text>> m_items;
    std::vector<int> m_reasons;
};

// Appends CR LF CR LF, a title line and the first ten of the books, one per line as
// "path（N 个章节标题，最长一章占全文 P%）", then "……" when there are more; nothing when
// there is none.
void AppendUncutBooks(const std::vector<UncutBook>& books, Text& text);

// Appends CR LF CR LF and the mode the split used where it is not the panel's: a split at
// chapters (更多选项) names itself; nothing otherwise.
void AppendSplitMode(const Report& report, Text& text);

// Captions of a job's start button, which is also its stop button and busy indicator.
struct JobCaptions {
    Text idle, running, stopping;
};
const JobCaptions& CaptionsOf(JobKind kind);
std::string_view StartButtonOf(JobKind kind);

// The frame both jobs run in: the shared job state, the start and end protocols, progress
// and the helpers that talk to the desktop. Everything runs on the UI thread.
class RunControl {
public:
    explicit RunControl(Form& mainForm) : m_form(mainForm) {}
    RunControl(const RunControl&) = delete;
    RunControl& operator=(const RunControl&) = delete;

    bool StopRequested = false;
    Text StatusText;
    Text lastSplitFolder;
    Text lastMergeFolder;
    Text chooseFolderInitial;  // held while the folder chooser is open
    // Emptied when the user starts a merge: by the button, or by a drop, whose files and
    // folders are one job for this even though they run one after the other.
    JobFiles mergeTouched;
    // The outputs the merge job wrote: a walk never takes them as members.
    JobFiles mergeWritten;
    // The folders a drop merges after its files: the files' output replaces nothing in them,
    // as what is there is yet to be read.
    TextList mergeFoldersAhead;

    // The bar's measure of the job that runs.
    JobProgress progress;

    // Stops requested so far; lets a caller tell whether a stop came during a call.
    std::uint64_t StopRequestCount() const { return m_stopRequests; }
    void RequestStop();

    // A job runs exactly while its start button shows anything but the idle caption.
    bool IsBusy(JobKind kind) const;
    bool AnyBusy() const { return IsBusy(JobKind::Split) || IsBusy(JobKind::Merge); }

    // Start protocol. Returns false when the job is already running: the call was a stop
    // request (the flag is set and the stopping caption shown). Otherwise shows the running
    // caption, clears the flag and the job's failure list; a merge hides its pattern box.
    bool BeginJob(JobKind kind);
    // End protocol: idle caption (a merge shows its pattern box again); with a non-empty
    // list the merge's parent-folder rule, then the completion question unless suppressed.
    // A close that waited for the job is completed here.
    void EndJob(JobKind kind, const TextList& paths, bool suppressQuestion = false);

    FailureList& Failures(JobKind kind) { return m_failures[kind == JobKind::Split ? 0 : 1]; }
    // What the job did, as the command line's --json tells it; kept as a file when the job
    // ends (the failures are taken from the failure list then).
    Report& JobReport(JobKind kind) { return m_reports[kind == JobKind::Split ? 0 : 1]; }
    // Where the last job's report was kept; empty when it could not be.
    Text lastReportPath;
    // The folder reports are kept in; empty: none are kept.
    Text reportsFolder;
    // The books of the last split that do not look cut; listed by the completion question.
    std::vector<UncutBook> uncutBooks;

    // Shows a line in the status label (e.g. "[k] " + StatusText after a piece).
    void ShowStatus(const Text& text);

    // How the job ended, for its last message: "分割完毕！", or for a stopped job the words
    // saying so and the file it stopped at.
    Text OutcomeWords(JobKind kind) const;
    // Asks whether to open the job's output folder, listing the job's failures.
    void AskOpenOutputFolder(JobKind kind, const Text& folder);
    // The status line while no job runs: what 更多选项 changes (empty: nothing to say).
    void ShowIdleNote(const Text& note);
    // Every failure of the job and where its report was kept, for the box's details.
    Text ReportDetails(JobKind kind);

    // Closing the main window while a job runs: the close waits for the job to unwind.
    void SetClosePending() { m_closePending = true; }
    bool ClosePending() const { return m_closePending; }

    Form& MainForm() { return m_form; }

private:
    void KeepJobReport(JobKind kind);

    Form& m_form;
    std::uint64_t m_stopRequests = 0;
    bool m_closePending = false;
    FailureList m_failures[2];
    Report m_reports[2];
};

// Dispatches pending events (clicks, drops, timer ticks run inside).
void ProcessPendingEvents();
// Key state probe; only 17 (Ctrl) is known here. Probes, dispatches, probes again.
bool IsKeyDown(int virtualKey);
// The folder chooser; the answer without blanks (ASCII and full-width) at both ends, empty
// when cancelled.
Text ChooseFolder(RunControl& run, const Text& initialFolder, const Text& title);
// Opens the folder in the file manager; the result is not reported.
bool OpenInExplorer(const Text& folder);

// A message box; an empty title becomes "信息：".
// details: every line of what happened, in an area of the box the user can open and copy.
MessageResult ShowMessage(const Text& text, MessageButtons buttons = MessageButtons::Ok,
                          const Text& title = Text(), MessageIcon icon = MessageIcon::None,
                          const Text& details = Text());

}  // namespace qs

#pragma once

#include <cstdint>
#include <map>

#include "app/control_model.h"
#include "app/more_options.h"
#include "app/run_control.h"
#include "app/split_manifests.h"
#include "job/job_events.h"
#include "job/params_source.h"
#include "merge/merge_core.h"

namespace qs {

class App;

// The split parameters as the split panel holds them, built anew at every read, so that an option
// changed while a job runs counts from its next read.
// With more: the options of 更多选项 on top (rules reads their rule-list file).
class WindowSplitParams : public SplitParamsSource {
public:
    explicit WindowSplitParams(const Form& form, const Form* more = nullptr, RuleReader rules = {})
        : m_form(form), m_more(more), m_rules(std::move(rules)) {}
    const SplitParams& Read() override;

private:
    const Form& m_form;
    const Form* m_more;
    RuleReader m_rules;
    SplitParams m_spec;
};

// The merge parameters as the merge panel holds them, built anew at every read.
class WindowMergeParams : public MergeParamsSource {
public:
    explicit WindowMergeParams(const Form& form, const Form* more = nullptr)
        : m_form(form), m_more(more) {}
    const MergeParams& Read() override;

private:
    const Form& m_form;
    const Form* m_more;
    MergeParams m_spec;
};

// Every source is read in this encoding while the scope lasts (Undetected: detected), as
// 源文件编码 of 更多选项 asks; detection comes back when it ends.
class SourceEncodingScope {
public:
    explicit SourceEncodingScope(TextEncoding encoding);
    ~SourceEncodingScope();
    SourceEncodingScope(const SourceEncodingScope&) = delete;
    SourceEncodingScope& operator=(const SourceEncodingScope&) = delete;

private:
    TextEncoding m_before;
};

SplitParams SplitParamsOf(const Form& form);
MergeParams MergeParamsOf(const Form& form);

// What a job tells the window: the progress bar and status line follow the files and
// pieces, the start button shows a text mode's stages, failures go to the job's list,
// parameters that cannot run get their message and their control the focus, the pump dispatches the
// window's events and the stop flag is the run control's.
class WindowJobEvents : public JobEvents {
public:
    WindowJobEvents(Form& form, JobKind kind, bool& stop, Text& status, FailureList& failures);
    WindowJobEvents(RunControl& run, JobKind kind);

    void FilesStarting(int n) override;
    void SourceStarted(int i, int n, const Text& path) override;
    void Stage(JobStage stage) override;
    void PieceMade(std::int64_t number) override;
    void SourceFinished() override;
    // Sizes of the files for the bar, where the job's list is known before it runs.
    static std::map<Text, std::int64_t> SizesOf(const TextList& files);
    void SourceRead(const Text& path, const TextFormat& format, TextEncoding guessedOver) override;
    void SourceDamaged(const Text& path, const TextDamage& damage) override;
    void OutputWritten(const OutputRecord& output) override;
    void SourceDeleted(const Text& path) override;
    void ContentsFound(const Text& path, const ChapterContents& contents) override;
    void Failed(const JobFailure& failure) override;
    void Refused(const ParamsProblem& problem) override;
    void BookLooksUncut(const UncutBook& book) override;
    void WaitingForFolder(const Text& folder) override;
    void FolderWaitOver() override;
    void Pump() override;
    bool StopRequested() override { return m_stop; }
    // Each source's manifest is made by manifests (生成校验清单).
    void KeepManifests(SplitManifests* manifests) { m_manifests = manifests; }
    bool WantsSplitSources() override { return m_manifests != nullptr; }
    bool SourceSplit(const SplitSource& source) override;

private:
    void ShowPiece();

    Form& m_form;
    JobKind m_kind;
    bool& m_stop;
    Text& m_status;
    FailureList& m_failures;
    std::vector<UncutBook>* m_uncutBooks = nullptr;  // kept for the completion question
    Report* m_report = nullptr;                      // the job's report
    JobProgress* m_progress = nullptr;
    SplitManifests* m_manifests = nullptr;
    std::int64_t m_piece = 0;
    Text m_encoding;  // "　GB18030" once the current file's is known
    // The status line of the last piece waits until the eye could see a change.
    std::int64_t m_pieceShownAtNs = 0;
    bool m_pieceShowPending = false;
};

// The jobs over the run control's form and state (and the options of 更多选项 when more is
// given).
void SplitFiles(RunControl& run, const TextList& paths, App* app = nullptr);
MergeResult MergeFiles(RunControl& run, const TextList& paths);

// The split job's entry: a click (nothing given), a dropped folder, or dropped files. A
// call while a split runs is a stop request.
void StartSplitJob(App& app, const Text& folder, const TextList& paths);

// The job entry of the merge button and of drops on the merge panel. A call while a merge
// runs only requests its stop. paths empty and folder empty: a folder is chosen in the
// dialog. pathsAreFolders: every path is merged as a folder on its own. quiet: no completion
// question. A job that asks no question shows its failures, when there are any, in a box
// of their own.
void StartMergeJob(App& app, const Text& folder, const TextList& paths, bool pathsAreFolders,
                   bool quiet);

// The handler of 按钮选择文件: picks the separator file in the open-file dialog; a cancelled
// dialog leaves the path box as it was.
void ChooseSeparatorFile(Form& form);

// Make the app's entries (the buttons and drops on the panels) run the jobs.
void InstallSplitJob(App& app);
void InstallMergeJob(App& app);

}  // namespace qs

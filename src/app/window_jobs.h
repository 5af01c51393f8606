#pragma once

#include <cstdint>
#include <functional>
#include <map>

#include "app/control_model.h"
#include "app/more_options.h"
#include "app/run_control.h"
#include "app/split_manifests.h"
#include "job/job_events.h"
#include "job/job_request.h"
#include "merge/merge_core.h"
#include "split/split_job.h"

namespace qs {

class App;

// A split's request as the split panel holds it, built anew at every read, so that an option
// changed while a job runs counts from its next read; the sources are the job's.
// With more: the options of 更多选项 on top (rules reads their rule-list file).
class WindowSplitRequest : public SplitRequestSource {
public:
    explicit WindowSplitRequest(const Form& form, const Form* more = nullptr, RuleReader rules = {},
                                TextList paths = {}, bool objectEnumeration = false)
        : m_form(form),
          m_more(more),
          m_rules(std::move(rules)),
          m_paths(std::move(paths)),
          m_objectEnumeration(objectEnumeration) {}
    const SplitRequest& Read() override;

private:
    const Form& m_form;
    const Form* m_more;
    RuleReader m_rules;
    TextList m_paths;
    bool m_objectEnumeration;
    SplitRequest m_request;
};

// A merge's request as the merge panel holds it, built anew at every read.
class WindowMergeRequest : public MergeRequestSource {
public:
    explicit WindowMergeRequest(const Form& form, const Form* more = nullptr, TextList files = {},
                                TextList folders = {}, bool objectEnumeration = false)
        : m_form(form),
          m_more(more),
          m_files(std::move(files)),
          m_folders(std::move(folders)),
          m_objectEnumeration(objectEnumeration) {}
    const MergeRequest& Read() override;

private:
    const Form& m_form;
    const Form* m_more;
    TextList m_files;
    TextList m_folders;
    bool m_objectEnumeration;
    MergeRequest m_request;
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

    // listed hears of the files a split's sources gave, before any is split.
    void OnFilesListed(std::function<void(const TextList&)> listed) {
        m_listed = std::move(listed);
    }
    void FilesListed(const TextList& files) override {
        if (m_listed) {
            m_listed(files);
        }
    }
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
    void SourceReadTo(std::int64_t position, std::int64_t length) override {
        if (m_progress) {
            m_progress->SourceReadTo(position, length);
        }
    }
    bool WantsWrittenBytes() override { return m_manifests != nullptr; }
    void OutputGrew(const void* output, std::int64_t count, std::string_view bytes) override {
        if (m_manifests) {
            m_manifests->PieceGrew(output, count, bytes);
        }
    }
    void OutputClosed(const void* output, const Text* path) override {
        if (m_manifests) {
            m_manifests->PieceClosed(output, path);
        }
    }
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
    std::function<void(const TextList&)> m_listed;
    std::int64_t m_piece = 0;
    Text m_encoding;  // "　GB18030" once the current file's is known
    // The status line of the last piece waits until the eye could see a change.
    std::int64_t m_pieceShownAtNs = 0;
    bool m_pieceShowPending = false;
};

// The jobs over the run control's form and state (and the options of 更多选项 when more is
// given). A split's paths may name folders: their files matching the pattern are split.
SplitRun SplitInWindow(RunControl& run, const TextList& paths, App* app = nullptr,
                       bool objectEnumeration = false);
MergeResult MergeInWindow(RunControl& run, const TextList& paths);

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

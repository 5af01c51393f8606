#include "app/window_jobs.h"

#include <chrono>
#include <optional>
#include <string>

#include "app/app.h"
#include "app/main_window.h"
#include "app/preview.h"
#include "fs/paths.h"
#include "job/output_folder_claim.h"
#include "merge/merge_job.h"
#include "platform/native_names.h"
#include "platform/services.h"
#include "split/split_job.h"
#include "text/characters.h"

namespace qs {
namespace {

constexpr int kControlKey = 17;

const Control* Find(const Form& form, std::string_view name) {
    return form.Find(U(name));
}
bool Checked(const Form& form, std::string_view name) {
    const Control* c = Find(form, name);
    return c && c->checked;
}
Text TextIn(const Form& form, std::string_view name) {
    const Control* c = Find(form, name);
    return c ? c->text : Text();
}
std::int32_t IntIn(const Form& form, std::string_view name) {
    const Control* c = Find(form, name);
    return c ? ParseLeadingInt(c->text) : 0;
}

std::int64_t NowNs() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

// The status line changes no faster than the eye can follow: a line per piece would cost
// more than writing a small piece.
constexpr std::int64_t kShowIntervalNs = 40'000'000;

void ShowFailures(RunControl& run, JobKind kind) {
    const Text outcome = run.OutcomeWords(kind);
    const Text text = outcome.substr(0, outcome.size() - U("！").size()) + U("，但") +
                      run.Failures(kind).Summary();
    ShowMessage(text, MessageButtons::Ok, Text(), MessageIcon::Warning, run.ReportDetails(kind));
}

// 更多选项 says for every job how its sources are read and where its outputs go.
template <class Request>
void ReadAndWriteAsMoreSays(const Form& more, Request& request) {
    request.sourceEncoding = SourceEncodingOf(more);
    request.outputRoot = OutputFolderOf(more);
}

TextList ChooseFilesInDialog() {
    TextList paths = Ui().OpenFilesDialog(
        U("选择多个文件进行分割："),
        U("TXT文档(*.txt)|*.txt|HTML文档(*.htm;*.html)|*.htm;*.html|所有文件(*.*)|*.*"), Text());
    std::erase(paths, Text());
    return paths;
}

}  // namespace

SplitParams SplitParamsOf(const Form& form) {
    using namespace names;
    SplitParams params;
    params.mode = std::monostate{};
    if (Checked(form, ByParts)) {
        params.mode = SplitIntoPartsParams{IntIn(form, PartCount)};
    } else if (Checked(form, ByBytes)) {
        const Control* unit = Find(form, ByteUnit);
        params.mode = SplitBySizeParams{ParseLeadingFloat(TextIn(form, ByteSize)),
                                        unit ? unit->selectedIndex : 0};
    } else if (Checked(form, ByLines)) {
        params.mode = SplitByLinesParams{IntIn(form, LineMin), IntIn(form, LineMax)};
    } else if (Checked(form, ByChars)) {
        params.mode = SplitByCharsParams{IntIn(form, CharMin), IntIn(form, CharMax)};
    } else if (Checked(form, ByString)) {
        if (Checked(form, ChapterSplit)) {
            SplitAtChaptersParams chapters;
            chapters.epub = Checked(form, EpubBook);
            params.mode = chapters;
        } else {
            const Control* button = Find(form, SeparatorButton);
            params.mode = SplitAtSeparatorParams{button ? button->tag : Text()};
        }
    }
    params.nameFromText = Checked(form, RandomRename);
    params.subfolder = Checked(form, SubfolderSave);
    params.deleteSources = Checked(form, SplitDelete);
    params.skipBlankLines = Checked(form, SkipBlankLines);
    params.pattern = TextIn(form, SplitPattern);
    return params;
}

MergeParams MergeParamsOf(const Form& form) {
    using namespace names;
    MergeParams params;
    params.pattern = TextIn(form, MergePattern);
    params.includeSubfolders = Checked(form, IncludeSubfolders);
    params.saveInParentFolder = Checked(form, ParentSave);
    params.processTextEncoding = Checked(form, HandleEncoding);
    params.deleteSources = Checked(form, MergeDelete);
    params.separatorKind = Checked(form, UseString) ? MergeSeparatorKind::String
                           : Checked(form, UseFile) ? MergeSeparatorKind::File
                                                    : MergeSeparatorKind::None;
    params.separatorText = TextIn(form, SeparatorText);
    params.separatorPath = TextIn(form, SeparatorPath);
    return params;
}

const SplitRequest& WindowSplitRequest::Read() {
    m_request = SplitRequest();
    m_request.params = SplitParamsOf(m_form);
    m_request.paths = m_paths;
    m_request.objectEnumeration = m_objectEnumeration;
    if (m_more != nullptr) {
        ApplyMoreOptions(*m_more, m_request.params, m_rules);
        ReadAndWriteAsMoreSays(*m_more, m_request);
    }
    return m_request;
}

const MergeRequest& WindowMergeRequest::Read() {
    m_request = MergeRequest();
    m_request.params = MergeParamsOf(m_form);
    m_request.files = m_files;
    m_request.folders = m_folders;
    m_request.objectEnumeration = m_objectEnumeration;
    if (m_more != nullptr) {
        ApplyMoreOptions(*m_more, m_request.params);
        ReadAndWriteAsMoreSays(*m_more, m_request);
    }
    return m_request;
}

WindowJobEvents::WindowJobEvents(Form& form, JobKind kind, bool& stop, Text& status,
                                 FailureList& failures)
    : m_form(form), m_kind(kind), m_stop(stop), m_status(status), m_failures(failures) {}

WindowJobEvents::WindowJobEvents(RunControl& run, JobKind kind)
    : WindowJobEvents(run.MainForm(), kind, run.StopRequested, run.StatusText, run.Failures(kind)) {
    m_uncutBooks = &run.uncutBooks;
    m_report = &run.JobReport(kind);
    m_progress = &run.progress;
}

std::map<Text, std::int64_t> WindowJobEvents::SizesOf(const TextList& files) {
    std::map<Text, std::int64_t> sizes;
    for (const Text& f : files) {
        sizes[f] = Fs().FileSize(f).value_or(0);
    }
    return sizes;
}

void WindowJobEvents::SourceRead(const Text& path, const TextFormat& format,
                                 TextEncoding guessedOver) {
    if (m_report) {
        m_report->sources.push_back({path, format, guessedOver, std::nullopt, {}});
    }
    // The status line names the encoding the file is read in, once it is known.
    const std::string name = format.book ? std::string() : EncodingName(format.encoding);
    m_encoding = name.empty() ? Text() : U("　") + U(name);
    if (Find(m_form, names::Status)) {
        m_form.SetText(U(names::Status), m_status + m_encoding);
    }
}

void WindowJobEvents::SourceDamaged(const Text& path, const TextDamage& damage) {
    if (m_report && !m_report->sources.empty() && m_report->sources.back().path == path) {
        m_report->sources.back().damage = damage;
    }
}

void WindowJobEvents::OutputWritten(const OutputRecord& o) {
    if (m_manifests) {
        m_manifests->PieceWritten(o);
    }
    if (m_report) {
        m_report->outputs.push_back({o.path, o.bytes, o.format, o.source, {}, o.heading});
    }
}

bool WindowJobEvents::SourceSplit(const SplitSource& source) {
    Report ignored;
    return m_manifests == nullptr ||
           m_manifests->SourceSplit(source, m_failures, m_report ? *m_report : ignored);
}

void WindowJobEvents::ContentsFound(const Text& path, const ChapterContents& contents) {
    if (m_report && !m_report->sources.empty() && m_report->sources.back().path == path) {
        m_report->sources.back().contents = contents;
    }
}

void WindowJobEvents::SourceDeleted(const Text& path) {
    if (m_report) {
        m_report->deleted.push_back(path);
    }
}

void WindowJobEvents::FilesStarting(int n) {
    if (Find(m_form, names::Progress)) {
        m_form.SetPosition(U(names::Progress), 0);
        m_form.SetMaximum(U(names::Progress), n);
    }
    m_stop = false;
    if (m_progress) {
        m_progress->FilesStarting(n);
    }
}

void WindowJobEvents::SourceStarted(int i, int n, const Text& path) {
    m_status =
        "(" + std::to_string(i) + "/" + std::to_string(n) + ")" + DisplayText(PathFileName(path));
    if (Find(m_form, names::Progress)) {
        m_form.SetPosition(U(names::Progress), i);
    }
    if (m_progress) {
        m_progress->SourceStarted(i, path);
    }
    m_encoding.clear();
    if (Find(m_form, names::Status)) {
        m_form.SetText(U(names::Status), m_status);
    }
}

void WindowJobEvents::Stage(JobStage stage) {
    static const char* const kCaptions[] = {"读入文件..", "矫正换行..", "写到内存..", "开始分割.."};
    m_form.SetText(U(StartButtonOf(m_kind)), U(kCaptions[static_cast<int>(stage)]));
}

void WindowJobEvents::PieceMade(std::int64_t number) {
    m_piece = number;
    const std::int64_t now = NowNs();
    if (now - m_pieceShownAtNs < kShowIntervalNs) {
        m_pieceShowPending = true;
        return;
    }
    m_pieceShownAtNs = now;
    ShowPiece();
}

void WindowJobEvents::SourceFinished() {
    if (m_pieceShowPending) {
        m_pieceShownAtNs = NowNs();
        ShowPiece();
    }
}

void WindowJobEvents::ShowPiece() {
    m_pieceShowPending = false;
    if (Find(m_form, names::Status)) {
        m_form.SetText(U(names::Status),
                       m_status + m_encoding + U("　第 ") + std::to_string(m_piece) + U(" 份"));
    }
}

void WindowJobEvents::Failed(const JobFailure& failure) {
    m_failures.Add(failure.kind, failure.path, failure.systemError);
}

void WindowJobEvents::Refused(const ParamsProblem& problem) {
    ShowMessage(problem.message);
    std::string_view focus;
    switch (problem.field) {
        case SplitField::PartCount:
            focus = names::PartCount;
            break;
        case SplitField::ByteSize:
            focus = names::ByteSize;
            break;
        case SplitField::LineMin:
            focus = names::LineMin;
            break;
        case SplitField::CharMin:
            focus = names::CharMin;
            break;
        case SplitField::Separator:
            // The separator is asked for at once, in its dialog.
            if (Find(m_form, names::SeparatorButton)) {
                m_form.Fire(U(names::SeparatorButton), ControlEvent::Clicked);
            }
            break;
        case SplitField::ChapterExpression:
        case SplitField::OutputEncoding:
        case SplitField::Manifest:
            break;
    }
    if (!focus.empty()) {
        m_form.SetFocus(U(focus));
    }
}

void WindowJobEvents::BookLooksUncut(const UncutBook& book) {
    if (m_uncutBooks) {
        m_uncutBooks->push_back(book);
    }
}

void WindowJobEvents::WaitingForFolder(const Text& folder) {
    if (Find(m_form, names::Status)) {
        m_form.SetText(U(names::Status), WaitingForFolderText(folder));
    }
}

void WindowJobEvents::FolderWaitOver() {
    if (Find(m_form, names::Status)) {
        m_form.SetText(U(names::Status), m_status);
    }
}

void WindowJobEvents::Pump() {
    ProcessPendingEvents();
}

SplitRun SplitInWindow(RunControl& run, const TextList& paths, App* app, bool objectEnumeration) {
    const Form* more = app ? &app->MoreForm() : nullptr;
    WindowSplitRequest requests(run.MainForm(), more, app ? app->readChapterRules : RuleReader(),
                                paths, objectEnumeration);
    WindowJobEvents events(run, JobKind::Split);
    std::unique_ptr<SplitManifests> manifests;
    events.OnFilesListed([&](const TextList& files) {
        run.progress.Begin(WindowJobEvents::SizesOf(files), 1);
        // 生成校验清单: the pieces are hashed for the manifests as they are written.
        if (more && more->IsChecked(U(more_names::Manifest)) && app->makeSplitManifests) {
            manifests = app->makeSplitManifests(requests, files);
            events.KeepManifests(manifests.get());
        }
    });
    return RunSplitJob(requests, events);
}

MergeResult MergeInWindow(RunControl& run, const TextList& paths) {
    WindowMergeRequest requests(run.MainForm());
    WindowJobEvents events(run, JobKind::Merge);
    MergeJob job{
        requests, events, run.mergeTouched, Text(), &run.mergeWritten, run.mergeFoldersAhead};
    return MergeFiles(job, paths);
}

void StartSplitJob(App& app, const Text& folder, const TextList& paths) {
    RunControl& run = app.run;
    if (!run.IsBusy(JobKind::Split)) {
        if (!RuleFileUsable(app)) {
            return;
        }
        // What 更多选项 changes is on the status line before anything is chosen.
        if (const Text note = MoreOptionsNote(app.MoreForm()); !note.empty()) {
            run.ShowIdleNote(note);
        }
    }
    // The button says the job runs once it does: not while the user is still choosing.
    TextList chosen;
    if (paths.empty() && folder.empty() && !run.IsBusy(JobKind::Split)) {
        chosen = ChooseFilesInDialog();
        if (chosen.empty() || run.IsBusy(JobKind::Split)) {
            return;  // cancelled, or a split began meanwhile (a drop)
        }
    }
    // A split at chapters shows the contents it found first, and goes on when asked to.
    const TextList& named = chosen.empty() ? paths : chosen;
    if (!run.IsBusy(JobKind::Split) && SplitsAtChapters(app.MoreForm()) && !named.empty() &&
        (!PreviewSplit(app, named, true) || run.IsBusy(JobKind::Split))) {
        return;
    }
    if (!run.BeginJob(JobKind::Split)) {
        return;
    }
    Form& form = app.MainForm();
    TextList files;
    if (!named.empty()) {
        run.lastSplitFolder = PathDirectory(named.front());
        files = SplitInWindow(run, named, &app).files;
    } else if (!folder.empty()) {
        form.SetTag(U(names::SplitButton), folder);
        run.lastSplitFolder = folder;
        const SplitRun split = SplitInWindow(run, TextList{folder}, &app, IsKeyDown(kControlKey));
        if (!split.listed) {
            // A folder that cannot be read is a failure, not "nothing to split".
            run.EndJob(JobKind::Split, TextList{folder});
            return;
        }
        files = split.files;
    }
    run.EndJob(JobKind::Split, files);
}

void StartMergeJob(App& app, const Text& folder, const TextList& paths, bool pathsAreFolders,
                   bool quiet) {
    RunControl& run = app.run;
    Form& form = app.MainForm();
    if (!run.BeginJob(JobKind::Merge)) {
        return;
    }
    if (const Text note = MoreOptionsNote(app.MoreForm(), true); !note.empty()) {
        run.ShowStatus(note);
    }
    const bool useObjectEnumeration = IsKeyDown(kControlKey);
    WindowJobEvents events(run, JobKind::Merge);
    const auto merge = [&](TextList files, TextList folders) {
        WindowMergeRequest requests(form, &app.MoreForm(), std::move(files), std::move(folders),
                                    useObjectEnumeration);
        MergeJob job{
            requests, events, run.mergeTouched, Text(), &run.mergeWritten, run.mergeFoldersAhead};
        RunMergeJob(job);
    };

    Text chosen = folder;
    if (paths.empty()) {
        run.mergeTouched.Clear();
        run.mergeWritten.Clear();
        if (chosen.empty()) {
            chosen = ChooseFolder(
                run, form.Get(U(names::MergeButton)).tag,
                U("选择一个文件夹，将读入文件夹下的所有 ") + MergeParamsOf(form).pattern +
                    U(" 文件进行合并。你也可以直接拖放要合并的文件或文件夹到软件"));
        }
        if (!chosen.empty()) {
            form.SetTag(U(names::MergeButton), chosen);
            run.lastMergeFolder = chosen;
            run.progress.Begin({}, MergeParamsOf(form).includeSubfolders ? 0 : 1);
            merge({}, TextList{chosen});
        }
    } else if (pathsAreFolders) {
        run.lastMergeFolder = paths.front();
        run.progress.Begin(
            {}, MergeParamsOf(form).includeSubfolders ? 0 : static_cast<int>(paths.size()));
        merge({}, paths);
    } else {
        run.progress.Begin(WindowJobEvents::SizesOf(paths), 1);
        merge(paths, {});
        run.lastMergeFolder = PathDirectory(paths.front());
    }

    // A folder chosen from the button ends with the completion question too, on that folder.
    run.EndJob(JobKind::Merge, paths.empty() && !chosen.empty() ? TextList{chosen} : paths, quiet);
    if (quiet && !run.Failures(JobKind::Merge).Empty() && form.IsOpen()) {
        ShowFailures(run, JobKind::Merge);
    }
}

void ChooseSeparatorFile(Form& form) {
    const Text chosen =
        Ui().OpenFileDialog(U("选择一个文件作为合并中间数据"), U("全部文件(*.*)|*.*"),
                            form.TextOf(U(names::SeparatorPath)));
    if (!chosen.empty()) {
        form.SetText(U(names::SeparatorPath), chosen);
    }
}

void InstallSplitJob(App& app) {
    app.startSplitJob = [&app](const Text& folder, const TextList& paths) {
        StartSplitJob(app, folder, paths);
    };
}

void InstallMergeJob(App& app) {
    App* a = &app;
    app.startMergeJob = [a](const Text& folder, const TextList& paths, bool pathsAreFolders,
                            bool quiet) {
        StartMergeJob(*a, folder, paths, pathsAreFolders, quiet);
    };
    app.MainForm().On(U(names::ChooseFileButton), ControlEvent::Clicked,
                      [a] { ChooseSeparatorFile(a->MainForm()); });
}

}  // namespace qs

#include "cli/cli_program.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <vector>

#include "cli/cli_ui.h"
#include "cli/dry_run_file_system.h"
#include "cli/job_path.h"
#include "cli/manifest.h"
#include "cli/source_manifest.h"
#include "cli/standard_output.h"
#include "cli/written_outputs.h"
#include "fs/made_folders.h"
#include "fs/paths.h"
#include "job/job_files.h"
#include "job/job_report.h"
#include "job/output_folder_claim.h"
#include "merge/manifest_rejoin.h"
#include "merge/merge_job.h"
#include "platform/native_names.h"
#include "platform/services.h"
#include "platform/sha256.h"
#include "platform/system_error.h"
#include "split/split_job.h"
#include "text/said.h"

namespace qs::cli {
namespace {

std::string ReportLostLine(int systemError) {
    std::string line =
        "qirnsplit: " + Say("报告未能写到标准输出", "the report did not reach standard output");
    if (systemError != 0) {
        line += ": " + SystemErrorText(systemError);
    }
    return line;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "qirnsplit: %s\n", message.c_str());
    return kExitUsage;
}

bool ToJobPaths(const std::vector<std::string>& given, TextList& paths, std::string& bad) {
    for (const std::string& utf8 : given) {
        std::optional<Text> path = ToJobPath(utf8);
        if (!path) {
            bad = utf8;
            return false;
        }
        paths.push_back(std::move(*path));
    }
    return true;
}

std::int64_t TotalSize(const TextList& files) {
    std::int64_t total = 0;
    for (const Text& f : files) {
        if (auto in = Fs().OpenRead(f)) {
            total += in->Length();
        }
    }
    return total;
}

// What the jobs tell the command line becomes its report: every output with the format it
// was written in (and its SHA-256, from the bytes that went out, when manifests want them),
// every deletion and failure. The pump draws the progress line; a stop signal is the stop
// button.
class ReportEvents : public JobEvents {
public:
    ReportEvents(Report& report, ReportPrinter& printer, WrittenOutputs& outputs,
                 ProgressLine& progress, bool dryRun, bool tellWaits, bool json)
        : m_report(report),
          m_printer(printer),
          m_written(outputs),
          m_progress(progress),
          m_dryRun(dryRun),
          m_tellWaits(tellWaits),
          m_json(json) {}

    void FilesListed(const TextList& files) override {
        for (const Text& f : files) {
            m_listed.Add(f);
        }
        m_progress.SetTotals(static_cast<int>(files.size()), TotalSize(files));
    }
    // The files the split's sources gave.
    const JobFiles& Listed() const { return m_listed; }
    void SourceStarted(int i, int, const Text&) override { m_filesDone = i - 1; }
    void SourceRead(const Text& path, const TextFormat& format, TextEncoding guessedOver) override {
        ReadSource source{path, format, guessedOver, std::nullopt, {}};
        m_printer.Source(source);
        if (m_json) {
            m_report.sources.push_back(std::move(source));
        }
    }
    void SourceDamaged(const Text& path, const TextDamage& damage) override {
        ReadSource source{path, {}, TextEncoding::Undetected, std::nullopt, damage};
        m_printer.Damaged(source);
        if (m_json && !m_report.sources.empty() && m_report.sources.back().path == path) {
            m_report.sources.back().damage = damage;
        }
    }
    void SourceWarned(const Text& path, std::string_view what, std::int64_t offset) override {
        m_report.wrecked.push_back({path, std::string(what), offset});
    }
    void OutputWritten(const OutputRecord& o) override {
        ++m_outputs;
        ReportedOutput output{o.path,   o.bytes, o.format, o.source, m_written.TakeHash(o.path),
                              o.heading};
        m_printer.Output(output, m_report.chapters);
        if (m_keep) {
            m_kept.push_back(std::move(output));
        }
    }
    void OutputGrew(const void* output, std::int64_t count, std::string_view bytes) override {
        m_written.Grew(output, count, bytes);
    }
    bool WantsWrittenBytes() override { return m_written.Hashing(); }
    void OutputClosed(const void* output, const Text* path) override {
        m_written.Closed(output, path);
    }
    // Each source's pieces are kept until its manifest is written by manifests, which
    // takes them and answers whether the source may go.
    using ManifestWriter = std::function<bool(const SplitSource&, std::vector<ReportedOutput>&)>;
    void WriteManifests(ManifestWriter writer) {
        m_keep = true;
        m_manifests = std::move(writer);
    }
    bool WantsSplitSources() override { return m_keep; }
    bool OutputsReachTheDisk() override { return !m_dryRun; }
    bool SourceSplit(const SplitSource& source) override {
        return !m_keep || m_manifests(source, m_kept);
    }
    std::size_t OutputCount() const { return m_outputs; }
    void BookLooksUncut(const UncutBook& book) override { m_report.uncut.push_back(book); }
    void ContentsFound(const Text& path, const ChapterContents& contents) override {
        m_progress.Clear();
        m_printer.Contents(path, contents);
        if (m_json && !m_report.sources.empty() && m_report.sources.back().path == path) {
            m_report.sources.back().contents = contents;
        }
    }
    void MembersOrdered(const Text& output, const TextList& members,
                        const ChapterContents& contents) override {
        m_progress.Clear();
        OrderedUnit unit{output, members, contents};
        m_printer.Order(unit);
        if (m_json) {
            m_report.ordered.push_back(std::move(unit));
        }
    }
    // A job that waits for another one writing into the same folder says so, once a folder.
    void WaitingForFolder(const Text& folder) override {
        if (m_tellWaits && folder != m_waitShown) {
            m_progress.Clear();
            std::fprintf(stderr, "%s\n", Utf8(WaitingForFolderText(folder)).c_str());
            m_waitShown = folder;
        }
    }
    void SourceDeleted(const Text& path) override { m_report.deleted.push_back(path); }
    void Failed(const JobFailure& failure) override {
        m_report.failures.push_back(FromJob(failure));
    }
    void Pump() override { m_progress.Update(m_filesDone, m_written.Bytes()); }
    bool StopRequested() override { return StopSignalled(); }

private:
    Report& m_report;
    ReportPrinter& m_printer;
    WrittenOutputs& m_written;
    ProgressLine& m_progress;
    bool m_dryRun;
    bool m_tellWaits;
    bool m_json;
    int m_filesDone = 0;
    std::size_t m_outputs = 0;
    Text m_waitShown;
    bool m_keep = false;
    std::vector<ReportedOutput> m_kept;
    ManifestWriter m_manifests;
    JobFiles m_listed;
};

// What the options of a command ask, or the first error.
struct GivenOptions {
    SplitParams split;
    MergeParams merge;
    TextEncoding sourceEncoding = TextEncoding::Undetected;
    std::string error;
};

GivenOptions ApplyOptions(const ParsedCommand& command) {
    GivenOptions given;
    JobSetup setup{given.split, given.merge, 1, false, {}, false, false};
    for (const GivenOption& option : command.options) {
        given.error = option.option->apply(setup, option.value);
        if (!given.error.empty()) {
            return given;
        }
    }
    FinishSetup(setup);
    given.sourceEncoding = setup.sourceEncoding;
    if (setup.epub && !std::holds_alternative<SplitAtChaptersParams>(given.split.mode)) {
        given.error = "--epub: " + Say("需要 --chapters", "needs --chapters");
    }
    return given;
}

// Everything one command runs on: the parameters the options give, what its jobs tell of
// their outputs (hashed for manifests), the file system of a dry run, the quiet desktop and
// the report the job's events fill.
class Session {
public:
    Session(const ParsedCommand& command, GivenOptions given)
        : m_command(command),
          m_split(std::move(given.split)),
          m_merge(std::move(given.merge)),
          m_sourceEncoding(given.sourceEncoding),
          m_error(std::move(given.error)),
          m_printer(command.common),
          m_written(m_split.manifest),
          m_dryRun(Fs()),
          m_progress(!command.common.quiet && !command.common.json && isatty(STDERR_FILENO)),
          m_events(m_report, m_printer, m_written, m_progress, command.common.dryRun,
                   !command.common.quiet && !command.common.json, command.common.json),
          m_services({command.common.dryRun ? &m_dryRun : nullptr, nullptr, nullptr, &m_ui}) {}

    // The output folder of --output-dir, made (or, in a dry run, noted) before the job.
    std::string PrepareOutputDir() {
        if (m_command.common.outputDir.empty()) {
            return "";
        }
        const Text dir = ToJobPath(m_command.common.outputDir).value_or(Text());
        if (dir.empty() || (Fs().Exists(dir) && !Fs().IsFolder(dir))) {
            return "--output-dir " + m_command.common.outputDir + ": " +
                   Say("不是目录", "is not a folder");
        }
        m_madeOutputDir.NoteMissing(dir);
        if (!EnsureDirectoryChain(dir + "/")) {
            return "--output-dir " + m_command.common.outputDir + ": " +
                   Say("无法创建", "cannot be created");
        }
        m_outputRoot = dir;
        return "";
    }

    int Finish() {
        m_progress.Clear();
        if (m_events.OutputCount() == 0 && m_report.outputs.empty()) {
            m_madeOutputDir.RemoveEmpty();  // a job that wrote nothing leaves no folder
        }
        m_report.stopped = m_report.stopped || StopSignalled();
        m_printer.Finish(m_report);
        if (const std::optional<int> lost = StandardOutputLost()) {
            // What was deleted has no other record: it goes where it can still be read.
            std::fprintf(stderr, "%s\n", ReportLostLine(*lost).c_str());
            for (const Text& d : m_report.deleted) {
                std::fprintf(stderr, "%s%s\n", Say("删除：", "deleted: ").c_str(), Utf8(d).c_str());
            }
            return kExitFailures;
        }
        return ExitStatusOf(m_report);
    }

    const ParsedCommand& m_command;
    SplitParams m_split;
    MergeParams m_merge;
    TextEncoding m_sourceEncoding;
    std::string m_error;  // of the options
    Text m_outputRoot;
    Report m_report;
    ReportPrinter m_printer;
    WrittenOutputs m_written;
    DryRunFileSystem m_dryRun;
    CliUi m_ui;
    ProgressLine m_progress;
    ReportEvents m_events;
    MadeFolders m_madeOutputDir;
    ServicesOverride m_services;
};

// The option a problem of the split request concerns, and the problem in its words.
std::string ProblemText(const ParamsProblem& problem) {
    switch (problem.field) {
        case SplitField::PartCount:
            return "--parts: " + Utf8(problem.message);
        case SplitField::ByteSize:
            return "--size: " + Utf8(problem.message);
        case SplitField::LineMin:
            return "--lines: " + Utf8(problem.message);
        case SplitField::CharMin:
            return "--chars: " + Utf8(problem.message);
        case SplitField::Separator:
            return "--separator: " + Utf8(problem.message);
        case SplitField::ChapterExpression:
            break;
        case SplitField::OutputEncoding:
            return "--epub: " + Say("电子书总是 UTF-8，不能与 --to 同用",
                                    "a book is always UTF-8: --to does not apply");
        case SplitField::Manifest:
            // A manifest rejoins pieces into their source; a book is no such piece.
            return "--epub: " + Say("不能与 --manifest 同用", "--manifest does not apply");
    }
    return "--chapters: " + Utf8(problem.message);
}

int RunSplit(const ParsedCommand& command) {
    Session s(command, ApplyOptions(command));
    std::string error = s.m_error;
    SplitRequest request;
    std::string bad;
    if (error.empty() && !ToJobPaths(command.paths, request.paths, bad)) {
        error = bad + ": " + Say("无法表示的路径", "a path the program cannot represent");
    }
    // The seed is always known, so that the report and the manifests can name it.
    if (!s.m_split.seed) {
        s.m_split.seed = std::random_device{}();
    }
    request.params = s.m_split;
    request.sourceEncoding = s.m_sourceEncoding;
    request.statedOptions = true;
    if (error.empty()) {
        if (const std::optional<ParamsProblem> problem = Validate(request)) {
            error = ProblemText(*problem);
        }
    }
    if (!error.empty()) {
        return UsageError(error);
    }
    if (std::string e = s.PrepareOutputDir(); !e.empty()) {
        return UsageError(e);
    }
    request.outputRoot = s.m_outputRoot;

    const std::uint64_t seed = *s.m_split.seed;
    s.m_report.seed = seed;
    const SplitAtChaptersParams* chapters = std::get_if<SplitAtChaptersParams>(&s.m_split.mode);
    s.m_report.chapters = chapters && !chapters->epub;

    if (s.m_split.manifest) {
        // A manifest for each source as soon as its pieces are written, from what the split
        // read of it; a source goes only once its manifest rejoins it.
        s.m_events.WriteManifests([&](const SplitSource& split, std::vector<ReportedOutput>& kept) {
            const auto reserved = [&](const Text& path) {
                return s.m_events.Listed().Holds(path) || s.m_written.Holds(path);
            };
            SourceManifest m =
                WriteSourceManifest(split, s.m_split, seed, kept, reserved,
                                    s.m_split.deleteSources && !s.m_command.common.dryRun);
            std::vector<ReportedFailure>& failures = s.m_report.failures;
            if (!m.written) {
                failures.push_back(FromJob(FailureKind::NotWritten, m.output.path, m.systemError));
                return false;
            }
            s.m_written.Add(m.output.path);
            s.m_report.outputs.push_back(std::move(m.output));
            failures.insert(failures.end(), m.problems.begin(), m.problems.end());
            return m.givesSourceBack;
        });
    }
    FixedSplitRequest requests(std::move(request));
    if (!StopSignalled()) {
        RunSplitJob(requests, s.m_events);
    }
    return s.Finish();
}

int RunMerge(const ParsedCommand& command) {
    Session s(command, ApplyOptions(command));
    std::string error = s.m_error;
    TextList paths;
    std::string bad;
    if (error.empty() && !ToJobPaths(command.paths, paths, bad)) {
        error = bad + ": " + Say("无法表示的路径", "a path the program cannot represent");
    }
    if (error.empty() && s.m_merge.separatorKind == MergeSeparatorKind::File) {
        const std::string given = Utf8(s.m_merge.separatorPath);
        const Text separatorFile = ToJobPath(given).value_or(Text());
        if (separatorFile.empty() || !Fs().IsFile(separatorFile) ||
            !Fs().ReadWholeFile(separatorFile)) {
            error = "--separator-file " + given + ": " + Say("无法读取", "cannot be read");
        }
        s.m_merge.separatorPath = separatorFile;
    }
    const bool fromManifest = paths.size() == 1 && IsManifestPath(command.paths.front());
    if (error.empty() && fromManifest && !command.options.empty()) {
        error = Say("还原清单时不能使用合并选项", "merge options do not apply to a manifest");
    }
    if (!error.empty()) {
        return UsageError(error);
    }
    if (std::string e = s.PrepareOutputDir(); !e.empty()) {
        return UsageError(e);
    }
    if (fromManifest) {
        if (const std::string why = Sha256Unavailable(); !why.empty()) {
            return UsageError(why);
        }
        RunRejoinJob({paths.front(), true, s.m_outputRoot}, s.m_events);
        return s.Finish();
    }

    // As a drop: the files give one output, then each folder its own.
    MergeRequest request{s.m_merge, {}, {}, false, s.m_sourceEncoding, s.m_outputRoot};
    for (const Text& p : paths) {
        (Fs().IsFolder(p) ? request.folders : request.files).push_back(p);
    }
    s.m_progress.SetTotals(static_cast<int>(request.files.size()), TotalSize(request.files));
    FixedMergeRequest requests(std::move(request));
    JobFiles touched;
    JobFiles written;
    MergeJob job{requests, s.m_events, touched, Text(), &written};
    RunMergeJob(job);
    return s.Finish();
}

int RunVerify(const ParsedCommand& command) {
    Session s(command, GivenOptions());
    TextList paths;
    std::string bad;
    if (!ToJobPaths(command.paths, paths, bad)) {
        return UsageError(bad + ": " +
                          Say("无法表示的路径", "a path the program cannot represent"));
    }
    if (const std::string why = Sha256Unavailable(); !why.empty()) {
        return UsageError(why);
    }
    for (const Text& p : paths) {
        if (RunRejoinJob({p, false, Text()}, s.m_events) == RejoinOutcome::GivenBack) {
            s.m_report.checked.push_back(p);
        }
    }
    return s.Finish();
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    GuardStandardOutput();
    const ParseOutcome outcome = ParseCommandLine(argc, argv);
    std::fputs(outcome.out.c_str(), stdout);
    std::fputs(outcome.err.c_str(), stderr);
    if (!outcome.run) {
        if (const std::optional<int> lost = StandardOutputLost()) {
            std::fprintf(stderr, "%s\n", ReportLostLine(*lost).c_str());
            return outcome.exitStatus == kExitDone ? kExitFailures : outcome.exitStatus;
        }
        return outcome.exitStatus;
    }
    InstallStopSignals();
    switch (outcome.command.command) {
        case Command::Split:
            return RunSplit(outcome.command);
        case Command::Merge:
            return RunMerge(outcome.command);
        case Command::Verify:
            break;
    }
    return RunVerify(outcome.command);
}

}  // namespace qs::cli

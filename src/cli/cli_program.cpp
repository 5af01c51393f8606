#include "cli/cli_program.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "app/app.h"
#include "app/main_window.h"
#include "app/output_folder_claim.h"
#include "cli/cli_texts.h"
#include "cli/cli_ui.h"
#include "cli/manifest.h"
#include "cli/output_recorder.h"
#include "cli/report.h"
#include "fs/file_enumeration.h"
#include "fs/made_folders.h"
#include "fs/paths.h"
#include "merge/merge_job.h"
#include "platform/native_names.h"
#include "platform/random.h"
#include "platform/services.h"
#include "split/chapter_split.h"
#include "split/split_job.h"
#include "split/split_settings.h"

namespace qs::cli {
namespace {

int UsageError(const std::string& message) {
    std::fprintf(stderr, "qirnsplit: %s\n", message.c_str());
    return kExitUsage;
}

// The path up to its last ".." as the file system resolves it: after a link, ".." leads to
// the parent of the link's target, as every other program finds it. The rest is text.
std::filesystem::path ResolveParentSteps(const std::filesystem::path& absolute,
                                         std::error_code& error) {
    const std::vector<std::filesystem::path> parts(absolute.begin(), absolute.end());
    std::size_t last = parts.size();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i] == "..") {
            last = i;
        }
    }
    if (last == parts.size()) {
        return absolute;
    }
    std::filesystem::path head, tail;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        (i <= last ? head : tail) /= parts[i];
    }
    return std::filesystem::weakly_canonical(head, error) / tail;
}

// A path as the jobs want it: absolute, without a trailing separator, an internal text.
bool ToJobPath(const std::string& utf8, Text& path) {
    std::error_code error;
    std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(utf8), error);
    if (!error) {
        p = ResolveParentSteps(p, error);
    }
    if (error) {
        return false;
    }
    std::string normal = p.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') {
        normal.pop_back();
    }
    // A name given in bytes that are not UTF-8 (an old GBK name) is taken by its bytes.
    path = NativeToInternal(normal);
    return true;
}

bool ToJobPaths(const std::vector<std::string>& given, TextList& paths, std::string& bad) {
    for (const std::string& utf8 : given) {
        Text path;
        if (!ToJobPath(utf8, path)) {
            bad = utf8;
            return false;
        }
        paths.push_back(std::move(path));
    }
    return true;
}

// Everything one command runs on: a headless main window at its initial values, the
// jobs installed on it, the recording file system and the quiet desktop.
class Session {
public:
    Session(const ParsedCommand& command, bool hash)
        : m_command(command),
          m_recorder(Fs(), command.common.dryRun, hash),
          m_ui(m_app.run),
          m_progress(!command.common.quiet && !command.common.json && isatty(STDERR_FILENO)),
          m_services({&m_recorder, nullptr, nullptr, &m_ui}) {
        InstallSplitJob(m_app);
        InstallMergeJob(m_app);
        Form& form = m_app.MainForm();
        m_recorder.SetSourceTag([&form] { return form.Get(U(names::Progress)).position; });
        m_ui.SetProgress([this, &form] {
            if (NoteWaiting(form.TextOf(U(names::Status)))) {
                return;
            }
            const int position = form.Get(U(names::Progress)).position;
            m_progress.Update(position > 0 ? position - 1 : 0, m_recorder.BytesWritten());
        });
    }

    // Puts the options into the controls; "" or the first error.
    std::string ApplyOptions() {
        JobSetup setup{m_app.MainForm(), m_settings};
        for (const GivenOption& given : m_command.options) {
            std::string error = given.option->apply(setup, given.value);
            if (!error.empty()) {
                return error;
            }
        }
        return "";
    }

    // The output folder of --output-dir, made (or, in a dry run, noted) before the job.
    std::string PrepareOutputDir() {
        if (m_command.common.outputDir.empty()) {
            return "";
        }
        Text dir;
        if (!ToJobPath(m_command.common.outputDir, dir) ||
            (Fs().Exists(dir) && !Fs().IsFolder(dir))) {
            return "--output-dir " + m_command.common.outputDir + ": " +
                   Say("不是目录", "is not a folder");
        }
        m_madeOutputDir.NoteMissing(dir);
        if (!EnsureDirectoryChain(dir + "/")) {
            return "--output-dir " + m_command.common.outputDir + ": " +
                   Say("无法创建", "cannot be created");
        }
        m_app.run.outputRoot = dir;
        return "";
    }

    void CollectFailures(JobKind kind) {
        for (const auto& [failureKind, path] : m_app.run.Failures(kind).Items()) {
            m_report.failures.push_back(FromJob(failureKind, path));
        }
    }

    // A job that waits for another one writing into the same folder says so, once.
    bool NoteWaiting(const Text& status) {
        const Text prefix = WaitingForFolderText(Text());
        if (status.compare(0, prefix.size(), prefix) != 0) {
            return false;
        }
        if (status != m_waitingShown && !m_command.common.quiet && !m_command.common.json) {
            m_progress.Clear();
            std::fprintf(stderr, "%s\n", Utf8(status).c_str());
            m_waitingShown = status;
        }
        return true;
    }

    int Finish() {
        m_progress.Clear();
        m_report.outputs = m_recorder.Outputs();
        if (m_report.outputs.empty()) {
            m_madeOutputDir.RemoveEmpty();  // a job that wrote nothing leaves no folder
        }
        m_report.deleted = m_recorder.Deleted();
        m_report.stopped = m_report.stopped || StopSignalled();
        PrintReport(m_report, m_command.common);
        return ExitStatusOf(m_report);
    }

    App m_app;
    const ParsedCommand& m_command;
    RunSettings m_settings;
    OutputRecorder m_recorder;
    CliUi m_ui;
    ProgressLine m_progress;
    Text m_waitingShown;
    MadeFolders m_madeOutputDir;
    ServicesOverride m_services;
    Report m_report;
};

// The files of the arguments: files as they are, folders as their files matching the pattern.
TextList SplitSources(const TextList& paths, const Text& pattern) {
    TextList files;
    for (const Text& path : paths) {
        if (Fs().IsFolder(path)) {
            EnumerateByFind(path, pattern, files, true);
        } else {
            files.push_back(path);
        }
    }
    return files;
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

// Runs the job on the first file with every read failing and nothing written: the mode's
// settings are checked exactly as the job checks them, before anything reaches the disk.
std::string ProbeSplitSettings(Session& s, const Text& first) {
    OutputRecorder probe(s.m_recorder, true, false);
    probe.SetReadsFail(true);
    const Text root = s.m_app.run.outputRoot;
    {
        ServicesOverride use({&probe, nullptr, nullptr, nullptr});
        Form& form = s.m_app.MainForm();
        s.m_ui.SetProgress([&s, &form] { s.NoteWaiting(form.TextOf(U(names::Status))); });
        StartSplitJob(s.m_app, Text(), TextList{first});
    }
    std::string messages;
    for (const Text& m : s.m_ui.Messages()) {
        messages += (messages.empty() ? "" : "\n") + Utf8(m);
    }
    s.m_ui.ClearMessages();
    return messages;
}

int RunSplit(const ParsedCommand& command) {
    bool manifest = false;
    for (const GivenOption& g : command.options) {
        manifest = manifest || g.option->flag == "--manifest";
    }
    Session s(command, manifest);
    std::string error = s.ApplyOptions();
    TextList paths;
    std::string bad;
    if (error.empty() && !ToJobPaths(command.paths, paths, bad)) {
        error = bad + ": " + Say("无法表示的路径", "a path the program cannot represent");
    }
    Form& form = s.m_app.MainForm();
    if (error.empty() && SplitOptions(form).EpubBook()) {
        if (SplitOptions(form).Mode() != SplitMode::SplitByChapters) {
            error = "--epub: " + Say("需要 --chapters", "needs --chapters");
        } else if (!form.TextOf(U(names::OutputEncoding)).empty()) {
            error = "--epub: " + Say("电子书总是 UTF-8，不能与 --to 同用",
                                     "a book is always UTF-8: --to does not apply");
        } else if (manifest) {
            // A manifest rejoins pieces into their source; a book is no such piece.
            error = "--epub: " + Say("不能与 --manifest 同用", "--manifest does not apply");
        }
    }
    if (!error.empty()) {
        return UsageError(error);
    }
    const TextList files = SplitSources(paths, SplitOptions(form).FileTypePattern());
    if (!files.empty()) {
        const std::string refused = ProbeSplitSettings(s, files.front());
        if (!refused.empty()) {
            return UsageError(refused);
        }
    }
    if (std::string e = s.PrepareOutputDir(); !e.empty()) {
        return UsageError(e);
    }

    const std::uint64_t seed = s.m_settings.seed ? *s.m_settings.seed : std::random_device{}();
    FixRandomSeed(seed);
    s.m_report.seed = seed;

    std::vector<SourceFacts> facts;
    if (manifest) {
        for (const Text& f : files) {
            facts.push_back(ReadSourceFacts(f));
        }
    }
    s.m_progress.SetTotals(static_cast<int>(files.size()), TotalSize(files));
    s.m_ui.SetProgress([&s, &form] {
        if (s.NoteWaiting(form.TextOf(U(names::Status)))) {
            return;
        }
        const int position = form.Get(U(names::Progress)).position;
        s.m_progress.Update(position > 0 ? position - 1 : 0, s.m_recorder.BytesWritten());
    });
    if (!files.empty() && !StopSignalled()) {
        StartSplitJob(s.m_app, Text(), files);
    }
    s.CollectFailures(JobKind::Split);
    s.m_report.uncut = s.m_app.run.uncutBooks;
    if (SplitOptions(form).Mode() == SplitMode::SplitByChapters && !SplitOptions(form).EpubBook()) {
        MakeHeadingTest(SplitOptions(form).ChapterExpression(), s.m_report.isHeading);
    }

    // A manifest is written only for a split that went through: it vouches for its pieces.
    if (manifest && s.m_report.failures.empty() && !StopSignalled()) {
        const std::vector<RecordedOutput> pieces = s.m_recorder.Outputs();
        for (std::size_t i = 0; i < facts.size(); ++i) {
            std::vector<const RecordedOutput*> mine;
            for (const RecordedOutput& p : pieces) {
                if (p.source == static_cast<int>(i + 1)) {
                    mine.push_back(&p);
                }
            }
            Text path;
            if (!mine.empty() && !WriteManifest(facts[i], form, seed, mine, &path)) {
                s.m_report.failures.push_back(FromJob(FailureKind::NotWritten, path));
            }
        }
    }
    return s.Finish();
}

int RunMerge(const ParsedCommand& command) {
    Session s(command, false);
    std::string error = s.ApplyOptions();
    TextList paths;
    std::string bad;
    if (error.empty() && !ToJobPaths(command.paths, paths, bad)) {
        error = bad + ": " + Say("无法表示的路径", "a path the program cannot represent");
    }
    Form& form = s.m_app.MainForm();
    if (error.empty() && form.IsChecked(U(names::UseFile))) {
        Text separatorFile;
        const std::string given = Utf8(form.TextOf(U(names::SeparatorPath)));
        if (!ToJobPath(given, separatorFile) || !Fs().IsFile(separatorFile) ||
            !Fs().ReadWholeFile(separatorFile)) {
            error = "--separator-file " + given + ": " + Say("无法读取", "cannot be read");
        }
        form.SetText(U(names::SeparatorPath), separatorFile);
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
        RejoinManifest(paths.front(), s.m_app.run.outputRoot, s.m_report);
        return s.Finish();
    }

    TextList files, folders;
    for (const Text& p : paths) {
        (Fs().IsFolder(p) ? folders : files).push_back(p);
    }
    s.m_progress.SetTotals(static_cast<int>(files.size()), TotalSize(files));
    // As a drop: the files give one output, then each folder its own.
    if (!files.empty() && !StopSignalled()) {
        s.m_app.run.mergeFoldersAhead = folders;
        StartMergeJob(s.m_app, Text(), files, false, true);
        s.m_app.run.mergeFoldersAhead.clear();
        s.CollectFailures(JobKind::Merge);
    }
    if (!folders.empty() && !StopSignalled()) {
        StartMergeJob(s.m_app, Text(), folders, true, true);
        s.CollectFailures(JobKind::Merge);
    }
    return s.Finish();
}

int RunVerify(const ParsedCommand& command) {
    Session s(command, false);
    TextList paths;
    std::string bad;
    if (!ToJobPaths(command.paths, paths, bad)) {
        return UsageError(bad + ": " +
                          Say("无法表示的路径", "a path the program cannot represent"));
    }
    for (const Text& p : paths) {
        VerifyManifest(p, s.m_report);
    }
    return s.Finish();
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
    const ParseOutcome outcome = ParseCommandLine(argc, argv);
    std::fputs(outcome.out.c_str(), stdout);
    std::fputs(outcome.err.c_str(), stderr);
    if (!outcome.run) {
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

#include "split/split_job.h"

#include "app/app.h"
#include "app/main_window.h"
#include "app/run_control.h"
#include "fs/file_enumeration.h"
#include "fs/paths.h"
#include "platform/characters.h"
#include "platform/services.h"
#include "split/piece_writer.h"
#include "split/split_modes.h"

namespace qs {
namespace {

constexpr int kFolderAttempts = 3;

FailureKind ToFailureKind(SplitFailureKind kind) {
    switch (kind) {
        case SplitFailureKind::Read:
            return FailureKind::Unreadable;
        case SplitFailureKind::Folder:
            return FailureKind::FolderNotCreated;
        case SplitFailureKind::Write:
            return FailureKind::NotWritten;
        case SplitFailureKind::Convert:
            return FailureKind::NotConverted;
        case SplitFailureKind::Unrecognised:
            return FailureKind::Unrecognised;
        case SplitFailureKind::Kept:
            break;
    }
    return FailureKind::SourceKept;
}

bool MakeOutputFolder(const Text& folder) {
    for (int attempt = 1; attempt <= kFolderAttempts; ++attempt) {
        if (EnsureDirectoryChain(folder)) {
            return true;
        }
        if (attempt < kFolderAttempts) {
            ProcessPendingEvents();
        }
    }
    return false;
}

TextList ChooseFilesInDialog() {
    const Text answer = Ui().OpenFilesDialog(
        U("选择多个文件进行分割："),
        U("TXT文档(*.txt)|*.txt|HTML文档(*.htm;*.html)|*.htm;*.html|所有文件(*.*)|*.*"), Text());
    TextList paths;
    for (Text& p : SplitText(answer, "\r\n")) {
        if (!p.empty()) {
            paths.push_back(std::move(p));
        }
    }
    return paths;
}

}  // namespace

void SplitFiles(RunControl& run, const TextList& paths) {
    if (paths.empty()) {
        return;  // nothing to split touches nothing, not even the progress bar
    }
    Form& form = run.MainForm();
    SplitContext ctx{form, run.StopRequested, run.StatusText, run.outputFolder, {}};
    for (const Text& p : paths) {
        ctx.state.sourcePaths.insert(p);
        if (const auto id = Fs().FileIdentity(p)) {
            ctx.state.sourceIdentities.insert(*id);
        }
    }

    const int n = static_cast<int>(paths.size());
    run.BeginFileLoop(n);
    for (int i = 1; i <= n; ++i) {
        const Text& p = paths[static_cast<std::size_t>(i - 1)];
        run.ShowFile(i, n, p);
        const SplitOptions options = ctx.Options();
        const SplitMode mode = options.Mode();
        run.outputFolder = (run.outputRoot.empty() ? PathDirectory(p) : run.outputRoot) + "/";
        if (options.SubfolderPerSource()) {
            run.outputFolder += PathBaseName(p) + "/";
        }
        if (!MakeOutputFolder(run.outputFolder)) {
            ctx.state.failures.push_back({SplitFailureKind::Folder, run.outputFolder});
        }
        const std::unique_ptr<FolderHold> heldFolder = Fs().HoldFolder(run.outputFolder);

        ctx.state.sourceEncoding = EncodingUndetected;
        ctx.state.sourceHadMark = false;
        ctx.state.piecesInUtf8 = false;
        ctx.state.pieceNumber = 0;
        ctx.state.piecesMade = 0;
        ctx.state.piecesFailed = 0;
        ctx.state.sourceUnreadable = false;
        ctx.state.sourcePieces.clear();
        const ModeResult result = RunSplitMode(ctx, mode, p);
        ShowLastPiece(ctx);
        if (result == ModeResult::ValidationFailed) {
            break;
        }

        if (ctx.Options().DeleteSource()) {
            // The only copy of the content goes only when every piece of it is safely written,
            // still there and on the disk. Pieces are recorded for this while deletion is on:
            // when it was switched on halfway, some are not, and the source stays.
            const bool complete =
                !ctx.stopRequested && !ctx.state.sourceUnreadable && ctx.state.piecesMade > 0 &&
                ctx.state.piecesFailed == 0 &&
                ctx.state.sourcePieces.size() == static_cast<std::size_t>(ctx.state.piecesMade) &&
                PiecesOfSourceAreSafe(ctx);
            const auto id = Fs().FileIdentity(p);
            if (complete && Fs().DeleteFile(p)) {
                if (id) {
                    ctx.state.sourceIdentities.erase(*id);
                }
            } else {
                ctx.state.failures.push_back({SplitFailureKind::Kept, p});
            }
        }

        ProcessPendingEvents();
        if (ctx.stopRequested) {
            break;
        }
    }

    FailureList& failures = run.Failures(JobKind::Split);
    for (const SplitFailure& f : ctx.state.failures) {
        failures.Add(ToFailureKind(f.kind), f.path);
    }
}

void StartSplitJob(App& app, const Text& folder, const TextList& paths) {
    RunControl& run = app.run;
    if (!run.BeginJob(JobKind::Split)) {
        return;
    }
    Form& form = app.MainForm();
    TextList files;
    if (!paths.empty()) {
        files = paths;
        run.lastSplitFolder = PathDirectory(files.front());
        SplitFiles(run, files);
    } else if (!folder.empty()) {
        form.SetTag(split_controls::SplitButton(), folder);
        run.lastSplitFolder = folder;
        const bool ctrl = IsKeyDown(17);
        const Text pattern = SplitOptions(form).FileTypePattern();
        bool listed = false;
        if (ctrl) {
            TryEnumerateByObject(folder, pattern, files, false, false, listed);
        } else {
            TryEnumerateByFind(folder, pattern, files, false, false, listed);
        }
        if (!listed) {
            // A folder that cannot be read is a failure, not "nothing to split".
            run.Failures(JobKind::Split).Add(FailureKind::Unreadable, folder);
            run.EndJob(JobKind::Split, TextList{folder});
            return;
        }
        SplitFiles(run, files);
    } else {
        files = ChooseFilesInDialog();
        if (!files.empty()) {
            run.lastSplitFolder = PathDirectory(files.front());
            SplitFiles(run, files);
        }
    }
    run.EndJob(JobKind::Split, files);
}

void InstallSplitJob(App& app) {
    app.startSplitJob = [&app](const Text& folder, const TextList& paths) {
        StartSplitJob(app, folder, paths);
    };
}

}  // namespace qs

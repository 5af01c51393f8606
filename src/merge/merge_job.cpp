#include "merge/merge_job.h"

#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "app/app.h"
#include "app/main_window.h"
#include "app/run_control.h"
#include "fs/file_enumeration.h"
#include "fs/paths.h"
#include "merge/merge_core.h"
#include "merge/merge_separator.h"
#include "platform/characters.h"
#include "platform/native_names.h"
#include "platform/services.h"

namespace qs {

namespace {

constexpr int kControlKey = 17;

void ShowFailures(const Text& outcome, const FailureList& failures) {
    constexpr std::size_t kShown = 10;
    Text text = outcome.substr(0, outcome.size() - U("！").size()) + U("，但以下 ") +
                std::to_string(failures.Count()) + U(" 项操作失败：");
    const auto& items = failures.Items();
    for (std::size_t i = 0; i < items.size() && i < kShown; ++i) {
        text += "\r\n" + FailureList::Label(items[i].first) + DisplayText(items[i].second);
    }
    if (items.size() > kShown) {
        text += "\r\n" + U("……");
    }
    ShowMessage(text, ButtonsOk, Text(), IconWarning);
}

// False when the folder could not be listed.
bool Enumerate(bool useObjectEnumeration, const Text& folder, const Text& pattern, TextList& result,
               bool foldersOnly) {
    bool listed = false;
    if (useObjectEnumeration) {
        TryEnumerateByObject(folder, pattern, result, false, foldersOnly, listed);
    } else {
        TryEnumerateByFind(folder, pattern, result, false, foldersOnly, listed);
    }
    return listed;
}

}  // namespace

const Text& MergeOptions::fileTypePattern() const {
    return m_form.TextOf(U(names::MergePattern));
}
bool MergeOptions::includeSubfolders() const {
    return m_form.IsChecked(U(names::IncludeSubfolders));
}
bool MergeOptions::saveInParentFolder() const {
    return m_form.IsChecked(U(names::ParentSave));
}
bool MergeOptions::processTextEncoding() const {
    return m_form.IsChecked(U(names::HandleEncoding));
}
bool MergeOptions::deleteSources() const {
    return m_form.IsChecked(U(names::MergeDelete));
}

namespace {

// The flag is tested after every pump of the walk, before the next unit's start clears it
// again, so that a stop requested while a folder is listed or just before a sub-folder is
// entered ends the walk.
struct FolderWalk {
    App& app;
    bool useObjectEnumeration;
    using Identity = std::pair<std::uint64_t, std::uint64_t>;
    // Folders already walked: a link back to one of them is not followed again.
    std::set<Identity> walked = {};
    // The folders that hold the one the walk began in: a link up to one of them would take
    // the walk (and the deletion of sources) outside the folder it was given.
    std::set<Identity> enclosing = {};

    bool Stopped() const { return app.run.StopRequested; }

    void Walk(const Text& top) {
        enclosing.clear();
        Text path = top;
        while (path.size() > 1 && path.back() == kPathSeparator) {
            path.pop_back();
        }
        while (FindChar(path, kPathSeparator) != Text::npos) {
            path = PathDirectory(path);
            if (const auto identity =
                    Fs().FileIdentity(path.empty() ? Text(1, kPathSeparator) : path)) {
                enclosing.insert(*identity);
            }
        }
        Merge(top, true);
    }

    void Merge(const Text& folder, bool top = false) {
        const auto identity = Fs().FileIdentity(folder);
        if (identity &&
            ((!top && enclosing.count(*identity) != 0) || !walked.insert(*identity).second)) {
            return;
        }
        const MergeOptions options(app.MainForm());
        TextList files;
        const bool listed =
            Enumerate(useObjectEnumeration, folder, options.fileTypePattern(), files, false);
        if (Stopped()) {
            return;
        }
        if (!listed) {
            // A folder that cannot be read is a failure, not "nothing to merge": the
            // completion question must not pass it off as done.
            app.run.Failures(JobKind::Merge).Add(FailureKind::Unreadable, folder);
            return;
        }
        std::erase_if(files, [&](const Text& file) { return app.run.mergeWritten.Holds(file); });
        MergeFiles(app.run, files);
        if (!options.includeSubfolders() || Stopped()) {
            return;
        }
        TextList subfolders;
        if (!Enumerate(useObjectEnumeration, folder, options.fileTypePattern(), subfolders, true)) {
            app.run.Failures(JobKind::Merge).Add(FailureKind::Unreadable, folder);
            return;
        }
        for (const Text& subfolder : subfolders) {
            if (Stopped()) {
                break;
            }
            ProcessPendingEvents();
            if (Stopped()) {
                break;
            }
            Merge(subfolder);
        }
    }
};

}  // namespace

void MergeFolder(App& app, const Text& folder, bool useObjectEnumeration) {
    FolderWalk{app, useObjectEnumeration}.Walk(folder);
}

void StartMergeJob(App& app, const Text& folder, const TextList& paths, bool pathsAreFolders,
                   bool quiet) {
    RunControl& run = app.run;
    Form& form = app.MainForm();
    if (!run.BeginJob(JobKind::Merge)) {
        return;
    }
    FolderWalk walk{app, IsKeyDown(kControlKey)};
    const MergeOptions options(form);

    if (paths.empty()) {
        run.mergeTouched.Clear();
        run.mergeWritten.Clear();
        Text chosen = folder;
        if (chosen.empty()) {
            chosen = ChooseFolder(
                run, form.Get(U(names::MergeButton)).tag,
                U("选择一个文件夹，将读入文件夹下的所有 ") + options.fileTypePattern() +
                    U(" 文件进行合并。你也可以直接拖放要合并的文件或文件夹到软件"));
        }
        if (!chosen.empty()) {
            form.SetTag(U(names::MergeButton), chosen);
            run.lastMergeFolder = chosen;
            walk.Walk(chosen);
        }
    } else if (pathsAreFolders) {
        run.lastMergeFolder = paths.front();
        for (const Text& path : paths) {
            walk.Walk(path);
            if (walk.Stopped()) {
                break;
            }
        }
    } else {
        MergeFiles(run, paths);
        run.lastMergeFolder = PathDirectory(paths.front());
    }

    run.EndJob(JobKind::Merge, paths, quiet);
    const FailureList& failures = run.Failures(JobKind::Merge);
    if ((paths.empty() || quiet) && !failures.Empty() && form.IsOpen()) {
        ShowFailures(run.OutcomeWords(JobKind::Merge), failures);
    }
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

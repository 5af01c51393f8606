#include "merge/merge_job.h"

#include <string>

#include "app/app.h"
#include "app/main_window.h"
#include "app/run_control.h"
#include "fs/file_enumeration.h"
#include "fs/paths.h"
#include "merge/merge_core.h"
#include "merge/merge_separator.h"

namespace qs {

namespace {

constexpr int kControlKey = 17;

void ShowFailures(const FailureList& failures) {
    constexpr std::size_t kShown = 10;
    Text text = U("合并完毕，但以下 ") + std::to_string(failures.Count()) + U(" 项操作失败：");
    const auto& items = failures.Items();
    for (std::size_t i = 0; i < items.size() && i < kShown; ++i) {
        text += "\r\n" + FailureList::Label(items[i].first) + items[i].second;
    }
    if (items.size() > kShown) {
        text += "\r\n" + U("……");
    }
    ShowMessage(text, ButtonsOk, Text(), IconWarning);
}

int Enumerate(bool useObjectEnumeration, const Text& folder, const Text& pattern, TextList& result,
              bool foldersOnly) {
    return useObjectEnumeration ? EnumerateByObject(folder, pattern, result, false, foldersOnly)
                                : EnumerateByFind(folder, pattern, result, false, foldersOnly);
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

void MergeFolder(App& app, const Text& folder, bool useObjectEnumeration) {
    RunControl& run = app.run;
    const MergeOptions options(app.MainForm());
    TextList files;
    Enumerate(useObjectEnumeration, folder, options.fileTypePattern(), files, false);
    MergeFiles(run, files);
    if (!options.includeSubfolders() || run.StopRequested) {
        return;
    }
    TextList subfolders;
    Enumerate(useObjectEnumeration, folder, options.fileTypePattern(), subfolders, true);
    for (const Text& subfolder : subfolders) {
        if (run.StopRequested) {
            break;
        }
        ProcessPendingEvents();
        MergeFolder(app, subfolder, useObjectEnumeration);
    }
}

void StartMergeJob(App& app, const Text& folder, const TextList& paths, bool pathsAreFolders,
                   bool quiet) {
    RunControl& run = app.run;
    Form& form = app.MainForm();
    if (!run.BeginJob(JobKind::Merge)) {
        return;
    }
    const bool useObjectEnumeration = IsKeyDown(kControlKey);
    const MergeOptions options(form);

    if (paths.empty()) {
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
            MergeFolder(app, chosen, useObjectEnumeration);
        }
    } else if (pathsAreFolders) {
        run.lastMergeFolder = paths.front();
        for (const Text& path : paths) {
            MergeFolder(app, path, useObjectEnumeration);
            if (run.StopRequested) {
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
        ShowFailures(failures);
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

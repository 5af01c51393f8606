#include "app/drag_drop.h"

#include <algorithm>
#include <string>

#include "app/app.h"
#include "app/main_window.h"
#include "platform/services.h"

namespace qs {

int SplitDropHandler(App& app, int count, int index, const Text& path) {
    DropLists& lists = app.drops;
    const bool isFolder = Fs().IsFolder(path);
    if (count == 1 && isFolder) {
        if (ShowMessage(U("确定分割被拖放目录下的所有文件吗？"), MessageButtons::OkCancel) ==
            MessageResult::Ok) {
            app.StartSplitJob(path, TextList());
        }
        return 1;
    }
    if (index == 1) {
        lists.SplitDropList.clear();
    }
    if (!isFolder) {
        lists.SplitDropList.push_back(path);
    }
    if (index == count) {
        const Text question =
            U("确定分割被拖放的 ") + std::to_string(lists.SplitDropList.size()) + U(" 个文件吗？");
        if (ShowMessage(question, MessageButtons::OkCancel) == MessageResult::Ok) {
            // The job may be handed the list while a later drop refills it.
            const TextList files = lists.SplitDropList;
            app.StartSplitJob(Text(), files);
        }
    }
    return 1;
}

int MergeDropHandler(App& app, int count, int index, const Text& path) {
    DropLists& lists = app.drops;
    if (index == 1) {
        lists.MergeDropFiles.clear();
        lists.MergeDropFolders.clear();
    }
    (Fs().IsFolder(path) ? lists.MergeDropFolders : lists.MergeDropFiles).push_back(path);
    if (index != count) {
        return 1;
    }
    const std::size_t n = lists.MergeDropFiles.size() + lists.MergeDropFolders.size();
    const Text question = U("确定合并被拖放的 ") + std::to_string(n) + U(" 个吗？");
    if (ShowMessage(question, MessageButtons::OkCancel) != MessageResult::Ok) {
        return 1;
    }
    const TextList files = lists.MergeDropFiles;
    const TextList folders = lists.MergeDropFolders;
    if (!app.run.IsBusy(JobKind::Merge)) {
        app.run.mergeTouched.Clear();
        app.run.mergeWritten.Clear();
    }
    bool stoppedDuringFiles = false;
    if (!files.empty()) {
        const std::uint64_t stopsBefore = app.run.StopRequestCount();
        app.run.mergeFoldersAhead = folders;
        app.StartMergeJob(Text(), files, false, !folders.empty());
        app.run.mergeFoldersAhead.clear();
        stoppedDuringFiles = app.run.StopRequestCount() != stopsBefore;
    }
    if (!folders.empty() && !stoppedDuringFiles) {
        app.StartMergeJob(Text(), folders, true, false);
    }
    return 1;
}

void RegisterDropTargets(App& app) {
    TextList& panels = app.drops.registeredPanels;
    for (std::string_view panel : {names::SplitPanel, names::MergePanel}) {
        if (std::find(panels.begin(), panels.end(), U(panel)) == panels.end()) {
            panels.push_back(U(panel));
        }
    }
}

void DeliverDrop(App& app, std::string_view panelName, const TextList& paths) {
    const TextList& panels = app.drops.registeredPanels;
    if (std::find(panels.begin(), panels.end(), panelName) == panels.end()) {
        return;
    }
    int (*handler)(App&, int, int, const Text&) =
        panelName == U(names::SplitPanel) ? SplitDropHandler : MergeDropHandler;
    TextList items;
    for (const Text& path : paths) {
        if (!path.empty()) {
            items.push_back(path);
        }
    }
    const int count = static_cast<int>(items.size());
    for (int i = 0; i < count; ++i) {
        handler(app, count, i + 1, items[static_cast<std::size_t>(i)]);
    }
}

}  // namespace qs

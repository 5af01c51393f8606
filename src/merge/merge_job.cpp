#include "merge/merge_job.h"

#include <string>

#include "app/control_model.h"
#include "fs/file_enumeration.h"
#include "fs/paths.h"
#include "merge/merge_core.h"
#include "merge/merge_separator.h"
#include "platform/characters.h"
#include "platform/services.h"

namespace qs {

namespace {

constexpr std::size_t kFailuresShown = 10;

const Text& IdleCaption() {
    return U("合并文件..     ");
}

void Pump(MergeJobHost& host) {
    if (host.pump) {
        host.pump();
    } else {
        Ui().ProcessPendingEvents();
    }
}

bool CtrlHeld(MergeJobHost& host) {
    Ui().IsCtrlDown();
    Pump(host);
    return Ui().IsCtrlDown();
}

MergeContext ContextOf(MergeJobHost& host, TextList& failures) {
    return MergeContext{host.form,         host.stopRequested, host.statusText,
                        host.outputFolder, failures,           host.pump};
}

Text FailureLines(const TextList& failures) {
    Text lines;
    for (std::size_t i = 0; i < failures.size() && i < kFailuresShown; ++i) {
        lines += "\r\n";
        lines += failures[i];
    }
    if (failures.size() > kFailuresShown) {
        lines += "\r\n";
        lines += U("……");
    }
    return lines;
}

void AskOpenMergeFolder(const Text& folder, const TextList& failures) {
    MessageRequest request;
    request.text = U("合并完毕！是否打开目录：") + folder;
    if (!failures.empty()) {
        request.text += "\r\n\r\n" + U("以下 ") + std::to_string(failures.size()) +
                        U(" 项操作失败：") + FailureLines(failures);
    }
    request.title = U("信息：");
    request.buttons = ButtonsYesNo;
    request.systemModal = true;
    if (Ui().ShowMessage(request) == ResultYes) {
        Ui().OpenFolder(folder);
    }
}

void ShowFailures(const TextList& failures) {
    MessageRequest request;
    request.text = U("合并完毕，但以下 ") + std::to_string(failures.size()) + U(" 项操作失败：") +
                   FailureLines(failures);
    request.title = U("信息：");
    request.buttons = ButtonsOk;
    request.icon = IconWarning;
    Ui().ShowMessage(request);
}

int Enumerate(bool useObjectEnumeration, const Text& folder, const Text& pattern, TextList& result,
              bool foldersOnly) {
    return useObjectEnumeration ? EnumerateByObject(folder, pattern, result, false, foldersOnly)
                                : EnumerateByFind(folder, pattern, result, false, foldersOnly);
}

// The parent offered at the end with saveInParentFolder; the root when the folder lies in
// it, the folder itself when it has no parent.
Text ParentForQuestion(const Text& folder) {
    if (FindChar(folder, kPathSeparator) == Text::npos) {
        return folder;
    }
    Text parent = PathDirectory(folder);
    return parent.empty() ? Text(1, kPathSeparator) : parent;
}

}  // namespace

const Text& MergeOptions::fileTypePattern() const {
    return m_form.TextOf(U("编辑框文件类型1"));
}
bool MergeOptions::includeSubfolders() const {
    return m_form.IsChecked(U("选择框遍历子目录"));
}
bool MergeOptions::saveInParentFolder() const {
    return m_form.IsChecked(U("选择框父目录保存"));
}
bool MergeOptions::processTextEncoding() const {
    return m_form.IsChecked(U("选择框处理文本编码"));
}
bool MergeOptions::deleteSources() const {
    return m_form.IsChecked(U("选择框合并后删除文件"));
}

void MergeFolder(MergeJobHost& host, const Text& folder, bool useObjectEnumeration,
                 TextList& failures) {
    const MergeOptions options(host.form);
    TextList files;
    Enumerate(useObjectEnumeration, folder, options.fileTypePattern(), files, false);
    MergeContext context = ContextOf(host, failures);
    MergeFiles(context, files);
    if (!options.includeSubfolders() || host.stopRequested) {
        return;
    }
    TextList subfolders;
    Enumerate(useObjectEnumeration, folder, options.fileTypePattern(), subfolders, true);
    for (const Text& subfolder : subfolders) {
        if (host.stopRequested) {
            break;
        }
        Pump(host);
        MergeFolder(host, subfolder, useObjectEnumeration, failures);
    }
}

void StartMergeJob(MergeJobHost& host, const Text& folder, const TextList& paths,
                   bool pathsAreFolders, bool quiet) {
    Form& form = host.form;
    if (form.TextOf(U("按钮合并文件")) != IdleCaption()) {
        host.stopRequested = true;
        form.SetText(U("按钮合并文件"), U("正在停止中     "));
        return;
    }
    form.SetText(U("按钮合并文件"), U("正在合并，点击停止"));
    form.SetVisible(U("编辑框文件类型1"), false);
    host.stopRequested = false;
    const bool useObjectEnumeration = CtrlHeld(host);
    const MergeOptions options(form);
    TextList failures;

    if (paths.empty()) {
        Text chosen = folder;
        if (chosen.empty()) {
            chosen = Ui().ChooseFolder(
                form.Get(U("按钮合并文件")).tag,
                U("选择一个文件夹，将读入文件夹下的所有 ") + options.fileTypePattern() +
                    U(" 文件进行合并。你也可以直接拖放要合并的文件或文件夹到软件"));
        }
        if (!chosen.empty()) {
            form.SetTag(U("按钮合并文件"), chosen);
            host.lastMergeFolder = chosen;
            MergeFolder(host, chosen, useObjectEnumeration, failures);
        }
    } else if (pathsAreFolders) {
        host.lastMergeFolder = paths.front();
        for (const Text& path : paths) {
            MergeFolder(host, path, useObjectEnumeration, failures);
            if (host.stopRequested) {
                break;
            }
        }
    } else {
        MergeContext context = ContextOf(host, failures);
        MergeFiles(context, paths);
        host.lastMergeFolder = PathDirectory(paths.front());
    }

    form.SetText(U("按钮合并文件"), IdleCaption());
    form.SetVisible(U("编辑框文件类型1"), true);

    if (paths.empty() || quiet) {
        if (!failures.empty()) {
            ShowFailures(failures);
        }
        if (paths.empty()) {
            return;
        }
    }
    if (options.saveInParentFolder()) {
        host.lastMergeFolder = ParentForQuestion(host.lastMergeFolder);
    }
    if (!quiet) {
        AskOpenMergeFolder(host.lastMergeFolder, failures);
    }
}

MergeJobEntry AttachMergeJob(MergeJobHost& host) {
    MergeJobHost* h = &host;
    host.form.On(U("按钮合并文件"), ControlEvent::Clicked,
                 [h] { StartMergeJob(*h, Text(), TextList(), false, false); });
    host.form.On(U("按钮选择文件"), ControlEvent::Clicked, [h] { ChooseSeparatorFile(h->form); });
    return [h](const Text& folder, const TextList& paths, bool pathsAreFolders, bool quiet) {
        StartMergeJob(*h, folder, paths, pathsAreFolders, quiet);
    };
}

}  // namespace qs

#include "merge_fixture.h"

#include "fs/paths.h"

namespace qs::testing {

int MergeScriptedUi::ShowMessage(const MessageRequest& request) {
    messages.push_back(request);
    if (answers.empty()) {
        return ResultNo;
    }
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

Text MergeScriptedUi::OpenFileDialog(const Text&, const Text&, const Text& initial) {
    fileDialogInitial.push_back(initial);
    return fileAnswer;
}

Text MergeScriptedUi::ChooseFolder(const Text& initialFolder, const Text&) {
    chooseFolderInitial.push_back(initialFolder);
    return folderAnswer;
}

void MergeScriptedUi::ProcessPendingEvents() {
    ++pumps;
    auto action = atPump.find(pumps);
    if (action != atPump.end()) {
        auto run = std::move(action->second);
        atPump.erase(action);
        run();
    }
}

bool MergeScriptedUi::OpenFolder(const Text& folder) {
    opened.push_back(folder);
    return true;
}

std::unique_ptr<Form> MakeMergeForm() {
    auto form = std::make_unique<Form>(U("主界面"));
    auto add = [&](const char* name, ControlKind kind, const Text& text, bool checked = false) {
        Control c;
        c.name = U(name);
        c.kind = kind;
        c.parent = U("分组框合并");
        c.text = text;
        c.checked = checked;
        form->Add(std::move(c));
    };
    add("分组框合并", ControlKind::GroupBox, U("合并"));
    add("单选框使用字符串", ControlKind::RadioButton, U("使用字符串"), true);
    add("编辑框字符串", ControlKind::EditBox, Text());
    add("按钮输入换行", ControlKind::Button, U("输入换行"));
    add("按钮粘贴", ControlKind::Button, U("粘贴"));
    add("单选框使用文件", ControlKind::RadioButton, U("使用文件"));
    add("编辑框文件路径", ControlKind::EditBox, Text());
    add("按钮选择文件", ControlKind::Button, "..");
    add("单选框合并时不使用", ControlKind::RadioButton, U("合并时不使用中间数据"));
    add("按钮合并文件", ControlKind::Button, U("合并文件..     "));
    add("编辑框文件类型1", ControlKind::EditBox, "*.*");
    add("选择框合并后删除文件", ControlKind::CheckBox, U("删除原文件"));
    add("选择框遍历子目录", ControlKind::CheckBox, U("遍历子目录"));
    add("选择框父目录保存", ControlKind::CheckBox, U("父目录保存"), true);
    add("选择框处理文本编码", ControlKind::CheckBox, U("处理文本编码"));
    add("进度条", ControlKind::ProgressBar, Text());
    add("透明标签", ControlKind::TransparentLabel, Text());
    return form;
}

MergeTest::MergeTest()
    : m_override(Platform{nullptr, nullptr, nullptr, &ui}),
      form(MakeMergeForm()),
      host{*form, stopRequested, statusText, outputFolder, lastMergeFolder, {}} {}

Text MergeTest::Put(const Text& relative, std::string_view bytes) {
    const Text path = m_temp.File(relative);
    EnsureDirectoryChain(path);
    m_temp.Write(relative, bytes);
    return path;
}

Text MergeTest::Folder(const Text& relative) {
    const Text path = m_temp.File(relative);
    EnsureDirectoryChain(path + "/");
    return path;
}

bool MergeTest::Exists(const Text& relative) const {
    return Fs().Exists(m_temp.File(relative));
}

}  // namespace qs::testing

#include "merge/merge_separator.h"

#include "app/control_model.h"
#include "platform/services.h"

namespace qs {

SeparatorMode ReadSeparatorMode(const Form& form) {
    if (form.IsChecked(U("单选框使用字符串"))) {
        return SeparatorMode::SeparatorString;
    }
    if (form.IsChecked(U("单选框使用文件"))) {
        return SeparatorMode::SeparatorFile;
    }
    return SeparatorMode::SeparatorNone;
}

Bytes ReadMergeSeparator(const Form& form) {
    switch (ReadSeparatorMode(form)) {
        case SeparatorMode::SeparatorString:
            return form.TextOf(U("编辑框字符串"));
        case SeparatorMode::SeparatorFile: {
            const Text& path = form.TextOf(U("编辑框文件路径"));
            if (path.empty()) {
                return {};
            }
            return Fs().ReadWholeFile(path).value_or(Bytes());
        }
        case SeparatorMode::SeparatorNone:
            break;
    }
    return {};
}

void ChooseSeparatorFile(Form& form) {
    const Text chosen =
        Ui().OpenFileDialog(U("选择一个文件作为合并中间数据"), U("全部文件(*.*)|*.*"),
                            form.TextOf(U("编辑框文件路径")));
    if (!chosen.empty()) {
        form.SetText(U("编辑框文件路径"), chosen);
    }
}

}  // namespace qs

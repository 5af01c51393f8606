#include "merge/merge_separator.h"

#include "app/main_window.h"
#include "platform/services.h"

namespace qs {

SeparatorMode ReadSeparatorMode(const Form& form) {
    if (form.IsChecked(U(names::UseString))) {
        return SeparatorMode::SeparatorString;
    }
    if (form.IsChecked(U(names::UseFile))) {
        return SeparatorMode::SeparatorFile;
    }
    return SeparatorMode::SeparatorNone;
}

std::optional<Bytes> ReadMergeSeparator(const Form& form) {
    switch (ReadSeparatorMode(form)) {
        case SeparatorMode::SeparatorString:
            return form.TextOf(U(names::SeparatorText));
        case SeparatorMode::SeparatorFile: {
            const Text& path = form.TextOf(U(names::SeparatorPath));
            if (path.empty()) {
                return Bytes();
            }
            return Fs().ReadWholeFile(path);
        }
        case SeparatorMode::SeparatorNone:
            break;
    }
    return Bytes();
}

void ChooseSeparatorFile(Form& form) {
    const Text chosen =
        Ui().OpenFileDialog(U("选择一个文件作为合并中间数据"), U("全部文件(*.*)|*.*"),
                            form.TextOf(U(names::SeparatorPath)));
    if (!chosen.empty()) {
        form.SetText(U(names::SeparatorPath), chosen);
    }
}

}  // namespace qs

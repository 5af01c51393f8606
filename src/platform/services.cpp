#include "platform/services.h"

#include "platform/icu_charsets.h"
#include "platform/icu_regex.h"
#include "platform/posix_file_system.h"

namespace qs {
namespace {

// Until a real UI is installed: every dialog is cancelled, every question gets its first
// button, nothing is opened.
class QuietUi : public UiServices {
public:
    MessageResult ShowMessage(const MessageRequest& request) override {
        return request.buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
    }
    TextList OpenFilesDialog(const Text&, const Text&, const Text&) override { return {}; }
    Text OpenFileDialog(const Text&, const Text&, const Text&) override { return Text(); }
    Text ChooseFolder(const Text&, const Text&) override { return Text(); }
    Text ClipboardText() override { return Text(); }
    void ProcessPendingEvents() override {}
    bool IsCtrlDown() override { return false; }
    bool OpenFolder(const Text&) override { return false; }
    bool OpenUrl(const Text&) override { return false; }
    void RunModal(Form&) override {}
    int ScreenWidth() override { return 1024; }
    int ScreenHeight() override { return 768; }
};

Platform& Current() {
    static PosixFileSystem fs;
    static IcuCharsets charsets;
    static IcuRegexEngine regex;
    static QuietUi ui;
    static Platform platform{&fs, &charsets, &regex, &ui};
    return platform;
}

}  // namespace

Platform& Services() {
    return Current();
}
FileSystem& Fs() {
    return *Current().fs;
}
Charsets& Conv() {
    return *Current().charsets;
}
RegexEngine& Regex() {
    return *Current().regex;
}
UiServices& Ui() {
    return *Current().ui;
}

ServicesOverride::ServicesOverride(Platform replacement) : m_saved(Current()) {
    Platform& current = Current();
    if (replacement.fs)
        current.fs = replacement.fs;
    if (replacement.charsets)
        current.charsets = replacement.charsets;
    if (replacement.regex)
        current.regex = replacement.regex;
    if (replacement.ui)
        current.ui = replacement.ui;
}

ServicesOverride::~ServicesOverride() {
    Current() = m_saved;
}

}  // namespace qs

#pragma once

#include <functional>
#include <vector>

#include "platform/ui_services.h"

namespace qs {

// The desktop for tests that need no dialogs: every dialog is answered with nothing or OK,
// message boxes are recorded, and each pump is counted and runs an optional hook (to fire
// handlers "inside" a job).
class QuietUi : public UiServices {
public:
    std::vector<MessageRequest> messages;
    std::function<void()> onPump;
    int pumps = 0;

    MessageResult ShowMessage(const MessageRequest& request) override {
        messages.push_back(request);
        return MessageResult::Ok;
    }
    TextList OpenFilesDialog(const Text&, const Text&, const Text&) override { return {}; }
    Text OpenFileDialog(const Text&, const Text&, const Text&) override { return Text(); }
    Text ChooseFolder(const Text&, const Text&) override { return Text(); }
    Text ClipboardText() override { return Text(); }
    void ProcessPendingEvents() override {
        ++pumps;
        if (onPump) {
            auto hook = onPump;
            hook();
        }
    }
    bool IsCtrlDown() override { return false; }
    bool OpenFolder(const Text&) override { return false; }
    bool OpenUrl(const Text&) override { return false; }
    void RunModal(Form&) override {}
    int ScreenWidth() override { return 1024; }
    int ScreenHeight() override { return 768; }
};

}  // namespace qs

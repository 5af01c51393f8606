#pragma once

#include <functional>
#include <vector>

#include "platform/ui_services.h"

namespace qs {

// Records message boxes and runs a hook on each pump (to fire handlers "inside" a write).
class TestUi : public UiServices {
public:
    std::vector<MessageRequest> messages;
    std::function<void()> onPump;
    int pumps = 0;

    int ShowMessage(const MessageRequest& request) override {
        messages.push_back(request);
        return ResultOk;
    }
    Text OpenFilesDialog(const Text&, const Text&, const Text&) override { return Text(); }
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

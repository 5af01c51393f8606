#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/ui_services.h"

namespace qs::cli {

// SIGINT and SIGTERM become the stop button: the running job ends at its next stop point.
void InstallStopSignals();
bool StopSignalled();

// One line on standard error that updates: files done of all, bytes, rate and time left.
class ProgressLine {
public:
    explicit ProgressLine(bool enabled) : m_enabled(enabled) {}
    void SetTotals(int files, std::int64_t bytes);
    // Redraws at most a few times a second.
    void Update(int filesDone, std::int64_t bytesDone);
    void Clear();

private:
    bool m_enabled;
    bool m_shown = false;
    int m_files = 0;
    std::int64_t m_bytes = 0;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_last{};
};

// The desktop of the command line: nobody is asked. Questions get their negative answer,
// dialogs are cancelled; the jobs themselves never ask.
class CliUi : public UiServices {
public:
    MessageResult ShowMessage(const MessageRequest& request) override;
    TextList OpenFilesDialog(const Text&, const Text&, const Text&) override { return {}; }
    Text OpenFileDialog(const Text&, const Text&, const Text&) override { return Text(); }
    Text ChooseFolder(const Text&, const Text&) override { return Text(); }
    Text ClipboardText() override { return Text(); }
    void ProcessPendingEvents() override {}
    bool IsCtrlDown() override { return false; }
    bool OpenFolder(const Text&) override { return false; }
    bool OpenUrl(const Text&) override { return false; }
    void RunModal(Form& form) override;
    int ScreenWidth() override { return 1024; }
    int ScreenHeight() override { return 768; }
};

}  // namespace qs::cli

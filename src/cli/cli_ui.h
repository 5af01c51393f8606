#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/ui_services.h"

namespace qs {
class RunControl;
}

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
// dialogs are cancelled, and every message is kept for the report. A stop signal is
// handed to the run control at every pump.
class CliUi : public UiServices {
public:
    using Progress = std::function<void()>;

    explicit CliUi(RunControl& run) : m_run(run) {}
    void SetProgress(Progress progress) { m_progress = std::move(progress); }

    const TextList& Messages() const { return m_messages; }
    void ClearMessages() { m_messages.clear(); }

    int ShowMessage(const MessageRequest& request) override;
    Text OpenFilesDialog(const Text&, const Text&, const Text&) override { return Text(); }
    Text OpenFileDialog(const Text&, const Text&, const Text&) override { return Text(); }
    Text ChooseFolder(const Text&, const Text&) override { return Text(); }
    Text ClipboardText() override { return Text(); }
    void ProcessPendingEvents() override;
    bool IsCtrlDown() override { return false; }
    bool OpenFolder(const Text&) override { return false; }
    bool OpenUrl(const Text&) override { return false; }
    void RunModal(Form& form) override;
    int ScreenWidth() override { return 1024; }
    int ScreenHeight() override { return 768; }

private:
    RunControl& m_run;
    Progress m_progress;
    TextList m_messages;
};

}  // namespace qs::cli

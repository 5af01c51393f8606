#include "cli/cli_ui.h"

#include <csignal>
#include <cstdio>

namespace qs::cli {
namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int) {
    g_stop = 1;
}

std::string HumanBytes(std::int64_t bytes) {
    static const char* kUnits[] = {"B", "KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, kUnits[unit]);
    return text;
}

}  // namespace

void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // File operations go on after the signal; the job stops at its next poll.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool StopSignalled() {
    return g_stop != 0;
}

void ProgressLine::SetTotals(int files, std::int64_t bytes) {
    m_files = files;
    m_bytes = bytes;
    m_start = std::chrono::steady_clock::now();
}

void ProgressLine::Update(int filesDone, std::int64_t bytesDone) {
    if (!m_enabled) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (m_shown && now - m_last < std::chrono::milliseconds(200)) {
        return;
    }
    m_last = now;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    const double rate = seconds > 0 ? static_cast<double>(bytesDone) / seconds : 0;
    std::string line = std::to_string(filesDone) + "/" + std::to_string(m_files) + "  " +
                       HumanBytes(bytesDone) + "  " + HumanBytes(static_cast<std::int64_t>(rate)) +
                       "/s";
    if (rate > 0 && m_bytes > bytesDone) {
        const auto left = static_cast<long long>(static_cast<double>(m_bytes - bytesDone) / rate);
        char eta[32];
        std::snprintf(eta, sizeof eta, "  %lld:%02lld", left / 60, left % 60);
        line += eta;
    }
    std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
    std::fflush(stderr);
    m_shown = true;
}

void ProgressLine::Clear() {
    if (m_shown) {
        std::fputs("\r\x1b[K", stderr);
        std::fflush(stderr);
        m_shown = false;
    }
}

MessageResult CliUi::ShowMessage(const MessageRequest& request) {
    return request.buttons == MessageButtons::YesNo      ? MessageResult::No
           : request.buttons == MessageButtons::OkCancel ? MessageResult::Cancel
                                                         : MessageResult::Ok;
}

void CliUi::RunModal(Form&) {}

}  // namespace qs::cli

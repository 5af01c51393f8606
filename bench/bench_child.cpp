#include "bench/bench_child.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>

#include "app/app.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "bench/bench_jobs.h"
#include "platform/services.h"

namespace qs::bench {
namespace {

// The desktop of a benchmark run without a window: the pump does nothing.
class BenchUi : public AnsweredUi<UiServices> {
public:
    Text ClipboardText() override { return {}; }
    void ProcessPendingEvents() override {}
    bool IsCtrlDown() override { return false; }
    bool OpenFolder(const Text&) override { return true; }
    bool OpenUrl(const Text&) override { return true; }
    void RunModal(Form&) override {}
    int ScreenWidth() override { return 1024; }
    int ScreenHeight() override { return 768; }
};

// The settings of the window's job, as a user would set them.
void Configure(Form& form, const std::string& caseName) {
    if (caseName == "lines-10000") {
        form.SetChecked(U(names::ByLines), true);
        form.SetText(U(names::LineMin), U("10000"));
        form.SetText(U(names::LineMax), U("10000"));
    }
}

}  // namespace

bool RunOurs(const std::string& caseName, const std::string& source, const std::string&,
             ChildResult& result) {
    const bool qtPump = caseName.ends_with("-qt");
    const std::string name = qtPump ? caseName.substr(0, caseName.size() - 3) : caseName;
    std::unique_ptr<BenchDesktop> desktop = qtPump ? MakeQtDesktop() : nullptr;
    BenchUi plain;
    UiServices* ui = desktop ? desktop->Ui() : &plain;
    ServicesOverride services(Platform{nullptr, nullptr, nullptr, ui});

    App app;
    StartUp(app);
    OpenMainWindow(app);
    JobWiring wiring(app);
    Form& form = app.MainForm();
    Configure(form, name);

    const bool merge = name.starts_with("merge");
    TextList paths;
    if (merge) {
        for (const auto& entry : std::filesystem::directory_iterator(source)) {
            paths.push_back(entry.path().string());
        }
        std::sort(paths.begin(), paths.end());
    } else {
        plain.source = source;
        if (desktop) {
            desktop->SetSource(source);
        }
    }

    if (desktop) {
        desktop->BeginWatch(&form);
    }
    const double start = SteadySeconds();
    if (merge) {
        wiring.StartMerge(paths);
    } else {
        wiring.StartSplit();
    }
    const double asked = desktop ? desktop->QuestionAt() : plain.questionAt;
    result.seconds = (asked > 0 ? asked : SteadySeconds()) - start;
    if (desktop) {
        result.longestGap = desktop->EndWatch();
    }
    return asked > 0;
}

}  // namespace qs::bench

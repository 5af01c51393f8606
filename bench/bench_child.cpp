#include "bench/bench_child.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>

#include "app/app.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "bench/bench_jobs.h"
#include "encoding/text_slices.h"
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

// The settings of a case on the main window, as a user would set them.
void Configure(Form& form, const std::string& caseName) {
    auto set = [&](std::string_view control, std::string_view utf8) {
        form.SetText(U(control), U(utf8));
    };
    auto check = [&](std::string_view control) { form.SetChecked(U(control), true); };
    if (caseName == "parts-100") {
        check(names::ByParts);
        set(names::PartCount, "100");
    } else if (caseName == "bytes-1m") {
        check(names::ByBytes);
        set(names::ByteSize, "1");
        form.SetSelectedIndex(U(names::ByteUnit), 2);
    } else if (caseName == "bytes-3194" || caseName == "bytes-3194-delete") {
        check(names::ByBytes);
        set(names::ByteSize, "3.12");
        form.SetSelectedIndex(U(names::ByteUnit), 1);
        form.SetChecked(U(names::SplitDelete), caseName == "bytes-3194-delete");
    } else if (caseName == "lines-7") {
        check(names::ByLines);
        set(names::LineMin, "7");
        set(names::LineMax, "7");
    } else if (caseName == "lines-10000") {
        check(names::ByLines);
        set(names::LineMin, "10000");
        set(names::LineMax, "10000");
    } else if (caseName == "chars-100000") {
        check(names::ByChars);
        set(names::CharMin, "100000");
        set(names::CharMax, "100000");
    } else if (caseName == "separator-gbk" || caseName == "separator-utf8") {
        check(names::ByString);
        form.SetTag(U(names::SeparatorButton), U("\u25C6\u25C7"));
    } else if (caseName == "merge-encoding") {
        check(names::HandleEncoding);
    }
}

}  // namespace

bool RunOurs(const std::string& caseName, const std::string& source, const std::string&,
             ChildResult& result) {
    if (caseName == "decode") {
        const double start = SteadySeconds();
        TextSliceReader reader;
        bool read = reader.Open(source);
        for (std::string_view slice; read && reader.Next(slice) && !slice.empty();) {
        }
        result.seconds = SteadySeconds() - start;
        return read && reader.Encoding() == EncodingUtf8;
    }

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

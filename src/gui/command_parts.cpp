#include "gui/command_parts.h"

#include "app/app.h"
#include "app/run_control.h"
#include "cli/chapter_rules.h"
#include "cli/manifest.h"
#include "cli/output_recorder.h"
#include "fs/paths.h"
#include "platform/native_names.h"
#include "platform/services.h"

namespace qs {
namespace {

void VerifyChosenManifest() {
    const Text manifest =
        Ui().OpenFileDialog(U("选择校验清单（.manifest.json）"),
                            U("校验清单(*.manifest.json)|*.manifest.json"), Text());
    if (manifest.empty()) {
        return;
    }
    Report report;
    if (!cli::VerifyManifest(manifest, report)) {
        ShowMessage(U("无法读取校验清单：") + DisplayText(manifest), MessageButtons::Ok, Text(),
                    MessageIcon::Warning);
        return;
    }
    Text problems;
    for (const ReportedFailure& f : report.failures) {
        Text label;
        Utf8ToInternal(f.label, label);
        problems += "\r\n" + label + DisplayText(f.path);
    }
    if (!problems.empty()) {
        ShowMessage(U("校验未通过，以下分割文件缺少或已改动：") + problems, MessageButtons::Ok,
                    Text(), MessageIcon::Warning);
        return;
    }
    if (ShowMessage(U("校验通过：每个分割文件都完好，能还原出原文件。是否现在还原？"),
                    MessageButtons::YesNo) != MessageResult::Yes) {
        return;
    }
    Report rejoined;
    cli::RejoinManifest(manifest, Text(), rejoined);
    Text failed;
    for (const ReportedFailure& f : rejoined.failures) {
        Text label;
        Utf8ToInternal(f.label, label);
        failed += "\r\n" + label + DisplayText(f.path);
    }
    if (!failed.empty()) {
        ShowMessage(U("未能还原：") + failed, MessageButtons::Ok, Text(), MessageIcon::Warning);
    } else if (!rejoined.outputs.empty()) {
        ShowMessage(U("还原完毕：") + DisplayText(rejoined.outputs.front().path));
    }
}

}  // namespace

void WireCommandLineParts(App& app) {
    app.readChapterRules = [](const Text& path) {
        const std::optional<Bytes> bytes = Fs().ReadWholeFile(path);
        return bytes ? cli::ParseChapterRules(*bytes).rules : std::vector<ChapterRuleParams>();
    };
    app.dryRunFileSystem = [](FileSystem& inner) -> std::unique_ptr<FileSystem> {
        return std::make_unique<cli::OutputRecorder>(inner, true, false);
    };
    app.verifyManifest = [] { VerifyChosenManifest(); };
}

}  // namespace qs

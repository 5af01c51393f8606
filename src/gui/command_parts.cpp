#include "gui/command_parts.h"

#include "app/app.h"
#include "app/run_control.h"
#include "cli/chapter_rules.h"
#include "cli/dry_run_file_system.h"
#include "cli/manifest.h"
#include "cli/source_manifest.h"
#include "cli/written_outputs.h"
#include "fs/paths.h"
#include "merge/manifest_rejoin.h"
#include "platform/native_names.h"
#include "platform/services.h"
#include "platform/system_error.h"

namespace qs {
namespace {

// The manifests of a window split, as the command line's --manifest writes them.
class WindowManifests : public SplitManifests {
public:
    WindowManifests(SplitRequestSource& requests, const TextList& sources)
        : m_written(true), m_requests(requests) {
        for (const Text& s : sources) {
            m_sources.Add(s);
        }
    }
    void PieceGrew(const void* piece, std::int64_t count, std::string_view bytes) override {
        m_written.Grew(piece, count, bytes);
    }
    void PieceClosed(const void* piece, const Text* path) override {
        m_written.Closed(piece, path);
    }
    void PieceWritten(const OutputRecord& o) override {
        m_pieces.push_back(
            {o.path, o.bytes, o.format, o.source, m_written.TakeHash(o.path), o.heading});
    }
    bool SourceSplit(const SplitSource& split, FailureList& failures, Report& report) override {
        const SplitParams& params = m_requests.Read().params;
        const auto reserved = [this](const Text& path) {
            return m_sources.Holds(path) || m_written.Holds(path);
        };
        // The window draws its random lengths from the clock: no seed gives them again. A
        // source that its manifest does not give back stays; the split tells that it did.
        cli::SourceManifest m =
            cli::WriteSourceManifest(split, params, 0, m_pieces, reserved, params.deleteSources);
        if (!m.written) {
            failures.Add(FailureKind::NotWritten, m.output.path, m.systemError);
            return false;
        }
        m_written.Add(m.output.path);
        report.outputs.push_back(std::move(m.output));
        return m.givesSourceBack;
    }

private:
    cli::WrittenOutputs m_written;
    SplitRequestSource& m_requests;
    JobFiles m_sources;
    std::vector<ReportedOutput> m_pieces;
};

void VerifyChosenManifest() {
    const Text manifest =
        Ui().OpenFileDialog(U("选择校验清单（.manifest.json）"),
                            U("校验清单(*.manifest.json)|*.manifest.json"), Text());
    if (manifest.empty()) {
        return;
    }
    ReportKeeper check;
    const Report& report = check.report;
    if (RunRejoinJob({manifest, false, Text()}, check) == RejoinOutcome::ManifestUnreadable) {
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
    ReportKeeper rejoin;
    RunRejoinJob({manifest, true, Text()}, rejoin);
    const Report& rejoined = rejoin.report;
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
        cli::ChapterRuleList list = cli::ReadChapterRules(path);
        // The window speaks Chinese whatever the locale.
        return RuleFileRead{std::move(list.rules), cli::ProblemWords(list, true)};
    };
    app.dryRunFileSystem = [](FileSystem& inner) -> std::unique_ptr<FileSystem> {
        return std::make_unique<cli::DryRunFileSystem>(inner);
    };
    app.verifyManifest = [] { VerifyChosenManifest(); };
    app.makeSplitManifests = [](SplitRequestSource& requests,
                                const TextList& sources) -> std::unique_ptr<SplitManifests> {
        return std::make_unique<WindowManifests>(requests, sources);
    };
}

}  // namespace qs

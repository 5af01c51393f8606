#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

#include "app/control_model.h"
#include "app/split_controls.h"
#include "app/window_jobs.h"
#include "platform/services.h"
#include "split/split_modes.h"
#include "split/split_state.h"
#include "support/temp_folder.h"

namespace qs {

// A desktop that records messages and runs queued actions at chosen pumps.
class RecordingUi : public UiServices {
public:
    MessageResult ShowMessage(const MessageRequest& request) override {
        messages.push_back(request.text);
        return answer;
    }
    TextList OpenFilesDialog(const Text& title, const Text& filter, const Text&) override {
        dialogTitle = title;
        dialogFilter = filter;
        return {};
    }
    Text OpenFileDialog(const Text&, const Text&, const Text&) override { return Text(); }
    Text ChooseFolder(const Text&, const Text&) override { return Text(); }
    Text ClipboardText() override { return Text(); }
    void ProcessPendingEvents() override {
        ++pumps;
        auto it = atPump.find(pumps);
        if (it != atPump.end()) {
            auto action = it->second;
            atPump.erase(it);
            action();
        }
    }
    bool IsCtrlDown() override { return ctrlDown; }
    bool OpenFolder(const Text& folder) override {
        opened.push_back(folder);
        return true;
    }
    bool OpenUrl(const Text&) override { return true; }
    void RunModal(Form& form) override {
        ++modals;
        form.Close();
    }
    int ScreenWidth() override { return 1024; }
    int ScreenHeight() override { return 768; }

    TextList messages;
    TextList opened;
    Text dialogTitle, dialogFilter;
    MessageResult answer = MessageResult::No;
    int pumps = 0;
    int modals = 0;
    bool ctrlDown = false;
    std::map<int, std::function<void()>> atPump;
};

// The split panel's controls on a bare form, a recording desktop and a temporary folder.
class SplitFixture : public ::testing::Test {
protected:
    SplitFixture() : m_override(Platform{nullptr, nullptr, nullptr, &ui}), form(U("主界面")) {
        using namespace split_controls;
        AddControl(U("分组框分割"), ControlKind::GroupBox, Text());
        for (const Text* r :
             {&PartsRadio(), &BytesRadio(), &LinesRadio(), &CharsRadio(), &SeparatorRadio()}) {
            AddControl(*r, ControlKind::RadioButton, U("分组框分割"));
        }
        for (const Text* e : {&PartCountEdit(), &ByteSizeEdit(), &LineMinEdit(), &LineMaxEdit(),
                              &CharMinEdit(), &CharMaxEdit(), &FileTypeEdit()}) {
            AddControl(*e, ControlKind::EditBox, U("分组框分割"));
        }
        AddControl(ByteUnitCombo(), ControlKind::ComboBox, U("分组框分割"));
        form.SetSelectedIndex(ByteUnitCombo(), 0);
        for (const Text* c : {&IgnoreBlankLinesCheck(), &RandomRenameCheck(), &SubfolderCheck(),
                              &DeleteSourceCheck()}) {
            AddControl(*c, ControlKind::CheckBox, U("分组框分割"));
        }
        AddControl(SeparatorButton(), ControlKind::Button, U("分组框分割"));
        AddControl(SplitButton(), ControlKind::Button, U("分组框分割"));
        form.SetText(SplitButton(), U("分割文件.."));
        AddControl(ProgressBar(), ControlKind::ProgressBar, Text());
        AddControl(StatusLabel(), ControlKind::TransparentLabel, Text());
    }

    void AddControl(const Text& name, ControlKind kind, const Text& parent) {
        Control c;
        c.name = name;
        c.kind = kind;
        c.parent = parent;
        form.Add(std::move(c));
    }

    // An edit of a mode's value selects that mode, as the user would before a split.
    void Set(const Text& edit, const char* value) {
        using namespace split_controls;
        const std::pair<const Text*, const Text*> radios[] = {
            {&PartCountEdit(), &PartsRadio()}, {&ByteSizeEdit(), &BytesRadio()},
            {&LineMinEdit(), &LinesRadio()},   {&LineMaxEdit(), &LinesRadio()},
            {&CharMinEdit(), &CharsRadio()},   {&CharMaxEdit(), &CharsRadio()}};
        for (const auto& [owned, radio] : radios) {
            if (*owned == edit) {
                Check(*radio);
            }
        }
        form.SetText(edit, value);
    }
    void Check(const Text& box, bool on = true) { form.SetChecked(box, on); }

public:
    enum class Mode { Lines, Chars, Separator };

protected:
    ModeResult RunMode(SplitContext& ctx, Mode mode, const Text& path) {
        using namespace split_controls;
        const Text* radios[] = {&LinesRadio(), &CharsRadio(), &SeparatorRadio()};
        Check(*radios[static_cast<int>(mode)]);
        return RunSplitMode(ctx, path);
    }

    SplitContext& Context() {
        m_ctx = std::make_unique<SplitContext>(
            SplitContext{paramSource, events, temp.Path() + "/", {}});
        return *m_ctx;
    }

    // The panel's parameters, with what the panel cannot hold (an output encoding, chapters to
    // a piece) put in by adjust.
    struct PanelParams : SplitRequestSource {
        explicit PanelParams(const Form& f) : window(f) {}
        const SplitRequest& Read() override {
            request = window.Read();
            if (adjust) {
                adjust(request.params);
            }
            return request;
        }
        WindowSplitRequest window;
        SplitRequest request;
        std::function<void(SplitParams&)> adjust;
    };

    RecordingUi ui;
    ServicesOverride m_override;
    Form form;
    TempFolder temp;
    bool stop = false;
    Text status;
    FailureList failures;
    PanelParams paramSource{form};
    WindowJobEvents events{form, JobKind::Split, stop, status, failures};
    std::unique_ptr<SplitContext> m_ctx;
};

}  // namespace qs

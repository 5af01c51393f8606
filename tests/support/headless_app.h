#pragma once

#include <memory>

#include "app/app.h"
#include "app/main_window.h"
#include "platform/services.h"
#include "support/scripted_ui.h"
#include "support/temp_folder.h"

namespace qs {

// The program without a window, for tests:
//
//     HeadlessApp h;                      // fresh App, scripted UI installed, window open
//     h.app.startSplitJob = ...;          // plug a job (or a fake) into the entries
//     h.ui.QueueAnswer(MessageResult::Ok);         // answers for the next message boxes
//     h.ui.AtPump(5, [&] { h.Click(names::SplitButton); });
//     h.Click(names::SplitButton);
//     EXPECT_EQ(h.Caption(names::SplitButton), "分割文件..");
//
// Pass open = false to attach lifecycle steps (e.g. restoring settings) before calling
// Open(), which runs the start-up steps and the created event (rules, status label, drop
// targets). The input dialog is wired to 按钮输入字符串. The scripted UI stays installed
// until the object goes; temp is an empty folder removed afterwards.
class HeadlessApp {
public:
    explicit HeadlessApp(bool open = true);
    ~HeadlessApp();
    HeadlessApp(const HeadlessApp&) = delete;
    HeadlessApp& operator=(const HeadlessApp&) = delete;

    void Open();
    Form& form() { return app.MainForm(); }

    // Shortcuts taking UTF-8 control names.
    void Click(std::string_view name) { form().Click(U(name)); }
    std::string Caption(std::string_view name);  // the control's text as UTF-8
    bool Disabled(std::string_view name) { return form().Get(U(name)).disabled; }

    ScriptedUi ui;

private:
    std::unique_ptr<ServicesOverride> m_override;

public:
    App app;
    TempFolder temp;
};

}  // namespace qs

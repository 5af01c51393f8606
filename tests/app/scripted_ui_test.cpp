#include <gtest/gtest.h>

#include "support/scripted_ui.h"

namespace qs {
namespace {

TEST(ScriptedUiTest, DefaultAnswersFollowTheButtons) {
    struct Row {
        const char* label;
        MessageButtons buttons;
        MessageResult expected;
    };
    const Row rows[] = {{"ok", MessageButtons::Ok, MessageResult::Ok},
                        {"ok cancel", MessageButtons::OkCancel, MessageResult::Cancel},
                        {"yes no", MessageButtons::YesNo, MessageResult::No}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ScriptedUi ui;
        MessageRequest request;
        request.buttons = row.buttons;
        ui.QueueAnswer(MessageResult::Yes);
        EXPECT_EQ(ui.ShowMessage(request), MessageResult::Yes);
        EXPECT_EQ(ui.ShowMessage(request), row.expected);
        ui.SetDefaultAnswer(MessageResult::Retry);
        EXPECT_EQ(ui.ShowMessage(request), MessageResult::Retry);
        EXPECT_EQ(ui.Messages().size(), 3u);
    }
}

TEST(ScriptedUiTest, PumpActionsRunAtTheirCall) {
    ScriptedUi ui;
    std::vector<int> ran;
    ui.ProcessPendingEvents();
    ui.AtPump(2, [&] { ran.push_back(ui.PumpCount()); });
    ui.AtPump(1, [&] {
        ran.push_back(ui.PumpCount());
        ui.AtPump(1, [&] { ran.push_back(-ui.PumpCount()); });  // scheduled from an action
    });
    for (int i = 0; i < 4; ++i)
        ui.ProcessPendingEvents();
    EXPECT_EQ(ran, (std::vector<int>{2, 3, -3}));

    ui.ResetPumpCount();
    int every = 0;
    ui.EveryPump([&] { ++every; });
    ui.AtPump(2, [&] { ran.push_back(100 + ui.PumpCount()); });
    ui.ProcessPendingEvents();
    ui.ProcessPendingEvents();
    EXPECT_EQ(every, 2);
    EXPECT_EQ(ran.back(), 102);
}

TEST(ScriptedUiTest, ModalWithoutScriptCancels) {
    ScriptedUi ui;
    Form form("f");
    bool checkAsked = false;
    form.SetCloseCheck([&] {
        checkAsked = true;
        return false;
    });
    ui.RunModal(form);
    EXPECT_FALSE(form.IsOpen());
    EXPECT_FALSE(checkAsked);
    ui.QueueModal([](Form& shown) { EXPECT_TRUE(shown.IsOpen()); });
    ui.RunModal(form);
    EXPECT_EQ(ui.ModalForms().size(), 2u);
}

}  // namespace
}  // namespace qs

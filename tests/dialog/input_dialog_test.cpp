#include <gtest/gtest.h>

#include "app/window_jobs.h"
#include "dialog/input_dialog.h"
#include "settings/control_state.h"
#include "split/split_state.h"
#include "support/headless_app.h"

namespace qs {
namespace {

const Text& Tag(HeadlessApp& h) {
    return h.form().Get(U(names::SeparatorButton)).tag;
}
void SetBody(Form& d, const Text& text) {
    d.SetText(U(names::Body), text);
}
const Text& Body(Form& d) {
    return d.TextOf(U(names::Body));
}
// The button is enabled only in the split-by-string mode.
void EditSeparator(HeadlessApp& h) {
    h.Click(names::ByString);
    h.Click(names::SeparatorButton);
}

TEST(InputDialogTest, OpensWithTheSeparatorCentredAndFocused) {
    HeadlessApp h;
    h.form().SetTag(U(names::SeparatorButton), U("第一章"));
    h.ui.QueueModal([&](Form& d) {
        EXPECT_EQ(Body(d), U("第一章"));
        EXPECT_EQ(
            ToUtf8Lossy(d.Title()),
            "请输入用于分割的字符串，这些字符串必然多次出现在目标文件中，这样才能以此为分割点");
        EXPECT_EQ(d.Left(), 264);  // 1024 / 2 - 495 / 2, fraction dropped
        EXPECT_EQ(d.Top(), 172);   // (768 - 30) / 2 - 393 / 2
        EXPECT_EQ(d.Focused(), U(names::Body));
        // The instructions stand whole in the prompt box too, and the body begins under it.
        const Control& prompt = d.Get(U(names::Prompt));
        EXPECT_EQ(ToUtf8Lossy(prompt.text),
                  "请输入用于分割的字符串，这些字符串必然多次出现在目标文件中，\r\n"
                  "这样才能以此为分割点");
        EXPECT_EQ(prompt.height, 24);
        EXPECT_EQ(d.Get(U(names::Body)).top, 10 + prompt.height);
    });
    EditSeparator(h);
    EXPECT_EQ(h.ui.ModalForms().size(), 1u);
    EXPECT_EQ(Tag(h), U("第一章"));  // closed without OK
}

TEST(InputDialogTest, ClosingCheckOnEditedText) {
    HeadlessApp h;
    h.form().SetTag(U(names::SeparatorButton), "old");
    h.ui.QueueAnswer(MessageResult::No);
    h.ui.QueueAnswer(MessageResult::Yes);
    h.ui.QueueModal([&](Form& d) {
        SetBody(d, "edited");
        EXPECT_FALSE(d.RequestClose());
        EXPECT_TRUE(d.IsOpen());
        EXPECT_EQ(Body(d), "edited");
        EXPECT_TRUE(d.RequestClose());
    });
    EditSeparator(h);
    ASSERT_EQ(h.ui.Messages().size(), 2u);
    const MessageRequest& asked = h.ui.Messages()[0];
    EXPECT_EQ(ToUtf8Lossy(asked.text), "内容已被改动，是否要放弃？");
    EXPECT_EQ(ToUtf8Lossy(asked.title), "Qirn：");
    EXPECT_EQ(asked.buttons, MessageButtons::YesNo);
    EXPECT_EQ(asked.icon, MessageIcon::Information);
    EXPECT_TRUE(asked.systemModal);
    EXPECT_TRUE(asked.defaultNo);  // Enter keeps the edits
    EXPECT_EQ(Tag(h), "old");
}

TEST(InputDialogTest, UnchangedTextClosesWithoutAQuestion) {
    HeadlessApp h;
    h.ui.QueueModal([&](Form& d) { EXPECT_TRUE(d.RequestClose()); });
    EditSeparator(h);
    EXPECT_TRUE(h.ui.Messages().empty());
}

TEST(InputDialogTest, ButtonsSetTheSeparator) {
    struct Row {
        const char* label;
        Text initial;
        Text clipboard;
        std::vector<std::string_view> clicks;
        Text expectedTag;
        const char* notice;  // empty: none
    };
    const Row rows[] = {
        {"ok stores line breaks", "a", "", {}, "x\r\ny", ""},
        {"ok on emptied body", "a", "", {names::ClearButton, names::OkButton}, "", ""},
        {"cancel discards", "a", "", {names::CancelButton}, "a", ""},
        {"restore brings back the initial text",
         "a",
         "",
         {names::ClearButton, names::RestoreButton, names::OkButton},
         "a",
         ""},
        {"restore without initial text",
         "",
         "",
         {names::RestoreButton, names::OkButton},
         "x\r\ny",
         "启动值为空！"},
        {"paste replaces the whole body",
         "a",
         U("粘贴的"),
         {names::DialogPasteButton, names::OkButton},
         U("粘贴的"),
         ""},
        {"paste of an empty clipboard empties",
         "a",
         "",
         {names::DialogPasteButton, names::OkButton},
         "",
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        HeadlessApp h;
        h.form().SetTag(U(names::SeparatorButton), row.initial);
        h.ui.SetClipboard(row.clipboard);
        h.ui.QueueModal([&](Form& d) {
            SetBody(d, "x\r\ny");
            if (row.clicks.empty()) {
                d.Click(U(names::OkButton));
            }
            for (std::string_view click : row.clicks)
                d.Click(U(click));
        });
        EditSeparator(h);
        EXPECT_EQ(Tag(h), row.expectedTag);
        if (row.notice[0] == '\0') {
            EXPECT_TRUE(h.ui.Messages().empty());
        } else {
            EXPECT_EQ(h.ui.LastMessageUtf8(), row.notice);
            EXPECT_EQ(h.ui.Messages()[0].buttons, MessageButtons::Ok);
        }
    }
}

TEST(InputDialogTest, SecondOpeningIsRefused) {
    HeadlessApp h;
    bool nested = true;
    h.ui.QueueModal([&](Form&) {
        Text text = "untouched";
        nested = ShowInputDialog("", "t", "", text);
        EXPECT_EQ(text, "untouched");
    });
    Text text = "kept";
    EXPECT_FALSE(ShowInputDialog("i", "t", "", text));
    EXPECT_FALSE(nested);
    EXPECT_EQ(text, "kept");
    EXPECT_FALSE(InputDialogIsOpen());
}

TEST(InputDialogTest, LayoutAfterResize) {
    HeadlessApp h;
    const Text prompt = std::string(100, 'p') + "\r\n" + "q";
    h.ui.QueueModal([&](Form& d) {
        d.SetFormGeometry(d.Left(), d.Top(), 600, 500);
        const int m = 5;
        const Control& p = d.Get(U(names::Prompt));
        const Control& body = d.Get(U(names::Body));
        const Control& bar = d.Get(U(names::BottomBar));
        const Control& ok = d.Get(U(names::OkButton));
        const Control& cancel = d.Get(U(names::CancelButton));
        EXPECT_EQ(p.width, 590);
        EXPECT_EQ(p.height, 36);  // 98 cells a row: 100 bytes take two rows, "q" one
        EXPECT_EQ(body.top, m + p.height + m);
        EXPECT_EQ(body.width, 590);
        EXPECT_EQ(bar.top, body.top + body.height);
        EXPECT_EQ(bar.top + bar.height, 500);
        EXPECT_EQ(cancel.left + cancel.width, 600 - m);
        EXPECT_EQ(ok.left + ok.width, cancel.left);
        EXPECT_EQ(ok.top, bar.top + 17 - 12);
        EXPECT_EQ(cancel.top, ok.top);
    });
    Text text;
    ShowInputDialog("", "t", prompt, text);
}

TEST(InputDialogTest, EstimatePromptHeight) {
    struct Row {
        const char* label;
        Text prompt;
        int width;
        int expected;
    };
    const Row rows[] = {
        {"empty", "", 400, 0},
        {"short", "abc", 60, 12},
        {"exactly one row", std::string(10, 'a'), 60, 12},
        {"one byte more", std::string(11, 'a'), 60, 24},
        {"two full rows", std::string(20, 'a'), 60, 24},
        {"two lines", "a\r\nb", 60, 24},
        {"empty line inside", "a\r\n\r\nb", 60, 36},
        // 测试 is four bytes: byte lengths count, not characters.
        {"double-byte", U("测试测试测试"), 60, 24},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(EstimatePromptHeight(row.prompt, row.width), row.expected);
    }
}

TEST(InputDialogTest, HoldsOnlyItsOwnControlsAtTheirPlaces) {
    HeadlessApp h;
    h.ui.QueueModal([&](Form& d) {
        EXPECT_EQ(d.Controls().size(), 8u);  // no chapter options: they live in 更多选项
        const Control& bar = d.Get(U(names::BottomBar));
        EXPECT_EQ(bar.width, 336);
        EXPECT_EQ(bar.height, 34);
        const Control& ok = d.Get(U(names::OkButton));
        EXPECT_EQ(ok.top, bar.top + 17 - 12);
        EXPECT_EQ(ok.top + ok.height, bar.top + bar.height - 5);
    });
    EditSeparator(h);
}

}  // namespace
}  // namespace qs

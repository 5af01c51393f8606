#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>

#include "app/control_model.h"
#include "gui/form_view.h"
#include "gui/form_window.h"
#include "gui/qt_text.h"
#include "platform/services.h"
#include "qt_harness.h"

namespace qs {
namespace {

Control Make(const char* name, ControlKind kind, const char* parent, int left, int top, int width,
             int height, const char* text = "") {
    Control c;
    c.name = U(name);
    c.kind = kind;
    c.parent = U(parent);
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    c.text = U(text);
    return c;
}

class FormViewTest : public ::testing::Test {
protected:
    FormViewTest() : form(U("测试")) {
        testing::App();
        form.SetTitle(U("测试窗口"));
        form.SetFormGeometry(50, 50, 300, 200);
        form.Add(Make("面板", ControlKind::GroupBox, "", 10, 10, 200, 150, "面板"));
        Control a = Make("单选甲", ControlKind::RadioButton, "面板", 5, 20, 80, 20, "甲");
        a.checked = true;
        form.Add(a);
        form.Add(Make("单选乙", ControlKind::RadioButton, "面板", 5, 45, 80, 20, "乙"));
        Control number = Make("编辑数", ControlKind::EditBox, "面板", 90, 20, 80, 20, "12");
        number.editType = EditType::Integer;
        form.Add(number);
        Control lines = Make("编辑多行", ControlKind::EditBox, "面板", 5, 70, 180, 40);
        lines.multiLine = true;
        lines.verticalScrollBar = true;
        form.Add(lines);
        form.Add(Make("选择", ControlKind::CheckBox, "面板", 5, 115, 80, 20, "选择"));
        form.Add(Make("按钮", ControlKind::Button, "", 220, 10, 70, 24, "开始"));
        form.Add(Make("进度", ControlKind::ProgressBar, "", 10, 170, 280, 20));
        form.Add(Make("状态", ControlKind::TransparentLabel, "", 20, 170, 260, 20));
        Control tick = Make("时钟", ControlKind::Timer, "", 0, 0, 0, 0);
        tick.period = 10;
        form.Add(tick);
        // The box follows the selection of 单选乙.
        form.Get(U("编辑数")).disabled = false;
        form.On(U("单选乙"), ControlEvent::Clicked,
                [this] { form.SetDisabled(U("编辑数"), form.IsChecked(U("单选乙"))); });
        form.On(U("单选甲"), ControlEvent::Clicked,
                [this] { form.SetDisabled(U("编辑数"), form.IsChecked(U("单选乙"))); });
    }

    template <typename W>
    W* Widget(const char* name) {
        return qobject_cast<W*>(window->View().WidgetOf(U(name)));
    }

    void Open() {
        form.MarkOpen();
        window = std::make_unique<FormWindow>(form);
        window->show();
    }

    Form form;
    std::unique_ptr<FormWindow> window;
};

TEST_F(FormViewTest, WidgetsSitInTheirParentsWithTheModelsValues) {
    Open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("测试窗口"));
    EXPECT_EQ(window->frameGeometry(), QRect(50, 50, 300, 200));
    EXPECT_EQ(form.ClientWidth(), window->width());
    EXPECT_EQ(form.ClientHeight(), window->height());
    auto* panel = Widget<QGroupBox>("面板");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->title(), QStringLiteral("面板"));
    auto* second = Widget<QRadioButton>("单选乙");
    EXPECT_EQ(second->parentWidget(), panel);
    EXPECT_EQ(second->geometry(), QRect(5, 45, 80, 20));
    EXPECT_TRUE(Widget<QRadioButton>("单选甲")->isChecked());
    EXPECT_FALSE(second->isChecked());
    EXPECT_EQ(Widget<QLineEdit>("编辑数")->text(), QStringLiteral("12"));
    // An empty bar must not turn into a busy indicator.
    EXPECT_EQ(Widget<QProgressBar>("进度")->maximum(), 1);
}

TEST_F(FormViewTest, WithoutAFrameFromTheWindowSystemTheClientAreaIsTheWholeSize) {
    FormWindow hidden(form);
    EXPECT_EQ(hidden.size(), QSize(300, 200));
    EXPECT_EQ(form.ClientWidth(), 300);
    hidden.show();
    EXPECT_TRUE(
        testing::PumpUntil([&] { return hidden.frameGeometry().size() == QSize(300, 200); }));
    EXPECT_EQ(form.Width(), 300);
}

TEST_F(FormViewTest, RadioClickSelectsOneOfTheGroupAndRunsTheRules) {
    Open();
    Widget<QRadioButton>("单选乙")->click();
    EXPECT_TRUE(form.IsChecked(U("单选乙")));
    EXPECT_FALSE(form.IsChecked(U("单选甲")));
    EXPECT_FALSE(Widget<QRadioButton>("单选甲")->isChecked());
    EXPECT_FALSE(Widget<QLineEdit>("编辑数")->isEnabled());
    // A click on the selected one keeps it selected, as in any radio group.
    Widget<QRadioButton>("单选乙")->click();
    EXPECT_TRUE(Widget<QRadioButton>("单选乙")->isChecked());
    EXPECT_TRUE(form.IsChecked(U("单选乙")));
    Widget<QRadioButton>("单选甲")->click();
    EXPECT_TRUE(Widget<QLineEdit>("编辑数")->isEnabled());
    Widget<QCheckBox>("选择")->click();
    EXPECT_TRUE(form.IsChecked(U("选择")));
}

TEST_F(FormViewTest, TypingReachesTheModelWithoutMovingTheCursor) {
    Open();
    auto* edit = Widget<QLineEdit>("编辑数");
    edit->setFocus();
    edit->setCursorPosition(1);
    for (const char* key : {"3", "x", "4"}) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromLatin1(key));
        QApplication::sendEvent(edit, &press);
    }
    // Letters are refused by the integer box; digits land where the cursor is.
    EXPECT_EQ(form.TextOf(U("编辑数")), "1342");
    EXPECT_EQ(edit->cursorPosition(), 3);
    form.SetText(U("编辑数"), "7");
    EXPECT_EQ(edit->text(), QStringLiteral("7"));
}

TEST_F(FormViewTest, MultiLineBoxKeepsCrLfInTheModel) {
    Open();
    auto* edit = Widget<QPlainTextEdit>("编辑多行");
    form.SetText(U("编辑多行"), U("第一行\r\n第二行"));
    EXPECT_EQ(edit->toPlainText(), QStringLiteral("第一行\n第二行"));
    edit->moveCursor(QTextCursor::End);
    edit->insertPlainText(QStringLiteral("\n末"));
    EXPECT_EQ(form.TextOf(U("编辑多行")), U("第一行\r\n第二行\r\n末"));
    EXPECT_EQ(edit->textCursor().position(), edit->toPlainText().size());
}

TEST_F(FormViewTest, StatusLabelMovesIntoTheBarAndFollowsTheModel) {
    Open();
    form.SetMaximum(U("进度"), 4);
    form.SetPosition(U("进度"), 3);
    EXPECT_EQ(Widget<QProgressBar>("进度")->value(), 3);
    form.SetParent(U("状态"), U("进度"));
    form.SetGeometry(U("状态"), 10, 0, 270, 20);
    form.SetText(U("状态"), U("(1/4)甲.txt"));
    auto* status = Widget<QLabel>("状态");
    EXPECT_EQ(status->parentWidget(), Widget<QProgressBar>("进度"));
    EXPECT_EQ(status->geometry(), QRect(10, 0, 270, 20));
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->text(), QStringLiteral("(1/4)甲.txt"));
}

TEST_F(FormViewTest, TimerTicksReachTheModel) {
    int ticks = 0;
    form.On(U("时钟"), ControlEvent::TimerTick, [&] { ++ticks; });
    Open();
    EXPECT_TRUE(testing::PumpUntil([&] { return ticks >= 3; }));
    form.SetDisabled(U("时钟"), true);
    EXPECT_FALSE(window->View().TimerOf(U("时钟"))->isActive());
}

QMimeData* UrlsOf(const QStringList& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls << QUrl::fromLocalFile(path);
    }
    data->setUrls(urls);
    return data;
}

void SendDrop(QWidget* target, const QStringList& paths) {
    std::unique_ptr<QMimeData> data(UrlsOf(paths));
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

TEST_F(FormViewTest, DropOnThePanelDeliversAllPathsInOneBatch) {
    Open();
    std::vector<TextList> batches;
    window->View().SetDropHandler(U("面板"),
                                  [&](const TextList& paths) { batches.push_back(paths); });
    // A long name must arrive whole; a folder arrives without its trailing separator.
    const QString longName = QStringLiteral("/tmp/") + QString(300, QChar(0x6587)) + ".txt";
    SendDrop(Widget<QGroupBox>("面板"),
             {QStringLiteral("/tmp/甲.txt"), longName, QStringLiteral("/tmp/目录/")});
    ASSERT_TRUE(testing::PumpUntil([&] { return !batches.empty(); }));
    ASSERT_EQ(batches.size(), 1u);
    ASSERT_EQ(batches[0].size(), 3u);
    EXPECT_EQ(batches[0][0], U("/tmp/甲.txt"));
    EXPECT_EQ(ToQt(batches[0][1]), longName);
    EXPECT_EQ(batches[0][2], U("/tmp/目录"));

    // Dropped on a box inside the panel, the files still go to the panel.
    SendDrop(Widget<QLineEdit>("编辑数"), {QStringLiteral("/tmp/乙.txt")});
    ASSERT_TRUE(testing::PumpUntil([&] { return batches.size() == 2; }));
    EXPECT_EQ(batches[1], TextList{U("/tmp/乙.txt")});
    EXPECT_EQ(form.TextOf(U("编辑数")), "12");

    // Outside the panel nothing happens.
    SendDrop(Widget<QPushButton>("按钮"), {QStringLiteral("/tmp/丙.txt")});
    testing::PumpUntil([] { return false; }, 50);
    EXPECT_EQ(batches.size(), 2u);
}

TEST_F(FormViewTest, ClosingDuringAJobWaitsForItToUnwind) {
    testing::AnsweringUi ui;
    ServicesOverride services({nullptr, nullptr, nullptr, &ui});
    bool running = false, stop = false, closePending = false;
    bool widgetsAliveAtJobEnd = false;
    int saves = 0;
    // The model's side as the program has it: the close stops the job and is finished by
    // the job's end, while the job is still on the stack.
    form.SetCloseCheck([&] {
        if (!running) {
            return true;
        }
        stop = true;
        closePending = true;
        return false;
    });
    form.On(U("按钮"), ControlEvent::Clicked, [&] {
        running = true;
        QElapsedTimer limit;
        limit.start();
        while (!stop && limit.elapsed() < 3000) {
            Ui().ProcessPendingEvents();
        }
        running = false;
        if (closePending) {
            form.RequestClose();
        }
        widgetsAliveAtJobEnd = window->isVisible() && Widget<QPushButton>("按钮") != nullptr;
    });
    form.On(Text(), ControlEvent::AboutToClose, [&] { ++saves; });
    Open();
    QTimer::singleShot(30, window.get(), [this] { window->close(); });
    Widget<QPushButton>("按钮")->click();
    EXPECT_TRUE(widgetsAliveAtJobEnd);
    EXPECT_FALSE(form.IsOpen());
    ASSERT_TRUE(testing::PumpUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(saves, 1);
}

TEST_F(FormViewTest, CloseCheckCanKeepTheWindowOpen) {
    bool allow = false;
    form.SetCloseCheck([&] { return allow; });
    Open();
    window->close();
    EXPECT_TRUE(window->isVisible());
    allow = true;
    window->close();
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
}  // namespace qs

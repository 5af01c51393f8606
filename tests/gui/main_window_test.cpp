#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <cmath>
#include <filesystem>

#include "app/app.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "app/window_jobs.h"
#include "dialog/input_dialog.h"
#include "gui/form_window.h"
#include "gui/qt_program.h"
#include "gui/qt_text.h"
#include "merge/merge_job.h"
#include "platform/services.h"
#include "qt_harness.h"
#include "split/split_job.h"
#include "support/temp_folder.h"
#include "text/characters.h"

namespace qs {
namespace {

QRect Zoomed(const QRect& r, double z) {
    auto at = [z](int v) { return static_cast<int>(std::lround(v * z)); };
    return QRect(at(r.x()), at(r.y()), at(r.width()), at(r.height()));
}

// Every visible control of a window lies inside its client area (the header strip is wider
// than the window by design, and clipped).
void ExpectControlsInside(FormView& view) {
    for (const auto& control : view.Model().Controls()) {
        QWidget* widget = view.WidgetOf(control->name);
        if (widget != nullptr && widget->isVisible() && widget->parentWidget() == view.Surface() &&
            control->kind != ControlKind::PictureBox) {
            EXPECT_TRUE(view.Surface()->rect().contains(widget->geometry()))
                << ToUtf8Lossy(control->name);
        }
    }
}

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        InstallSplitJob(app);
        InstallMergeJob(app);
        WireInputDialog(app);
        StartUp(app);
        OpenMainWindow(app);
        main.AttachDrops();
        main.Window().show();
    }

    QWidget* Widget(std::string_view name) { return main.Window().View().WidgetOf(U(name)); }
    Form& form() { return app.MainForm(); }

    int FilesUnder(const Text& folder) {
        int count = 0;
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(ToUtf8Lossy(folder))) {
            count += entry.is_regular_file() ? 1 : 0;
        }
        return count;
    }

    void MakeFolder(const Text& name) {
        std::filesystem::create_directories(ToUtf8Lossy(temp.File(name)));
    }

    // Drags the paths onto the named panel and drops them there.
    void Drop(std::string_view panelName, const std::vector<Text>& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const Text& path : paths) {
            urls.push_back(QUrl::fromLocalFile(ToQt(path)));
        }
        data.setUrls(urls);
        QWidget* panel = Widget(panelName);
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(panel, &enter);
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel, &drop);
    }

    QApplication& application = testing::App();
    testing::AnsweringUi ui;
    ServicesOverride services{{nullptr, nullptr, nullptr, &ui}};
    App app;
    QtMainWindow main{app};
    TempFolder temp;
};

TEST_F(MainWindowTest, EveryControlHasItsWidgetAtItsPlaceAndRendersToAPicture) {
    EXPECT_EQ(main.Window().windowTitle(),
              QStringLiteral("Qirnsplit v1.0.1.0 - 可拖放文件或文件夹"));
    // The frame has the form's size (drawn smaller only where the screen is too small);
    // the window cannot be resized or maximised.
    const double z = main.Window().View().Zoom();
    EXPECT_EQ(main.Window().frameGeometry().size(), Zoomed(QRect(0, 0, 567, 494), z).size());
    EXPECT_EQ(main.Window().minimumSize(), main.Window().maximumSize());
    EXPECT_FALSE(main.Window().windowFlags() & Qt::WindowMaximizeButtonHint);
    for (const auto& control : form().Controls()) {
        if (control->kind == ControlKind::Timer) {
            EXPECT_NE(main.Window().View().TimerOf(control->name), nullptr);
            continue;
        }
        QWidget* widget = Widget(control->name);
        ASSERT_NE(widget, nullptr) << ToUtf8Lossy(control->name);
        EXPECT_EQ(widget->geometry(),
                  Zoomed(QRect(control->left, control->top, control->width, control->height), z))
            << ToUtf8Lossy(control->name);
        if (auto* button = qobject_cast<QAbstractButton*>(widget);
            button && control->kind != ControlKind::PictureButton) {
            EXPECT_EQ(button->text(), ToQt(control->text)) << ToUtf8Lossy(control->name);
        }
        // Every option the user can set explains itself in one line.
        const bool option =
            control->kind == ControlKind::RadioButton || control->kind == ControlKind::CheckBox ||
            control->kind == ControlKind::ComboBox || control->kind == ControlKind::Button ||
            (control->kind == ControlKind::EditBox && control->visible);
        if (option) {
            EXPECT_FALSE(widget->toolTip().isEmpty()) << ToUtf8Lossy(control->name);
            EXPECT_FALSE(widget->toolTip().contains('\n')) << ToUtf8Lossy(control->name);
        }
    }
    // The status label sits inside the bar once the window is created.
    EXPECT_EQ(Widget(names::Status)->parentWidget(), Widget(names::Progress));
}

// Pictures of the window and the dialog as they are drawn, named after the display scale
// (run once more with QT_SCALE_FACTOR=2), for a look by eye.
TEST_F(MainWindowTest, ScreenshotsOfTheWindowAndTheDialog) {
    const QString scale = QString::number(main.Window().devicePixelRatioF() * 100) + "%";
    const QString folder = QCoreApplication::applicationDirPath() + "/screenshots/";
    QDir().mkpath(folder);
    const QPixmap window = main.Window().grab();
    EXPECT_EQ(window.deviceIndependentSize().toSize(), main.Window().size());
    EXPECT_TRUE(window.save(folder + "main_window_" + scale + ".png"));
    qobject_cast<QAbstractButton*>(Widget(names::ByString))->click();
    form().SetTag(U(names::SeparatorButton), U("第一章"));
    QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<FormDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->frameGeometry().size(),
                  Zoomed(QRect(0, 0, 495, 393), dialog->View().Zoom()).size());
        EXPECT_TRUE(dialog->grab().save(folder + "input_dialog_" + scale + ".png"));
        dialog->reject();
    });
    qobject_cast<QAbstractButton*>(Widget(names::SeparatorButton))->click();
}

// At any scale the window and the dialog are whole on the screen, with every control inside
// (the run at twice the scale has a screen of 1280 x 800).
TEST_F(MainWindowTest, TheWindowAndTheDialogFitTheScreenWithEveryControlInside) {
    const QRect room = main.Window().screen()->availableGeometry();
    EXPECT_TRUE(room.contains(main.Window().frameGeometry()))
        << room.width() << "x" << room.height();
    ExpectControlsInside(main.Window().View());
    // The path's text stops before the ".." over the end of its box.
    auto* path = qobject_cast<QLineEdit*>(Widget(names::SeparatorPath));
    ASSERT_NE(path, nullptr);
    EXPECT_LE(path->geometry().right() - path->textMargins().right(),
              Widget(names::ChooseFileButton)->geometry().left());
    bool checked = false;
    QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<FormDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(room.contains(dialog->frameGeometry()));
        ExpectControlsInside(dialog->View());
        checked = true;
        dialog->reject();
    });
    qobject_cast<QAbstractButton*>(Widget(names::ByString))->click();
    qobject_cast<QAbstractButton*>(Widget(names::SeparatorButton))->click();
    EXPECT_TRUE(checked);
}

TEST_F(MainWindowTest, ModeRadioDisablesTheOtherModesBoxes) {
    qobject_cast<QAbstractButton*>(Widget(names::ByString))->click();
    EXPECT_FALSE(Widget(names::PartCount)->isEnabled());
    EXPECT_TRUE(Widget(names::SeparatorButton)->isEnabled());
    qobject_cast<QAbstractButton*>(Widget(names::ByParts))->click();
    EXPECT_TRUE(Widget(names::PartCount)->isEnabled());
    EXPECT_FALSE(Widget(names::SeparatorButton)->isEnabled());
}

TEST_F(MainWindowTest, SplitFromTheButtonWritesThePieces) {
    temp.Write(U("甲.txt"), "1\r\n2\r\n3\r\n4\r\n");
    auto* count = qobject_cast<QLineEdit*>(Widget(names::PartCount));
    count->setText(QStringLiteral("2"));
    emit count->textEdited(count->text());
    EXPECT_EQ(form().TextOf(U(names::PartCount)), "2");
    ui.files.push_back(temp.File(U("甲.txt")));
    ui.answers = {MessageResult::No};
    qobject_cast<QAbstractButton*>(Widget(names::SplitButton))->click();
    EXPECT_EQ(FilesUnder(temp.Path()), 3);
    EXPECT_EQ(qobject_cast<QAbstractButton*>(Widget(names::SplitButton))->text(),
              QStringLiteral("分割文件.."));
}

TEST_F(MainWindowTest, DropOnTheSplitPanelAsksAndSplits) {
    temp.Write(U("乙.txt"), "1\r\n2\r\n3\r\n4\r\n");
    form().SetText(U(names::PartCount), "2");
    ui.answers = {MessageResult::Ok, MessageResult::No};
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(ToQt(temp.File(U("乙.txt"))))});
    QWidget* panel = Widget(names::SplitPanel);
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel, &drop);
    ASSERT_TRUE(testing::PumpUntil([&] { return ui.shown.size() >= 2; })) << ui.shown.size();
    EXPECT_EQ(ui.shown[0].text, U("确定分割被拖放的 1 个文件吗？"));
    EXPECT_EQ(FilesUnder(temp.Path()), 3);
    delete data;
}

// Files given on the command line (the menu entry's %F) arrive as a drop on the split panel.
TEST_F(MainWindowTest, FilesGivenToTheWindowAreAskedAboutAsADrop) {
    temp.Write(U("甲.txt"), "AAAA");
    ui.answers = {MessageResult::Cancel};
    main.Window().View().Drop(U(names::SplitPanel), {temp.File(U("甲.txt"))});
    ASSERT_TRUE(testing::PumpUntil([&] { return !ui.shown.empty(); }));
    EXPECT_EQ(ui.shown[0].text, U("确定分割被拖放的 1 个文件吗？"));
    EXPECT_EQ(FilesUnder(temp.Path()), 1);
}

TEST_F(MainWindowTest, ClickOnTheRunningButtonStopsTheSplit) {
    std::string lines;
    for (int i = 0; i < 200000; ++i) {
        lines += "line\r\n";
    }
    temp.Write(U("丙.txt"), lines);
    qobject_cast<QAbstractButton*>(Widget(names::ByLines))->click();
    ui.files.push_back(temp.File(U("丙.txt")));
    ui.answers = {MessageResult::No};
    auto* button = qobject_cast<QAbstractButton*>(Widget(names::SplitButton));
    QString captionWhenClicked;
    auto* bar = qobject_cast<QProgressBar*>(Widget(names::Progress));
    int barWhenClicked = -1;
    QTimer::singleShot(100, button, [&] {
        captionWhenClicked = button->text();
        barWhenClicked = bar->value();
        button->click();
    });
    button->click();
    EXPECT_NE(captionWhenClicked, QStringLiteral("分割文件.."));
    EXPECT_EQ(button->text(), QStringLiteral("分割文件.."));
    // The one file's bar moved by its bytes, short of full; the end says it was stopped.
    EXPECT_GT(barWhenClicked, 0);
    EXPECT_LT(barWhenClicked, bar->maximum());
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_EQ(ToQt(ui.shown.back().text).left(23),
              QStringLiteral("分割已停止，停在第 1 个文件（共 1 个）！"));
    // Stopped early: far fewer pieces than 200000 lines in pieces of at most 10.
    EXPECT_LT(FilesUnder(temp.Path()), 20001);
}

TEST_F(MainWindowTest, MergeFromTheButtonWritesTheFolderIntoOneFile) {
    MakeFolder(U("源"));
    temp.Write(U("源/a.txt"), "AAA\r\n");
    temp.Write(U("源/b.txt"), "BBB\r\n");
    ui.folders.push_back(temp.File(U("源")));
    auto* button = qobject_cast<QAbstractButton*>(Widget(names::MergeButton));
    button->click();
    // Saved in the parent folder by default, named after the first file.
    EXPECT_EQ(temp.Read(U("a等2个文件.txt")), "AAA\r\nBBB\r\n");
    EXPECT_EQ(form().Get(U(names::MergeButton)).tag, temp.File(U("源")));
    EXPECT_EQ(button->text(), ToQt(U("合并文件..     ")));
    EXPECT_TRUE(Widget(names::MergePattern)->isVisible());
}

TEST_F(MainWindowTest, MergeFromTheButtonCancelledWritesNothing) {
    MakeFolder(U("源"));
    temp.Write(U("源/a.txt"), "AAA");
    qobject_cast<QAbstractButton*>(Widget(names::MergeButton))->click();
    EXPECT_EQ(FilesUnder(temp.Path()), 1);
    EXPECT_TRUE(ui.shown.empty());
}

// Records every status text shown while jobs run.
class StatusLog : public FormObserver {
public:
    void OnChanged(Form& form, const Control* control, ControlProperty property) override {
        if (control && property == ControlProperty::Content && control->name == U(names::Status)) {
            texts.push_back(form.TextOf(control->name));
        }
    }
    std::vector<Text> texts;
};

TEST_F(MainWindowTest, DropOfFilesAndAFolderOnTheMergePanelAsksThenMergesFilesFirst) {
    MakeFolder(U("入/夹"));
    temp.Write(U("入/a.txt"), "A");
    temp.Write(U("入/b.txt"), "B");
    temp.Write(U("入/夹/c.txt"), "C");
    temp.Write(U("入/夹/d.txt"), "D");
    StatusLog log;
    form().AddObserver(&log);
    ui.answers = {MessageResult::Ok, MessageResult::No};
    Drop(names::MergePanel,
         {temp.File(U("入/a.txt")), temp.File(U("入/夹")), temp.File(U("入/b.txt"))});
    ASSERT_TRUE(testing::PumpUntil([&] { return ui.shown.size() >= 2; })) << ui.shown.size();
    form().RemoveObserver(&log);
    EXPECT_EQ(ui.shown[0].text, U("确定合并被拖放的 3 个吗？"));
    // Only the folder's merge asks about opening the output folder.
    EXPECT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(temp.Read(U("a等2个文件.txt")), "AB");
    EXPECT_EQ(temp.Read(U("入/c等2个文件.txt")), "CD");
    std::vector<Text> names;
    for (const Text& status : log.texts) {
        const std::size_t close = FindChar(status, ')');
        if (close != Text::npos && (names.empty() || names.back() != status.substr(close + 1))) {
            names.push_back(status.substr(close + 1));
        }
    }
    EXPECT_EQ(names, (std::vector<Text>{"a.txt", "b.txt", "c.txt", "d.txt"}));
}

TEST_F(MainWindowTest, InputDialogFromTheButtonStoresTheTypedSeparator) {
    qobject_cast<QAbstractButton*>(Widget(names::ByString))->click();
    form().SetTag(U(names::SeparatorButton), Text());
    bool typed = false;
    QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<FormDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        // Typed right away, without first moving the focus: the body has it.
        testing::TypeIntoWindow(dialog, QStringLiteral("第X章"));
        typed = true;
        qobject_cast<QAbstractButton*>(dialog->View().WidgetOf(U(names::OkButton)))->click();
    });
    qobject_cast<QAbstractButton*>(Widget(names::SeparatorButton))->click();
    EXPECT_TRUE(typed);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(form().Get(U(names::SeparatorButton)).tag, U("第X章"));
}

TEST_F(MainWindowTest, InputDialogCloseBoxAfterEditingAsksBeforeDroppingTheEdit) {
    qobject_cast<QAbstractButton*>(Widget(names::ByString))->click();
    form().SetTag(U(names::SeparatorButton), U("旧"));
    int closes = 0;
    bool stillOpenAfterNo = false;
    QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<FormDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QWidget* body = dialog->View().WidgetOf(U(names::Body));
        testing::TypeInto(body, QStringLiteral("新"));
        ui.answers = {MessageResult::No, MessageResult::Yes};
        dialog->close();
        ++closes;
        stillOpenAfterNo = dialog->isVisible();
        dialog->close();
        ++closes;
    });
    qobject_cast<QAbstractButton*>(Widget(names::SeparatorButton))->click();
    EXPECT_EQ(closes, 2);
    EXPECT_TRUE(stillOpenAfterNo);
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[0].text, U("内容已被改动，是否要放弃？"));
    EXPECT_EQ(ui.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(form().Get(U(names::SeparatorButton)).tag, U("旧"));
}

}  // namespace
}  // namespace qs

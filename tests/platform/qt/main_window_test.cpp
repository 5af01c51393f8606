#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <filesystem>

#include "app/app.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "dialog/input_dialog.h"
#include "merge/merge_job.h"
#include "platform/qt/form_window.h"
#include "platform/qt/qt_program.h"
#include "platform/qt/qt_text.h"
#include "platform/services.h"
#include "qt_harness.h"
#include "split/split_job.h"
#include "support/temp_folder.h"

namespace qs {
namespace {

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
    EXPECT_EQ(main.Window().size(), QSize(567, 494));
    for (const auto& control : form().Controls()) {
        if (control->kind == ControlKind::Timer) {
            EXPECT_NE(main.Window().View().TimerOf(control->name), nullptr);
            continue;
        }
        QWidget* widget = Widget(control->name);
        ASSERT_NE(widget, nullptr) << ToUtf8Lossy(control->name);
        EXPECT_EQ(widget->geometry(),
                  QRect(control->left, control->top, control->width, control->height))
            << ToUtf8Lossy(control->name);
        if (auto* button = qobject_cast<QAbstractButton*>(widget);
            button && control->kind != ControlKind::PictureButton) {
            EXPECT_EQ(button->text(), ToQt(control->text)) << ToUtf8Lossy(control->name);
        }
    }
    // The status label sits inside the bar once the window is created.
    EXPECT_EQ(Widget(names::Status)->parentWidget(), Widget(names::Progress));
    const QString picture = QCoreApplication::applicationDirPath() + "/main_window.png";
    EXPECT_TRUE(main.Window().grab().save(picture));
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
    ui.answers = {ResultNo};
    qobject_cast<QAbstractButton*>(Widget(names::SplitButton))->click();
    EXPECT_EQ(FilesUnder(temp.Path()), 3);
    EXPECT_EQ(qobject_cast<QAbstractButton*>(Widget(names::SplitButton))->text(),
              QStringLiteral("分割文件.."));
}

TEST_F(MainWindowTest, DropOnTheSplitPanelAsksAndSplits) {
    temp.Write(U("乙.txt"), "1\r\n2\r\n3\r\n4\r\n");
    form().SetText(U(names::PartCount), "2");
    ui.answers = {ResultOk, ResultNo};
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

TEST_F(MainWindowTest, ClickOnTheRunningButtonStopsTheSplit) {
    std::string lines;
    for (int i = 0; i < 200000; ++i) {
        lines += "line\r\n";
    }
    temp.Write(U("丙.txt"), lines);
    qobject_cast<QAbstractButton*>(Widget(names::ByLines))->click();
    ui.files.push_back(temp.File(U("丙.txt")));
    ui.answers = {ResultNo};
    auto* button = qobject_cast<QAbstractButton*>(Widget(names::SplitButton));
    QString captionWhenClicked;
    QTimer::singleShot(100, button, [&] {
        captionWhenClicked = button->text();
        button->click();
    });
    button->click();
    EXPECT_NE(captionWhenClicked, QStringLiteral("分割文件.."));
    EXPECT_EQ(button->text(), QStringLiteral("分割文件.."));
    // Stopped early: far fewer pieces than 200000 lines in pieces of at most 10.
    EXPECT_LT(FilesUnder(temp.Path()), 20001);
}

}  // namespace
}  // namespace qs

// The window telling what a job did: the completion box with every failure's reason, the kept
// report, the 更多选项 window and the preview, driven through the real widgets.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/app.h"
#include "app/kept_reports.h"
#include "app/main_window.h"
#include "app/more_options.h"
#include "app/startup.h"
#include "app/window_jobs.h"
#include "dialog/input_dialog.h"
#include "gui/command_parts.h"
#include "gui/form_window.h"
#include "gui/qt_program.h"
#include "gui/qt_text.h"
#include "platform/services.h"
#include "platform/system_error.h"
#include "qt_harness.h"
#include "support/faulty_file_system.h"
#include "support/temp_folder.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

// A small file system that is full: QS_FULL_DISK names a folder on one (a tmpfs of a few
// hundred KB, filled up); without it every write fails as a full disk does.
class ReportWindowTest : public ::testing::Test {
protected:
    ReportWindowTest() {
        const char* full = std::getenv("QS_FULL_DISK");
        fullFolder = full != nullptr ? Text(full) : temp.File(U("满"));
        fs::create_directories(ToUtf8Lossy(fullFolder));
        if (full == nullptr) {
            faulty.FailPath(FaultyFileSystem::Op::Write, fullFolder,
                            FaultyFileSystem::Fault::ShortWrite);
        }
        app.run.reportsFolder = temp.File(U("reports"));
        InstallSplitJob(app);
        InstallMergeJob(app);
        WireInputDialog(app);
        WireCommandLineParts(app);
        StartUp(app);
        OpenMainWindow(app);
        main.AttachDrops();
        main.Window().show();
    }
    ~ReportWindowTest() override {
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(ToUtf8Lossy(fullFolder), ignored)) {
            fs::remove_all(entry.path(), ignored);
        }
    }

    QWidget* Widget(std::string_view name) { return main.Window().View().WidgetOf(U(name)); }
    void Click(std::string_view name) { qobject_cast<QAbstractButton*>(Widget(name))->click(); }
    void WriteSource(const Text& name, std::size_t bytes) {
        std::ofstream(ToUtf8Lossy(fullFolder + "/" + name), std::ios::binary)
            << std::string(bytes, 'x');
    }
    const MessageRequest& LastMessage() { return ui.shown.back(); }

    QApplication& application = testing::App();
    testing::AnsweringUi ui;
    TempFolder temp;
    Text fullFolder;
    FaultyFileSystem faulty{Fs()};
    ServicesOverride services{{&faulty, nullptr, nullptr, &ui}};
    App app;
    QtMainWindow main{app};
};

TEST_F(ReportWindowTest, AFullDiskEndsTheSplitTellsWhyAndKeepsTheReport) {
    // The sources fit; their pieces do not.
    for (const char* name : {"甲.txt", "乙.txt", "丙.txt"}) {
        WriteSource(U(name), 4000);
    }
    if (std::getenv("QS_FULL_DISK") != nullptr) {
        std::ofstream filler(ToUtf8Lossy(fullFolder + "/" + U("填满")), std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), block.size())) {
        }
    }
    app.MainForm().SetText(U(names::PartCount), "4");
    for (const char* name : {"甲.txt", "乙.txt", "丙.txt"}) {
        ui.files.push_back(fullFolder + "/" + U(name));
    }
    ui.answers.push_back(MessageResult::No);
    Click(names::SplitButton);

    ASSERT_EQ(ui.shown.size(), 1u);
    const MessageRequest& box = LastMessage();
    const std::string text = ToUtf8Lossy(box.text);
    EXPECT_EQ(text.rfind("分割完毕！是否打开目录：", 0), 0u) << text;
    EXPECT_EQ(box.icon, MessageIcon::Warning);
    EXPECT_EQ(box.buttons, MessageButtons::YesNo);
    // One failure, with the system's reason; no piece tried after the disk was full.
    EXPECT_NE(text.find("以下 1 项操作失败："), std::string::npos) << text;
    EXPECT_NE(text.find("无法写入："), std::string::npos) << text;
    EXPECT_NE(text.find("（磁盘空间不足）"), std::string::npos) << text;
    const std::string details = ToUtf8Lossy(box.details);
    EXPECT_NE(details.find("无法写入："), std::string::npos);
    EXPECT_NE(details.find(ToUtf8Lossy(app.run.lastReportPath)), std::string::npos);
    for (const char* name : {"甲.txt", "乙.txt", "丙.txt"}) {
        EXPECT_TRUE(fs::exists(ToUtf8Lossy(fullFolder + "/" + U(name)))) << name;
    }

    // The same report as the command line's --json, kept as the newest and as last.json.
    std::ifstream last(ToUtf8Lossy(app.run.reportsFolder + "/last.json"));
    ASSERT_TRUE(last.good());
    const nlohmann::json report = nlohmann::json::parse(last);
    ASSERT_EQ(report["failures"].size(), 1u);
    EXPECT_EQ(report["failures"][0]["kind"], "not-written");
    EXPECT_EQ(report["failures"][0]["errno"], "ENOSPC");
    EXPECT_TRUE(report["outputs"].empty());
    std::ifstream kept(ToUtf8Lossy(app.run.lastReportPath));
    std::stringstream a, b;
    a << kept.rdbuf();
    b << std::ifstream(ToUtf8Lossy(app.run.reportsFolder + "/last.json")).rdbuf();
    EXPECT_EQ(a.str(), b.str());

    // The bar stands at the whole job once it is done; the next start clears the status.
    EXPECT_EQ(app.run.progress.Fraction(0), 1.0);
}

TEST_F(ReportWindowTest, AMergeFromTheButtonEndsWithTheCompletionQuestion) {
    faulty.Reset();
    const Text folder = temp.File(U("章节"));
    fs::create_directories(ToUtf8Lossy(folder));
    temp.Write(U("章节/1.txt"), "一\r\n");
    temp.Write(U("章节/2.txt"), "二\r\n");
    ui.folders.push_back(folder);
    ui.answers.push_back(MessageResult::No);
    Click(names::MergeButton);
    ASSERT_EQ(ui.shown.size(), 1u);
    // 父目录保存 is ticked: the folder offered is the chosen one's parent, where the output is.
    EXPECT_EQ(ToUtf8Lossy(LastMessage().text),
              "合并完毕！是否打开目录：" + ToUtf8Lossy(temp.Path()));
    EXPECT_EQ(LastMessage().icon, MessageIcon::None);
    EXPECT_TRUE(fs::exists(ToUtf8Lossy(temp.File(U("1等2个文件.txt")))));
}

TEST_F(ReportWindowTest, EnterPressesTheFocusedButton) {
    Widget(names::LineBreakButton)->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(Widget(names::LineBreakButton), &press);
    EXPECT_EQ(app.MainForm().TextOf(U(names::SeparatorText)), "\r\n");
}

// Every dialog the window opens fits the screen's free area, at any scale; pictures of each
// for a look by eye, named after the scale.
TEST_F(ReportWindowTest, DialogsFitTheScreenAndArePictured) {
    faulty.Reset();
    const QRect room = main.Window().screen()->availableGeometry();
    const QString scale = QString::number(main.Window().devicePixelRatioF() * 100) + "%";
    const QString folder = QCoreApplication::applicationDirPath() + "/screenshots/";
    QDir().mkpath(folder);
    int seen = 0;
    // Grabs the modal window on top once it is there, then answers it with the given button
    // (by its text).
    std::function<void(QString, QString, int)> grabThenPress = [&](QString picture, QString button,
                                                                   int tries) {
        QTimer::singleShot(100, [&, picture, button, tries] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (dialog == nullptr && tries > 0) {
                grabThenPress(picture, button, tries - 1);
                return;
            }
            ASSERT_NE(dialog, nullptr) << picture.toStdString();
            EXPECT_TRUE(room.contains(dialog->frameGeometry())) << picture.toStdString();
            dialog->grab().save(folder + picture + "_" + scale + ".png");
            ++seen;
            for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
                if (b->text() == button && b->isVisible()) {
                    b->click();
                    return;
                }
            }
            dialog->close();
        });
    };

    // 更多选项, with a chapter split of a real novel where there is one.
    const Text novel = U(QS_NOVELS) + "/" + U("yaolao_chuanqi_gbk.txt");
    const bool haveNovel = fs::exists(ToUtf8Lossy(novel));
    grabThenPress("more_options", QStringLiteral("关闭"), 100);
    app.MoreForm().SetChecked(U(more_names::Chapters), haveNovel);
    app.MoreForm().SetSelectedIndex(U(more_names::OutputEncoding), 1);
    QTest::mouseClick(Widget(names::MoreLink), Qt::LeftButton);
    EXPECT_EQ(ToUtf8Lossy(app.MainForm().TextOf(U(names::Status))).rfind("更多选项：输出 UTF-8", 0),
              0u);
    if (haveNovel) {
        ui.files.push_back(novel);
        grabThenPress("chapter_preview", QStringLiteral("取消"), 300);
        Click(names::SplitButton);
        EXPECT_TRUE(app.run.lastReportPath.empty());  // cancelled at the preview: nothing ran
    }

    // The completion box of a full disk, its details open.
    ui.onMessage = [&](const MessageRequest& request) {
        QTimer::singleShot(100, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            EXPECT_TRUE(room.contains(box->frameGeometry()));
            box->grab().save(folder + "full_disk_" + scale + ".png");
            for (QAbstractButton* b : box->buttons()) {
                if (box->buttonRole(b) == QMessageBox::ActionRole) {
                    b->click();  // 显示详细信息
                }
            }
            QTimer::singleShot(100, [&, box] {
                box->grab().save(folder + "full_disk_details_" + scale + ".png");
                ++seen;
                box->button(QMessageBox::No)->click();
            });
        });
        ui.QtUi::ShowMessage(request);
    };
    app.MoreForm().SetChecked(U(more_names::Chapters), false);
    faulty.FailPath(FaultyFileSystem::Op::Write, fullFolder, FaultyFileSystem::Fault::ShortWrite);
    WriteSource(U("书.txt"), 6000);
    ui.files.push_back(fullFolder + "/" + U("书.txt"));
    Click(names::SplitButton);
    EXPECT_EQ(seen, haveNovel ? 3 : 2);
    main.Window().grab().save(folder + "main_window_after_" + scale + ".png");
}

}  // namespace
}  // namespace qs

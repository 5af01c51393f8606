#include "gui/qt_ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QTranslator>
#include <QUrl>
#include <chrono>
#include <ctime>

#include "app/control_model.h"
#include "gui/form_window.h"
#include "gui/qt_text.h"
#include "text/characters.h"

namespace qs {
namespace {

// Dispatch at most this often; between dispatches a call costs one coarse clock read.
constexpr std::int64_t kDispatchIntervalNs = 5'000'000;

std::int64_t CoarseNowNs() {
#ifdef CLOCK_MONOTONIC_COARSE
    timespec now;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
#else
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}

}  // namespace

namespace {

// Qt shows the patterns after the description itself, so patterns the description already
// names in a closing parenthesis would show twice.
QString FilterLabel(const QString& description) {
    QString label = description.trimmed();
    const qsizetype open = label.lastIndexOf(QChar('('));
    if (open >= 0 && label.endsWith(QChar(')')) && label.indexOf(QChar('*'), open) >= 0) {
        label = label.left(open).trimmed();
    }
    return label;
}

}  // namespace

QString ToQtFilter(const Text& filter) {
    const QStringList parts = ToQt(filter).split(QChar('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (QString pattern : parts[i + 1].split(QChar(';'), Qt::SkipEmptyParts)) {
            pattern = pattern.trimmed();
            // "*.*" means every file on the desktop the filters were written for.
            if (pattern == QStringLiteral("*.*")) {
                pattern = QStringLiteral("*");
            }
            if (!pattern.isEmpty()) {
                patterns << pattern;
            }
        }
        if (patterns.isEmpty()) {
            patterns << QStringLiteral("*");
        }
        entries << FilterLabel(parts[i]) + QStringLiteral(" (") + patterns.join(QChar(' ')) +
                       QStringLiteral(")");
    }
    return entries.join(QStringLiteral(";;"));
}

MessageResult QtUi::ShowMessage(const MessageRequest& request) {
    QMessageBox box;
    box.setWindowTitle(ToQt(request.title));
    box.setText(ToQtLines(request.text));
    box.setTextFormat(Qt::PlainText);
    if (!request.details.empty()) {
        box.setDetailedText(ToQtLines(request.details));
    }
    switch (request.icon) {
        case MessageIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    switch (request.buttons) {
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(request.defaultNo ? QMessageBox::No : QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
            break;
    }
    box.setWindowModality(Qt::ApplicationModal);
    if (request.systemModal) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
        case QMessageBox::Ok:
            return MessageResult::Ok;
        case QMessageBox::Yes:
            return MessageResult::Yes;
        case QMessageBox::No:
            return MessageResult::No;
        case QMessageBox::Cancel:
            return MessageResult::Cancel;
        default:
            // Dismissed some other way: the answer that does nothing.
            return request.buttons == MessageButtons::YesNo ? MessageResult::No
                   : request.buttons == MessageButtons::Ok  ? MessageResult::Ok
                                                            : MessageResult::Cancel;
    }
}

TextList QtUi::OpenFilesDialog(const Text& title, const Text& filter, const Text& initialFolder) {
    TextList paths;
    for (const QString& path : QFileDialog::getOpenFileNames(
             nullptr, ToQt(title), ToQt(initialFolder), ToQtFilter(filter))) {
        paths.push_back(FromQt(path));
    }
    return paths;
}

Text QtUi::OpenFileDialog(const Text& title, const Text& filter, const Text& initialFolder) {
    return FromQt(QFileDialog::getOpenFileName(nullptr, ToQt(title), ToQt(initialFolder),
                                               ToQtFilter(filter)));
}

Text QtUi::ChooseFolder(const Text& initialFolder, const Text& title) {
    return FromQt(QFileDialog::getExistingDirectory(nullptr, ToQt(title), ToQt(initialFolder),
                                                    QFileDialog::ShowDirsOnly));
}

Text QtUi::ClipboardText() {
    // The model's multi-line texts break lines with CR LF, as the desktop clipboard did where
    // the program comes from.
    return FromQtLines(QGuiApplication::clipboard()->text());
}

void QtUi::ProcessPendingEvents() {
    const std::int64_t now = CoarseNowNs();
    if (now - m_lastDispatch < kDispatchIntervalNs) {
        return;
    }
    m_lastDispatch = now;
    ++m_dispatches;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool QtUi::IsCtrlDown() {
    return (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != 0;
}

bool QtUi::OpenFolder(const Text& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(ToQt(folder)));
}

bool QtUi::OpenUrl(const Text& url) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(ToQt(url)));
}

void QtUi::RunModal(Form& form) {
    // The caller has opened the form and run its opening steps; a form that closed during
    // them is not shown at all.
    if (!form.IsOpen()) {
        return;
    }
    FormDialog dialog(form);
    dialog.exec();
}

int QtUi::ScreenWidth() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size().width() : 1024;
}

int QtUi::ScreenHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size().height() : 768;
}

void ApplyDesktopLook(QApplication& application) {
    QFont font = QApplication::font();
    QStringList families;
    families << QStringLiteral("DejaVu Sans") << QStringLiteral("WenQuanYi Micro Hei");
    font.setFamilies(families);
    font.setPixelSize(12);
    application.setFont(font);
    // The standard buttons and file dialogs speak the window's language when the
    // desktop has Qt's Chinese catalogue; without it they stay in English.
    auto* translator = new QTranslator(&application);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

}  // namespace qs

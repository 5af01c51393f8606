#include "gui/qt_text.h"

#include <QList>

namespace qs {

QString ToQt(const Text& text) {
    std::string utf8;
    if (!InternalToUtf8(text, utf8)) {
        utf8 = ToUtf8Lossy(text);
    }
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

Text FromQt(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    Text internal;
    if (Utf8ToInternal(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())),
                       internal)) {
        return internal;
    }
    // GB18030 covers every code point, so only a broken surrogate gets here: keep the rest.
    internal.clear();
    for (const uint codePoint : text.toUcs4()) {
        const QByteArray one =
            QString::fromUcs4(reinterpret_cast<const char32_t*>(&codePoint), 1).toUtf8();
        Text piece;
        if (Utf8ToInternal(std::string_view(one.constData(), static_cast<size_t>(one.size())),
                           piece)) {
            internal += piece;
        }
    }
    return internal;
}

QString ToQtLines(const Text& text) {
    QString lines = ToQt(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return lines;
}

Text FromQtLines(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QChar('\n'), QStringLiteral("\r\n"));
    return FromQt(lines);
}

}  // namespace qs

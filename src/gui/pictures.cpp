#include "gui/pictures.h"

#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace qs {
namespace {

QPixmap Blank(int width, int height) {
    QPixmap pixmap = ScreenPixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

QPixmap ScreenPixmap(int width, int height) {
    // Drawn in device pixels, so that the pictures stay sharp on a scaled display.
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(width, height) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

QPixmap DrawLogo(int width, int height) {
    QPixmap pixmap = Blank(width, height);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // A page being cut in two, left of the name.
    const qreal page = height * 0.72;
    const QRectF sheet(height * 0.12, (height - page) / 2, page * 0.72, page);
    painter.setPen(QPen(QColor(40, 80, 150), 2));
    painter.setBrush(QColor(250, 252, 255));
    painter.drawRoundedRect(sheet, 3, 3);
    painter.setPen(QPen(QColor(120, 150, 200), 1.5));
    for (int line = 1; line <= 4; ++line) {
        const qreal y = sheet.top() + sheet.height() * line / 5.5;
        painter.drawLine(QPointF(sheet.left() + 5, y), QPointF(sheet.right() - 5, y));
    }
    painter.setPen(QPen(QColor(220, 60, 40), 2, Qt::DashLine));
    const qreal cut = sheet.top() + sheet.height() * 0.62;
    painter.drawLine(QPointF(sheet.left() - 4, cut), QPointF(sheet.right() + 4, cut));

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(static_cast<int>(height * 0.42));
    painter.setFont(font);
    const QRectF textBox(sheet.right() + height * 0.15, 0, width - sheet.right() - height * 0.15,
                         height);
    QLinearGradient ink(textBox.topLeft(), textBox.bottomLeft());
    ink.setColorAt(0, QColor(30, 90, 190));
    ink.setColorAt(1, QColor(10, 40, 110));
    QPainterPath name;
    const QFontMetricsF metrics(font);
    const QString text = QStringLiteral("Qirnsplit");
    const qreal baseline = (height + metrics.ascent() - metrics.descent()) / 2;
    name.addText(QPointF(textBox.left(), baseline), font, text);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawPath(name);
    return pixmap;
}

QPixmap DrawSaveIcon(int size) {
    QPixmap pixmap = Blank(size, size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal m = size * 0.14;
    const QRectF body(m, m, size - 2 * m, size - 2 * m);
    // A diskette: dark body with a cut corner, a metal shutter and a label.
    QPainterPath outline;
    const qreal corner = body.width() * 0.18;
    outline.moveTo(body.topLeft());
    outline.lineTo(body.right() - corner, body.top());
    outline.lineTo(body.right(), body.top() + corner);
    outline.lineTo(body.bottomRight());
    outline.lineTo(body.bottomLeft());
    outline.closeSubpath();
    painter.setPen(QPen(QColor(20, 40, 80), 1.5));
    painter.setBrush(QColor(45, 90, 170));
    painter.drawPath(outline);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 205, 215));
    const QRectF shutter(body.left() + body.width() * 0.25, body.top(), body.width() * 0.45,
                         body.height() * 0.32);
    painter.drawRect(shutter);
    painter.setBrush(QColor(45, 90, 170));
    painter.drawRect(QRectF(shutter.left() + shutter.width() * 0.62, shutter.top() + 3,
                            shutter.width() * 0.2, shutter.height() - 6));
    painter.setBrush(QColor(250, 250, 250));
    const QRectF label(body.left() + body.width() * 0.14, body.top() + body.height() * 0.5,
                       body.width() * 0.72, body.height() * 0.44);
    painter.drawRoundedRect(label, 2, 2);
    painter.setPen(QPen(QColor(150, 160, 180), 1.2));
    for (int line = 1; line <= 2; ++line) {
        const qreal y = label.top() + label.height() * line / 3;
        painter.drawLine(QPointF(label.left() + 4, y), QPointF(label.right() - 4, y));
    }
    return pixmap;
}

QPixmap DrawHomeIcon(int size) {
    QPixmap pixmap = Blank(size, size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QPainterPath roof;
    roof.moveTo(s * 0.10, s * 0.50);
    roof.lineTo(s * 0.50, s * 0.14);
    roof.lineTo(s * 0.90, s * 0.50);
    roof.closeSubpath();
    painter.setPen(QPen(QColor(120, 30, 20), 1.5));
    painter.setBrush(QColor(205, 70, 45));
    painter.drawPath(roof);
    painter.setBrush(QColor(205, 70, 45));
    painter.drawRect(QRectF(s * 0.66, s * 0.20, s * 0.09, s * 0.18));
    painter.setPen(QPen(QColor(110, 90, 60), 1.5));
    painter.setBrush(QColor(245, 230, 190));
    const QRectF wall(s * 0.20, s * 0.48, s * 0.60, s * 0.38);
    painter.drawRect(wall);
    painter.setBrush(QColor(120, 80, 40));
    painter.drawRect(QRectF(s * 0.43, s * 0.62, s * 0.15, s * 0.24));
    painter.setBrush(QColor(140, 190, 235));
    painter.drawRect(QRectF(s * 0.26, s * 0.56, s * 0.12, s * 0.11));
    painter.drawRect(QRectF(s * 0.63, s * 0.56, s * 0.12, s * 0.11));
    return pixmap;
}

}  // namespace qs

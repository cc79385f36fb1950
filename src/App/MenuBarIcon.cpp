#include "App/MenuBarIcon.h"

#include <array>

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QSvgRenderer>

namespace {

// Tray slots are 16 to 24 pixels on ordinary displays and twice that on dense ones.
constexpr std::array iconSizes{16, 18, 22, 24, 32, 36, 44, 48, 64};

QPixmap tinted(QImage image, const QColor& tint) {
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), tint);
    painter.end();
    return QPixmap::fromImage(std::move(image));
}

QImage blank(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

}  // namespace

namespace MenuBarIcon {

std::optional<QIcon> load(const QString& path, const QColor& tint) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) return std::nullopt;
    QIcon icon;
    for (int side : iconSizes) {
        QImage image = blank(side);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, side, side));
        painter.end();
        icon.addPixmap(tinted(std::move(image), tint));
    }
    return icon;
}

QIcon fallback(const QColor& tint) {
    QIcon icon;
    for (int side : iconSizes) {
        QImage image = blank(side);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        QFont font = QGuiApplication::font();
        font.setBold(true);
        font.setPixelSize(qMax(8, side * 11 / 18));
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, 0, side, side), Qt::AlignCenter, QStringLiteral("[ ]"));
        painter.end();
        icon.addPixmap(tinted(std::move(image), tint));
    }
    return icon;
}

QColor panelTint() {
    QColor color = QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText);
    color.setAlpha(255);
    return color;
}

}  // namespace MenuBarIcon

#include "App/AppIcon.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

static void initTessikResources() {
    Q_INIT_RESOURCE(tessik);
}

namespace AppIcon {

QIcon make() {
    initTessikResources();
    QSvgRenderer renderer(QStringLiteral(":/tessik.svg"));
    if (!renderer.isValid()) return {};
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, side, side));
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace AppIcon

#include "Capture/GlobalSpace.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace GlobalSpace {

Point fromQt(QPointF p, const QRectF& primary) {
    return {p.x() - primary.x(), (primary.y() + primary.height()) - p.y()};
}

Rect fromQt(const QRectF& r, const QRectF& primary) {
    return Rect(r.x() - primary.x(), (primary.y() + primary.height()) - (r.y() + r.height()),
                r.width(), r.height());
}

QPointF toQt(Point p, const QRectF& primary) {
    return {p.x + primary.x(), (primary.y() + primary.height()) - p.y};
}

QRectF toQt(const Rect& r, const QRectF& primary) {
    const Rect s = r.standardized();
    return QRectF(s.origin.x + primary.x(),
                  (primary.y() + primary.height()) - (s.origin.y + s.size.height), s.size.width,
                  s.size.height);
}

QRectF primaryGeometry() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? QRectF(primary->geometry()) : QRectF();
}

QPointF qtPointer() {
    return QPointF(QCursor::pos()) + QPointF(0.5, 0.5);
}

QScreen* screenAt(const Rect& frame) {
    const QRect geometry = toQt(frame, primaryGeometry()).toAlignedRect();
    for (QScreen* s : QGuiApplication::screens())
        if (s->geometry() == geometry) return s;
    return nullptr;
}

}  // namespace GlobalSpace

#include "UI/ToastPanel.h"

#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include "Design/TessikColor.h"
#include "UI/ToastLayout.h"

namespace {
QPainterPath capsule(const QRectF& bounds) {
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addRoundedRect(bounds, bounds.height() / 2, bounds.height() / 2);
    return path;
}
}  // namespace

ToastPanel::ToastPanel()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Tessik toast"));
}

void ToastPanel::setMessage(const QString& message) {
    m_message = message;
    const QSizeF label = ToastLayout::labelSize(message);
    resize(int(label.width() + 2 * ToastLayout::horizontalPadding), int(ToastLayout::height));
    update();
}

void ToastPanel::resizeEvent(QResizeEvent*) {
    setMask(QRegion(capsule(QRectF(rect())).toFillPolygon().toPolygon()));
}

void ToastPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QColor background = TessikColor::ink();
    background.setAlphaF(ToastLayout::backgroundOpacity);
    painter.fillPath(capsule(QRectF(rect())), background);

    const QSizeF label = ToastLayout::labelSize(m_message);
    const QRectF labelRect(ToastLayout::horizontalPadding, (height() - label.height()) / 2,
                           label.width(), label.height());
    painter.setFont(ToastLayout::labelFont());
    painter.setPen(TessikColor::cream());
    painter.drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_message);
}

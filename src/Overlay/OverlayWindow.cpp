#include "Overlay/OverlayWindow.h"

#include <QBackingStore>
#include <QPainter>
#include <QScreen>
#include <QWindow>

OverlayWindow::OverlayWindow(QScreen* screen)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::BypassWindowManagerHint | Qt::NoDropShadowWindowHint) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The frozen image covers every pixel: no background fill, and no system background
    // shown between mapping and the first paint.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    setWindowTitle(QStringLiteral("Tessik"));
    createWinId();
    if (screen) {
        windowHandle()->setScreen(screen);
        setGeometry(screen->geometry());
    }
}

void OverlayWindow::setContent(QWidget* content) {
    if (m_content == content) return;
    if (m_content) m_content->deleteLater();
    m_content = content;
    if (!content) return;
    content->setParent(this);
    content->setGeometry(rect());
    content->show();
}

void OverlayWindow::orderFront() {
    show();
    raise();
}

void OverlayWindow::makeKeyAndOrderFront() {
    orderFront();
    // Override-redirect windows are never focused by a window manager: ask X directly.
    activateWindow();
    if (m_content) m_content->setFocus(Qt::ActiveWindowFocusReason);
}

void OverlayWindow::resizeEvent(QResizeEvent*) {
    if (m_content) m_content->setGeometry(rect());
}

void OverlayWindow::prepareBackingStore() {
    QBackingStore* store = backingStore();
    if (!store || isVisible()) return;
    store->resize(size());
    const QRegion all(rect());
    store->beginPaint(all);
    if (QPaintDevice* device = store->paintDevice()) {
        QPainter painter(device);
        painter.fillRect(rect(), Qt::black);
    }
    store->endPaint();
}

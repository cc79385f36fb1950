#include "Overlay/OverlayWindow.h"

#include "Base/ResidentPages.h"

#include <QBackingStore>
#include <QImage>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace {

Qt::WindowFlags flagsFor(OverlayWindow::Style style) {
    const Qt::WindowFlags common = Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                   Qt::NoDropShadowWindowHint;
    return style == OverlayWindow::Style::overrideRedirect ? common | Qt::BypassWindowManagerHint
                                                           : common;
}

}  // namespace

OverlayWindow::OverlayWindow(QScreen* screen, Style style)
    : QWidget(nullptr, flagsFor(style)), m_style(style) {
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
    if (m_style == Style::fullScreenToplevel) {
        // The output goes with the fullscreen request, so screen and geometry come first. The
        // window starts one pixel narrower: the compositor's fullscreen configuration then
        // changes its size, so Qt draws and commits a frame for it at once. Without one, sway
        // holds the window (and the other overlays changing with it) for 200 ms.
        QScreen* s = windowHandle()->screen();
        if (s) setGeometry(s->geometry().adjusted(0, 0, -1, 0));
        showFullScreen();
        // A compositor that leaves the size to the client gets the output's size.
        QTimer::singleShot(250, this, [this] {
            QScreen* now = windowHandle()->screen();
            if (isVisible() && now && size() != now->geometry().size())
                setGeometry(now->geometry());
        });
        return;
    }
    show();
    raise();
}

void OverlayWindow::makeKeyAndOrderFront() {
    orderFront();
    // Override-redirect windows are never focused by a window manager: ask X directly. A
    // Wayland compositor decides itself, and may grant the request (xdg-activation).
    activateWindow();
    if (m_content) m_content->setFocus(Qt::ActiveWindowFocusReason);
}

void OverlayWindow::resizeEvent(QResizeEvent*) {
    if (m_content) m_content->setGeometry(rect());
}

void OverlayWindow::releaseBackingStore() {
    QBackingStore* store = backingStore();
    // Showing the window sizes the store to the window again.
    if (store && !isVisible()) store->resize(QSize(1, 1));
}

bool OverlayWindow::hasBackingStoreAtSize() const {
    const QBackingStore* store = backingStore();
    return store && store->size() == size();
}

std::optional<PageRange> OverlayWindow::makeBackingStore() {
    QBackingStore* store = backingStore();
    // A store already at size is ready: its pages were touched when it was made. A window
    // shown but not painted yet gets its store here before Qt paints into it.
    if (!store || hasBackingStoreAtSize()) return std::nullopt;
    store->resize(size());
    const QRegion all(rect());
    std::optional<PageRange> pages;
    store->beginPaint(all);
    // constBits: bits() may detach.
    if (QPaintDevice* device = store->paintDevice();
        device && device->devType() == QInternal::Image) {
        auto* image = static_cast<QImage*>(device);
        pages =
            PageRange{const_cast<uchar*>(image->constBits()), std::size_t(image->sizeInBytes())};
    }
    store->endPaint();
    return pages;
}

void OverlayWindow::prepareBackingStore() {
    // The first frame covers every pixel; the pages only need to be there, which costs about
    // half what faulting them in one by one while painting did.
    if (const auto pages = makeBackingStore()) makePagesResident(pages->data, pages->size);
}

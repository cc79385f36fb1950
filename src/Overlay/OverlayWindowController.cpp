#include "Overlay/OverlayWindowController.h"

#include <vector>

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "Base/ResidentPages.h"
#include "Capture/GlobalSpace.h"
#include "Export/FreshMemory.h"
#include "Overlay/OverlayWindow.h"
#include "Overlay/SelectionView.h"

namespace {

// About 1 MiB of rows at a time: small enough to stay in memory already in use.
constexpr qsizetype firstFrameBandBytes = 1 << 20;

bool isNonEmpty(const std::optional<Rect>& r) {
    return r && !r->isEmpty();
}

}  // namespace

OverlayWindowController::OverlayWindowController(Platform platform, QObject* parent)
    : QObject(parent), m_platform(std::move(platform)) {
    if (!m_platform.pointer) m_platform.pointer = &GlobalSpace::qtPointer;
}

OverlayWindowController::~OverlayWindowController() {
    removeEscapeMonitor();
    qDeleteAll(m_windowPool);
}

void OverlayWindowController::present(const QList<DisplayCapture>& captures,
                                      ExportAction defaultAction) {
    if (!m_sessions.isEmpty()) return;
    m_defaultAction = defaultAction;
    for (const DisplayCapture& capture : captures) {
        OverlayWindow* window = windowFor(capture);
        const Rect frame(0, 0, capture.screen.frame.width(), capture.screen.frame.height());
        auto* view = new SelectionView(frame, capture.image, capture.screen.scale);
        // The view paints the frozen image beneath its own drawing in one pass.
        view->setPaintsFrozenImage(true);
        view->setDefaultAction(defaultAction);
        installCallbacks(view);
        window->setContent(view);
        m_sessions.append({window, view, capture});
    }
    if (m_sessions.isEmpty()) return;
    installEscapeMonitor();
    QList<bool> freshStores;
    for (const Session& s : m_sessions) freshStores.append(!s.window->hasBackingStoreAtSize());
    for (const Session& s : m_sessions) {
        s.window->orderFront();
        if (m_platform.fitToPixels)
            m_platform.fitToPixels(s.window->winId(), s.capture.image.size());
    }
    // Stores at size (captures following each other) paint as quickly as any first frame.
    if (m_platform.showFirstFrame && freshStores.contains(true)) showFirstFrames(freshStores);
    // Wayland tells no client where the pointer is, and the compositor gives the keyboard to
    // the overlay it chooses (the one on the output the user works on); when the pointer enters
    // another overlay, that one asks for the keyboard (see eventFilter).
    if (m_platform.toplevels) return;
    // Only one window is activated: X applies an activation when the window gets mapped, so
    // activating them all in turn would leave the focus with whichever was mapped last.
    const auto index = sessionUnderPointer();
    m_sessions[index.value_or(m_sessions.size() - 1)].window->makeKeyAndOrderFront();
}

OverlayWindow* OverlayWindowController::windowFor(const DisplayCapture& capture) {
    return windowFor(
        GlobalSpace::screenAt(capture.screen.frame),
        GlobalSpace::toQt(capture.screen.frame, GlobalSpace::primaryGeometry()).toAlignedRect());
}

OverlayWindow* OverlayWindowController::windowFor(QScreen* screen, const QRect& geometry) {
    const auto inUse = [this](OverlayWindow* w) {
        return std::any_of(m_sessions.begin(), m_sessions.end(),
                           [w](const Session& s) { return s.window == w; });
    };
    for (OverlayWindow* w : m_windowPool)
        if (!inUse(w) && w->geometry() == geometry && w->screen() == screen) return w;
    // Windows of displays that are gone are not worth keeping: drop the oldest unused one.
    if (m_windowPool.size() >= 8) {
        const auto unused = std::find_if_not(m_windowPool.begin(), m_windowPool.end(), inUse);
        if (unused != m_windowPool.end()) {
            delete *unused;
            m_windowPool.erase(unused);
        }
    }
    auto* window =
        new OverlayWindow(screen, m_platform.toplevels ? OverlayWindow::Style::fullScreenToplevel
                                                       : OverlayWindow::Style::overrideRedirect);
    window->setGeometry(geometry);
    m_windowPool.append(window);
    return window;
}

void OverlayWindowController::showFirstFrames(const QList<bool>& freshStores) {
    // The frames go first: the server handles a connection's requests in order, and making a
    // store has it make a pixmap of the window's size, which can cost it a fault per page.
    for (qsizetype i = 0; i < m_sessions.size(); ++i)
        if (freshStores[i]) showFirstFrame(m_sessions[i]);
    // Then the stores, their pages made ready on two threads, so that Qt's first paint, and the
    // overlays' answer to input, does not stop on each page.
    std::vector<PageRange> pages;
    for (qsizetype i = 0; i < m_sessions.size(); ++i)
        if (freshStores[i])
            if (const auto made = m_sessions[i].window->makeBackingStore()) pages.push_back(*made);
    makePagesResident(pages);
}

void OverlayWindowController::showFirstFrame(const Session& s) {
    // Drawn band by band into one small buffer: no fresh memory the size of the display, which
    // is what makes the store slow.
    const QSize pixels = s.capture.image.size();
    const qreal ratio = s.window->devicePixelRatio();
    const int step = int(ratio);
    // A band's edges fall on whole pixels only at whole scales; otherwise the frame is one band.
    const bool whole = step >= 1 && qFuzzyCompare(ratio, qreal(step));
    const int rowsPerBand =
        whole ? std::max(step,
                         int(firstFrameBandBytes / (qsizetype(pixels.width()) * 4)) / step * step)
              : pixels.height();
    QImage band =
        whole ? QImage(pixels.width(), std::min(rowsPerBand, pixels.height()), QImage::Format_RGB32)
              : freshImage(pixels, QImage::Format_RGB32);
    if (band.isNull()) return;
    band.setDevicePixelRatio(ratio);
    // Where the view's points do not cover every pixel, the rest is black, not stale memory.
    const bool covered = (QSizeF(s.window->size()) * ratio).toSize() == pixels;
    for (int top = 0; top < pixels.height(); top += rowsPerBand) {
        const int rows = std::min(rowsPerBand, pixels.height() - top);
        if (!covered) band.fill(Qt::black);
        const QRectF points(0, top / ratio, pixels.width() / ratio, rows / ratio);
        s.view->render(&band, QPoint(), QRegion(points.toAlignedRect()));
        // The last band may be shorter: the same rows, without a copy.
        const QImage part(band.constBits(), band.width(), rows, band.bytesPerLine(), band.format());
        if (!m_platform.showFirstFrame(s.window->winId(), part, top)) return;
    }
}

void OverlayWindowController::prepareWindows() {
    // Where a first frame can go straight to the screen, the stores are made ready with it.
    if (m_platform.showFirstFrame) return;
    prepareStores();
}

void OverlayWindowController::prepareStores() {
    if (!m_sessions.isEmpty()) return;
    for (QScreen* screen : QGuiApplication::screens())
        windowFor(screen, screen->geometry())->prepareBackingStore();
}

void OverlayWindowController::prewarm() {
    prepareStores();
    if (!m_sessions.isEmpty()) return;
    // One throwaway drawing of a view with a selection loads the fonts and draws the icons.
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::gray);
    SelectionView view(Rect(0, 0, 64, 48), image, 1);
    view.resize(64, 48);
    view.render(&image);
}

void OverlayWindowController::releaseMemory() {
    for (OverlayWindow* w : m_windowPool) {
        const bool inUse = std::any_of(m_sessions.begin(), m_sessions.end(),
                                       [w](const Session& s) { return s.window == w; });
        if (!inUse) w->releaseBackingStore();
    }
}

void OverlayWindowController::installCallbacks(SelectionView* view) {
    QPointer<OverlayWindowController> self(this);
    QPointer<SelectionView> weakView(view);
    view->callbacks.didBeginInteraction = [self, weakView] {
        if (!self || !weakView) return;
        // No window manager focuses an override-redirect window on a click: the display the
        // user works on takes the keyboard itself, so typed text reaches its text field.
        if (QWidget* window = weakView->window(); !window->isActiveWindow())
            window->activateWindow();
        self->clearSelections(weakView);
    };
    view->callbacks.didChangeSelection = [](std::optional<Rect>) {};
    view->callbacks.didCancel = [self, weakView] {
        if (self && weakView) self->cancel();
    };
    view->callbacks.didRequestCompletion = [self, weakView](ExportAction action) {
        if (self && weakView) self->complete(action);
    };
}

void OverlayWindowController::clearSelections(const SelectionView* except) {
    for (const Session& s : m_sessions)
        if (s.view && s.view != except) s.view->clearSelection();
}

void OverlayWindowController::complete(ExportAction action) {
    for (const Session& s : m_sessions) {
        if (!s.view || !isNonEmpty(s.view->selection())) continue;
        const Result result{s.capture, *s.view->selection(), s.view->annotations().items};
        if (onCompleting) onCompleting(result, action);
        dismiss();
        if (onComplete) onComplete(result, action);
        return;
    }
}

void OverlayWindowController::cancel() {
    dismiss();
    if (onCancel) onCancel();
}

void OverlayWindowController::dismiss() {
    removeEscapeMonitor();
    for (const Session& s : m_sessions) {
        if (s.window) s.window->hide();
        // Callbacks often come from inside the view's own event handler.
        if (s.view) s.view->deleteLater();
        if (s.window) s.window->setContent(nullptr);
    }
    m_sessions.clear();
    while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
}

std::optional<qsizetype> OverlayWindowController::sessionUnderPointer() const {
    // The centre of the pointer's pixel decides between two displays sharing an edge.
    const Point pointer = GlobalSpace::fromQt(m_platform.pointer(), GlobalSpace::primaryGeometry());
    for (qsizetype i = 0; i < m_sessions.size(); ++i)
        if (m_sessions[i].capture.screen.frame.contains(pointer)) return i;
    return std::nullopt;
}

SelectionView* OverlayWindowController::firstViewWithSelection() const {
    for (const Session& s : m_sessions)
        if (s.view && isNonEmpty(s.view->selection())) return s.view;
    return nullptr;
}

bool OverlayWindowController::anyViewEditingText() const {
    return std::any_of(m_sessions.begin(), m_sessions.end(),
                       [](const Session& s) { return s.view && s.view->isEditingText(); });
}

void OverlayWindowController::installEscapeMonitor() {
    if (m_monitorInstalled) return;
    qApp->installEventFilter(this);
    m_monitorInstalled = true;
}

void OverlayWindowController::removeEscapeMonitor() {
    if (!m_monitorInstalled) return;
    qApp->removeEventFilter(this);
    m_monitorInstalled = false;
}

bool OverlayWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Enter && m_platform.toplevels) activateEntered(watched);
    // A key event reaches the application filter once per object it is delivered to; look at
    // it only once, where it starts (a window or widget of ours).
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    if (!watched->isWidgetType() && !watched->isWindowType())
        return QObject::eventFilter(watched, event);
    // ShortcutOverride comes first: claiming it keeps menu shortcuts (Ctrl+C...) from taking
    // the keys; the real work happens on the KeyPress that follows.
    const bool act = event->type() == QEvent::KeyPress;
    if (handleKey(static_cast<QKeyEvent*>(event), act)) {
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void OverlayWindowController::activateEntered(QObject* watched) {
    // The pointer entering an overlay is the one place Wayland says which output the user is on.
    for (const Session& s : m_sessions)
        if (s.window && watched == s.window && !s.window->isActiveWindow()) {
            s.window->activateWindow();
            if (s.view) s.view->setFocus(Qt::MouseFocusReason);
        }
}

bool OverlayWindowController::handleKey(QKeyEvent* key, bool act) {
    if (m_sessions.isEmpty()) return false;
    const bool editing = anyViewEditingText();
    if (key->key() == Qt::Key_Escape) {
        if (editing) return false;  // the text field takes its own Escape
        if (act) cancel();
        return true;
    }
    if (key->modifiers().testFlag(Qt::ControlModifier) && !editing &&
        (key->key() == Qt::Key_C || key->key() == Qt::Key_S)) {
        const ExportAction action =
            key->key() == Qt::Key_C ? ExportAction::copy : ExportAction::save;
        if (act)
            if (SelectionView* view = firstViewWithSelection()) view->requestCompletion(action);
        return true;
    }
    // The keypad's Enter is Qt::Key_Enter and is deliberately not handled.
    if (key->key() != Qt::Key_Return || editing) return false;
    if (act)
        if (SelectionView* view = firstViewWithSelection())
            view->requestCompletion(m_defaultAction);
    return true;
}

#include "Overlay/FullScreenHandover.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPainter>
#include <QWindow>

#include "Capture/GlobalSpace.h"
#include "Overlay/OverlayWindow.h"

Q_LOGGING_CATEGORY(handoverLog, "tessik.handover", QtWarningMsg)

namespace {

// The display as it was captured, drawn at the output's own pixels.
class FrozenDisplay final : public QWidget {
public:
    explicit FrozenDisplay(QImage image) : m_image(std::move(image)) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(QRectF(rect()), m_image);
    }

private:
    QImage m_image;
};

}  // namespace

FullScreenHandover::FullScreenHandover() : FullScreenHandover(Timing{}) {
}

FullScreenHandover::FullScreenHandover(Timing timing, QObject* parent)
    : QObject(parent), m_timing(timing) {
    m_grace.setSingleShot(true);
    m_timeout.setSingleShot(true);
    connect(&m_grace, &QTimer::timeout, this, &FullScreenHandover::finish);
    connect(&m_timeout, &QTimer::timeout, this, &FullScreenHandover::finish);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
            &FullScreenHandover::keyboardMoved);
}

FullScreenHandover::~FullScreenHandover() {
    close();
}

void FullScreenHandover::present(const QList<DisplayCapture>& captures, Copy copy) {
    if (isShowing()) finish();
    for (const DisplayCapture& capture : captures) {
        QScreen* screen = GlobalSpace::screenAt(capture.screen.frame);
        if (!screen) continue;
        auto* window = new OverlayWindow(screen, OverlayWindow::Style::fullScreenToplevel);
        window->setContent(new FrozenDisplay(capture.image));
        window->installEventFilter(this);
        m_shown.append({window, capture});
    }
    if (m_shown.isEmpty()) return;
    m_copy = std::move(copy);
    m_entered.reset();
    for (const Shown& s : m_shown) s.window->orderFront();
    m_timeout.start(m_timing.keyboardTimeout);
}

bool FullScreenHandover::eventFilter(QObject* watched, QEvent* event) {
    const bool pointer = event->type() == QEvent::Enter || event->type() == QEvent::MouseMove;
    if (pointer && !m_entered) {
        if (const qsizetype index = indexOf(watched); index >= 0) {
            m_entered = index;
            if (ownWithKeyboard() >= 0) finish();
        }
    }
    return QObject::eventFilter(watched, event);
}

void FullScreenHandover::keyboardMoved(QWindow* window) {
    if (!isShowing() || !window || indexOf(window) < 0) return;
    // The pointer, when it is over one of ours, names the display better than the keyboard.
    if (m_entered)
        finish();
    else if (!m_grace.isActive())
        m_grace.start(m_timing.pointerGrace);
}

void FullScreenHandover::finish() {
    if (!isShowing()) return;
    m_grace.stop();
    m_timeout.stop();
    const qsizetype keyboard = ownWithKeyboard();
    const qsizetype chosen = m_entered.value_or(keyboard >= 0 ? keyboard : 0);
    const DisplayCapture capture = m_shown.value(chosen, m_shown.first()).capture;
    qCDebug(handoverLog, "display %lld chosen (pointer %lld, keyboard %lld)", qlonglong(chosen),
            qlonglong(m_entered.value_or(-1)), qlonglong(keyboard));
    // Taken now, while a window of ours still has the keyboard; closed after.
    if (Copy copy = std::exchange(m_copy, nullptr)) copy(capture);
    close();
}

void FullScreenHandover::close() {
    for (const Shown& s : std::exchange(m_shown, {})) {
        s.window->removeEventFilter(this);
        s.window->hide();
        s.window->deleteLater();
    }
}

qsizetype FullScreenHandover::indexOf(const QObject* window) const {
    for (qsizetype i = 0; i < m_shown.size(); ++i)
        if (m_shown[i].window == window || m_shown[i].window->windowHandle() == window) return i;
    return -1;
}

qsizetype FullScreenHandover::ownWithKeyboard() const {
    return indexOf(QGuiApplication::focusWindow());
}

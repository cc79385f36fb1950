#include "UI/ToastPresenter.h"

#include <cmath>

#include <QGuiApplication>
#include <QScreen>

#include "Capture/GlobalSpace.h"
#include "UI/ToastLayout.h"

namespace {

Rect mainDisplayFrame() {
    const QRectF primary = GlobalSpace::primaryGeometry();
    return primary.isNull() ? Rect() : GlobalSpace::fromQt(primary, primary);
}

}  // namespace

ToastPresenter::ToastPresenter(QObject* parent) : QObject(parent) {
    // Timers run on the monotonic clock.
    m_dismissTimer.setSingleShot(true);
    m_dismissTimer.setTimerType(Qt::PreciseTimer);
    m_dismissTimer.setInterval(visibleMs);
    connect(&m_dismissTimer, &QTimer::timeout, this, &ToastPresenter::dismiss);
    m_fade.setPropertyName("windowOpacity");
    connect(&m_fade, &QPropertyAnimation::finished, this, &ToastPresenter::fadeFinished);
}

ToastPresenter::~ToastPresenter() = default;

void ToastPresenter::show(const QString& message, const ScreenDescriptor& screen) {
    show(message, std::optional<ScreenDescriptor>(screen));
}

void ToastPresenter::showOnMainDisplay(const QString& message) {
    show(message, std::nullopt, mainDisplayVisibleMs);
}

void ToastPresenter::show(const QString& message, std::optional<ScreenDescriptor> screen,
                          int visibleFor) {
    m_dismissTimer.stop();
    m_fade.stop();
    m_fadingOut = false;
    if (!m_panel) {
        m_panel = std::make_unique<ToastPanel>();
        m_fade.setTargetObject(m_panel.get());
    }
    m_panel->setMessage(message);

    const Rect display = screen ? screen->frame : mainDisplayFrame();
    const Rect frame = ToastLayout::panelFrame(ToastLayout::labelSize(message), display);
    const QRectF qt = GlobalSpace::toQt(frame, GlobalSpace::primaryGeometry());
    m_panel->setGeometry(int(std::lround(qt.x())), int(std::lround(qt.y())),
                         int(std::lround(qt.width())), int(std::lround(qt.height())));
    m_panel->setWindowOpacity(0);
    m_panel->show();
    m_panel->raise();

    m_fade.setDuration(fadeInMs);
    m_fade.setStartValue(0.0);
    m_fade.setEndValue(1.0);
    m_fade.start();
    m_dismissTimer.start(visibleFor);
}

void ToastPresenter::dismiss() {
    if (!m_panel) return;
    m_fadingOut = true;
    m_fade.stop();
    m_fade.setDuration(fadeOutMs);
    m_fade.setStartValue(m_panel->windowOpacity());
    m_fade.setEndValue(0.0);
    m_fade.start();
}

void ToastPresenter::fadeFinished() {
    if (!m_fadingOut) return;
    m_fadingOut = false;
    m_panel->hide();
}

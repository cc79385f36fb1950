#include "Platform/ScreenScales.h"

#include <QGuiApplication>
#include <QScreen>

namespace {

void watch(QScreen* screen, const std::function<void()>& refresh) {
    QObject::connect(screen, &QScreen::geometryChanged, qGuiApp, refresh);
    QObject::connect(screen, &QScreen::physicalDotsPerInchChanged, qGuiApp, refresh);
}

}  // namespace

std::shared_ptr<ScreenScales> ScreenScales::tracking() {
    auto scales = std::make_shared<ScreenScales>();
    scales->refresh();
    if (!qGuiApp) return scales;
    // Connected before anything that reacts to a display change, so those see the new scales.
    std::weak_ptr<ScreenScales> weak = scales;
    const std::function<void()> refresh = [weak] {
        if (auto s = weak.lock()) s->refresh();
    };
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, qGuiApp, [refresh](QScreen* s) {
        watch(s, refresh);
        refresh();
    });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, qGuiApp, refresh);
    QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, qGuiApp, refresh);
    for (QScreen* s : QGuiApplication::screens()) watch(s, refresh);
    return scales;
}

void ScreenScales::refresh() {
    QHash<QString, double> scales;
    for (const QScreen* s : QGuiApplication::screens())
        scales.insert(s->name(), s->devicePixelRatio());
    set(std::move(scales));
}

void ScreenScales::set(QHash<QString, double> scales) {
    QMutexLocker lock(&m_mutex);
    m_scales = std::move(scales);
}

std::optional<double> ScreenScales::scale(const QString& screenName) const {
    QMutexLocker lock(&m_mutex);
    const auto it = m_scales.constFind(screenName);
    if (it == m_scales.constEnd()) return std::nullopt;
    return *it;
}

#include "Platform/Wayland/WaylandOutputs.h"

#include <QGuiApplication>
#include <QScreen>

std::shared_ptr<WaylandOutputs> WaylandOutputs::tracking() {
    auto outputs = std::make_shared<WaylandOutputs>();
    outputs->refresh();
    if (!qGuiApp) return outputs;
    std::weak_ptr<WaylandOutputs> weak = outputs;
    const auto refresh = [weak] {
        if (auto o = weak.lock()) o->refresh();
    };
    const auto watch = [refresh](QScreen* s) {
        QObject::connect(s, &QScreen::geometryChanged, qGuiApp, refresh);
    };
    // Connected before anything that reacts to a display change, so those see the new layout.
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, qGuiApp, [watch, refresh](QScreen* s) {
        watch(s);
        refresh();
    });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, qGuiApp, refresh);
    for (QScreen* s : QGuiApplication::screens()) watch(s);
    return outputs;
}

void WaylandOutputs::refresh() {
    QList<QPair<QString, QRect>> outputs;
    for (const QScreen* s : QGuiApplication::screens()) outputs.append({s->name(), s->geometry()});
    set(outputs);
}

void WaylandOutputs::set(const QList<QPair<QString, QRect>>& outputs) {
    QList<WaylandOutput> list;
    for (const auto& [name, geometry] : outputs) list.append({idForName(name), name, geometry});
    QMutexLocker lock(&m_mutex);
    m_outputs = std::move(list);
}

quint32 WaylandOutputs::idForName(const QString& name) {
    QMutexLocker lock(&m_mutex);
    const auto it = m_ids.constFind(name);
    if (it != m_ids.constEnd()) return *it;
    const quint32 id = quint32(m_ids.size()) + 1;
    m_ids.insert(name, id);
    return id;
}

QList<WaylandOutput> WaylandOutputs::snapshot() const {
    QMutexLocker lock(&m_mutex);
    return m_outputs;
}

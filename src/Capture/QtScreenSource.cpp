#include "Capture/QtScreenSource.h"

#include <QGuiApplication>
#include <QScreen>

#include "Capture/GlobalSpace.h"

namespace {

// Primary first, then the others in Qt's order.
QList<QScreen*> orderedScreens() {
    QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary && screens.removeOne(primary)) screens.prepend(primary);
    return screens;
}

}  // namespace

QtScreenSource::QtScreenSource(DisplayIdLookup lookup, GlobalSpace::PointerLocator pointer)
    : m_lookup(std::move(lookup)),
      m_pointer(pointer ? std::move(pointer)
                        : GlobalSpace::PointerLocator(&GlobalSpace::qtPointer)) {
}

std::optional<ScreenDescriptor> QtScreenSource::descriptor(const QScreen* screen) const {
    if (!screen || !m_lookup) return std::nullopt;
    const auto id = m_lookup(screen->name());
    if (!id) return std::nullopt;
    return ScreenDescriptor{
        *id, GlobalSpace::fromQt(QRectF(screen->geometry()), GlobalSpace::primaryGeometry()),
        screen->devicePixelRatio()};
}

QList<ScreenDescriptor::Entry> QtScreenSource::entries() const {
    QList<ScreenDescriptor::Entry> list;
    const QRectF primary = GlobalSpace::primaryGeometry();
    for (QScreen* s : orderedScreens())
        list.append({GlobalSpace::fromQt(QRectF(s->geometry()), primary), descriptor(s)});
    return list;
}

QList<ScreenDescriptor> QtScreenSource::all() const {
    QList<ScreenDescriptor> list;
    for (const auto& e : entries())
        if (e.descriptor) list.append(*e.descriptor);
    return list;
}

std::optional<ScreenDescriptor> QtScreenSource::underMouse() const {
    const QList<ScreenDescriptor::Entry> list = entries();
    // The main display (the one with keyboard focus) is the primary one here; without any
    // screen there is no main display.
    const std::optional<qsizetype> main =
        list.isEmpty() ? std::nullopt : std::optional<qsizetype>(0);
    // The centre of the pointer's pixel: the first row of a display stacked below another
    // belongs to the lower one, as it does on screen.
    const QPointF pointer = m_pointer();
    return ScreenDescriptor::under(GlobalSpace::fromQt(pointer, GlobalSpace::primaryGeometry()),
                                   list, main);
}

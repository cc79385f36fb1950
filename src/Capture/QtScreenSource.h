#pragma once

#include <functional>
#include <optional>

#include <QString>

#include "Capture/GlobalSpace.h"
#include "Capture/ScreenSource.h"

class QScreen;

// The display list from Qt's screens. A screen's display id comes from the platform by the
// screen's name; a screen without one has no descriptor. The display under the mouse is the one
// holding the pointer's pixel, as the platform locates it (Qt's own pointer by default).
class QtScreenSource : public ScreenSource {
public:
    using DisplayIdLookup = std::function<std::optional<quint32>(const QString& screenName)>;

    explicit QtScreenSource(DisplayIdLookup lookup, GlobalSpace::PointerLocator pointer = {});

    QList<ScreenDescriptor> all() const override;
    std::optional<ScreenDescriptor> underMouse() const override;

    std::optional<ScreenDescriptor> descriptor(const QScreen* screen) const;

private:
    QList<ScreenDescriptor::Entry> entries() const;
    DisplayIdLookup m_lookup;
    GlobalSpace::PointerLocator m_pointer;
};

#include "Capture/ScreenDescriptor.h"

std::optional<ScreenDescriptor> ScreenDescriptor::under(Point point, const QList<Entry>& screens,
                                                        std::optional<qsizetype> mainIndex) {
    for (const Entry& e : screens)
        if (e.frame.contains(point)) return e.descriptor;
    if (mainIndex && *mainIndex >= 0 && *mainIndex < screens.size())
        return screens[*mainIndex].descriptor;
    return std::nullopt;
}

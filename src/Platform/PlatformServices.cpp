#include "Platform/PlatformServices.h"

PlatformServices makePlatformServices(SessionKind kind) {
    return kind == SessionKind::wayland ? makeWaylandServices() : makeX11Services();
}

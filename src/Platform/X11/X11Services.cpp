#include "Capture/QtScreenSource.h"
#include "Export/PendingImageMimeData.h"
#include "Platform/DesktopPermissionService.h"
#include "Platform/GlobalShortcutsPlatform.h"
#include "Platform/PlatformServices.h"
#include "Platform/ScreenScales.h"
#include "Platform/X11/RandrMonitors.h"
#include "Platform/X11/X11ClipboardServer.h"
#include "Platform/X11/X11DisplaySource.h"
#include "Platform/X11/X11FirstFrame.h"
#include "Platform/X11/X11Pixels.h"

PlatformServices makeX11Services() {
    PlatformServices s;
    s.screens = std::make_unique<QtScreenSource>(&RandrMonitors::idForName, &X11Pixels::pointer);
    auto scales = ScreenScales::tracking();
    s.displaySource = std::make_unique<X11DisplaySource>(
        [scales](const QString& name) { return scales->scale(name); });
    s.permissions = std::make_unique<DesktopPermissionService>();
    s.pointer = &X11Pixels::pointer;
    s.fitWindowToPixels = &X11Pixels::fitWindow;
    s.showFirstFrame = &X11FirstFrame::show;
    s.installGlobalShortcuts = &installGlobalShortcutsPlatform;
    s.clipboardServer = X11ClipboardServer::start(&PendingImageMimeData::onClipboard);
    return s;
}

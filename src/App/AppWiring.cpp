#include "App/AppWiring.h"

#include "Capture/QtScreenSource.h"
#include "Platform/DesktopPermissionService.h"
#include "Platform/RandrMonitors.h"
#include "Settings/Preferences.h"

AppServices makeProductionServices() {
    AppServices s;
    s.preferences = &Preferences::shared();
    s.permissions = std::make_unique<DesktopPermissionService>();
    s.screens = std::make_unique<QtScreenSource>(&RandrMonitors::idForName);
    return s;
}

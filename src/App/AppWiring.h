#pragma once

#include "App/AppServices.h"
#include "Platform/PlatformServices.h"

// The real services of a desktop session, wired by hand around the session's platform services.
AppServices makeProductionServices(PlatformServices platform);

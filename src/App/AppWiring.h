#pragma once

#include "App/AppServices.h"

// The real services of a desktop session, wired by hand.
AppServices makeProductionServices();

// The product's name and version as the plug-in shows them: in the tray tooltip, the
// configuration dialog and the %PluginVersion% tag. Constants only; any folder may include it.
#pragma once

#include "version.h"

constexpr char kProductName[] = "Tunecrier";
constexpr char kPluginVersionText[] = TUNECRIER_SHORT_VERSION;

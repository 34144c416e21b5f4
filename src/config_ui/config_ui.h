// The configuration dialog (and the volume dialog it opens), run modally by config.
#pragma once

#include <windows.h>

// Runs the configuration dialog owned by `owner`; IDOK after the settings were saved.
INT_PTR RunConfigDialog(HWND owner);

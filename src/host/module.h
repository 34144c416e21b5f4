// The module's context: the player's main window and this DLL's module handle, as the player
// wrote them into the header record before init. Both live as long as the module and may be
// read from any thread. The entry (src/plugin), which owns the header record, defines them.
#pragma once

#include <windows.h>

HWND HostWindow();
HINSTANCE PluginModule();

// The module's context: the player's main window and this DLL's module handle, as the player
// wrote them into the header record before init. Both live as long as the module and may be
// read from any thread. The entry (src/plugin), which owns the header record, defines them.
// Also a reference on the module, for code that must outlive the player's FreeLibrary.
#pragma once

#include <windows.h>

HWND HostWindow();
HINSTANCE PluginModule();

// A reference on this module, which the player's FreeLibrary cannot take away: FreeLibrary
// drops it again. `flags` may add GET_MODULE_HANDLE_EX_FLAG_PIN (the module then stays for the
// life of the process) or GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT (the handle alone, no
// reference). Null on failure.
inline HMODULE HoldModule(DWORD flags) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | flags,
                          reinterpret_cast<LPCWSTR>(&HoldModule), &module))
    return nullptr;
  return module;
}

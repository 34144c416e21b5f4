// The plug-in's face to the player and the state its folders share.
//
// The player loads the DLL, calls winampGetGeneralPurposePlugin for the PluginHeader, fills in
// its window and our module handle, then calls init; config whenever the user asks; quit once
// before it unloads us. Everything here lives as long as the module and is touched only on the
// player's window thread (the speech worker reads HostWindow() alone).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "version.h"

// The record the player reads through the export. Its layout is the player's: seven 32-bit
// fields, cdecl entry points.
struct PluginHeader {
  int version;
  const char* description;
  int(__cdecl* init)();
  void(__cdecl* config)();
  void(__cdecl* quit)();
  HWND hostWindow;      // filled by the player before init
  HINSTANCE module;     // filled by the player before init
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(PluginHeader) == 28, "the player reads seven 32-bit fields");
static_assert(offsetof(PluginHeader, description) == 4);
static_assert(offsetof(PluginHeader, init) == 8);
static_assert(offsetof(PluginHeader, config) == 12);
static_assert(offsetof(PluginHeader, quit) == 16);
static_assert(offsetof(PluginHeader, hostWindow) == 20);
static_assert(offsetof(PluginHeader, module) == 24);
#endif

constexpr int kPluginHeaderVersion = 0x10;
constexpr char kPluginDescription[] =
    "Tunecrier v" TUNECRIER_SHORT_VERSION " [gen_tunecrier.dll]";
constexpr char kPluginVersionText[] = TUNECRIER_SHORT_VERSION;
constexpr char kProductName[] = "Tunecrier";

extern "C" __declspec(dllexport) PluginHeader* __cdecl winampGetGeneralPurposePlugin();

// The player's main window and our own module, straight from the header.
HWND HostWindow();
HINSTANCE PluginModule();

// Set by QueryHostVersion at init and config: 0x5000 for 5.0, and its display form "5.00".
extern unsigned HostVersion;
extern std::string HostVersionText;

// Titles of the update cycle. CurrentTitle is the song title the formatters show;
// LastTitle the player's whole window title at the last announcement (empty: announce
// whatever plays next); PopupText the text of the last popup.
extern std::string CurrentTitle;
extern std::string LastTitle;
extern std::string PopupText;

// Shared by the lifecycle (plugin.cpp) and the update cycle (update.cpp).
extern bool PollingMode;
extern WNDPROC PreviousHostProc;
extern UINT OutputUpdatedMessage;
extern UINT_PTR UpdateTimer;
extern std::string TemplateText;
extern std::string NotPlayingText;
extern bool NotPlayingWritten;

// Update timers on HostWindow(), all served by RunUpdate.
constexpr UINT_PTR kNotificationTimer = 0;   // 10 ms after the player's playing notification
constexpr UINT_PTR kFirstRetryTimer = 1;     // 200 ms retries while the track length is unknown
constexpr UINT_PTR kLastRetryTimer = 10;
constexpr UINT_PTR kPollingTimer = 11;       // every PollingInterval seconds, players before 5.0
constexpr UINT kNotificationDelayMs = 10;
constexpr UINT kRetryDelayMs = 200;
constexpr unsigned kFirstNotifyingVersion = 0x5000;  // players from 5.0 notify; older ones are polled
constexpr char kOutputUpdatedMessageName[] = "TunecrierOutputFileUpdated";

void CALLBACK RunUpdate(HWND window, UINT message, UINT_PTR timer, DWORD time);
LRESULT CALLBACK HostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Runs f and returns its result; a C++ exception (an allocation that failed, most likely) is
// kept inside and `fallback` returned instead. Every entry the player or the system calls goes
// through here, so nothing ever throws into them.
template <class F, class R>
R Guarded(F f, R fallback) noexcept {
  try {
    return f();
  } catch (...) {
    return fallback;
  }
}

template <class F>
void Guarded(F f) noexcept {
  try {
    f();
  } catch (...) {
  }
}

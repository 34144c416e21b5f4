// The entry's own state, shared by the lifecycle (plugin.cpp) and the update cycle (update.cpp).
// Only src/plugin includes this header: the subsystems get what they need as arguments.
//
// The player loads the DLL, calls winampGetGeneralPurposePlugin for the PluginHeader, fills in
// its window and our module handle, then calls init; config whenever the user asks; quit once
// before it unloads us. Everything here lives as long as the module and is touched only on the
// player's window thread.
#pragma once

#include <windows.h>

#include <string>

#include "host/host.h"
#include "output/output.h"
#include "settings/settings.h"
#include "version.h"

constexpr char kPluginDescription[] =
    "Tunecrier v" TUNECRIER_SHORT_VERSION " [gen_tunecrier.dll]";

extern "C" __declspec(dllexport) PluginHeader* __cdecl winampGetGeneralPurposePlugin();

// The settings in use, the INI file they came from (chosen by FindIniPath at init, checked
// again at config) and the output target made from them; the record and the target set at
// init and after the dialog's OK.
extern SettingsRecord Settings;
extern std::string IniPath;
extern OutputTarget Output;

// The INI file the settings are read from and saved to (settings_file.cpp): `inUse` while
// this user can write it (empty at init), else ModuleDir + kIniFileName where this user can
// write that, else the one in the player's settings folder. `hostVersion` says which of the
// player's requests for that folder it has.
std::string FindIniPath(unsigned hostVersion, const std::string& inUse);

// Set by QueryHostVersion at init and config: 0x5000 for 5.0, and its display form "5.00".
extern unsigned HostVersion;
extern std::string HostVersionText;

// Titles of the update cycle. CurrentTitle is the song title the formatters show;
// LastTitle the player's whole window title at the last announcement (empty: announce
// whatever plays next); PopupText the text of the last popup.
extern std::string CurrentTitle;
extern std::string LastTitle;
extern std::string PopupText;

extern bool PollingMode;
// The procedure our hook replaced, and whether the player's window was a Unicode window then:
// the hook is installed, passes messages on and is taken out with the functions of that kind.
extern WNDPROC PreviousHostProc;
extern bool HostWindowUnicode;
// On from quit until the next init: the hook passes every message straight on.
extern bool HasQuit;
extern UINT OutputUpdatedMessage;
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
// Players from 5.0 notify and format titles; older ones are polled and get the expander.
constexpr unsigned kFirstNotifyingVersion = 0x5000;
constexpr char kOutputUpdatedMessageName[] = "TunecrierOutputFileUpdated";

// Update timers are set and killed only through these, which remember the ids armed: SetTimer's
// answer is not the id, and the player may own timers of the same numbers.
void ArmUpdate(UINT_PTR timer, UINT delayMs);
void KillUpdate(UINT_PTR timer);
void KillArmedUpdates();

void CALLBACK RunUpdate(HWND window, UINT message, UINT_PTR timer, DWORD time);
LRESULT CALLBACK HostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

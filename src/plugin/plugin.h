// The entry's own state, shared by the lifecycle (plugin.cpp) and the update cycle (update.cpp).
// Only src/plugin includes this header: the subsystems get what they need as arguments.
//
// The player loads the DLL, calls winampGetGeneralPurposePlugin for the PluginHeader, fills in
// its window and our module handle, then calls init; config whenever the user asks; quit once
// before it unloads us. Everything here lives as long as the module and is touched only on the
// player's window thread.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "host/host.h"
#include "output/output.h"
#include "settings/settings.h"

extern "C" __declspec(dllexport) PluginHeader* __cdecl winampGetGeneralPurposePlugin();

// The settings in use and the output target made from them, set at init and after the
// dialog's OK.
extern SettingsRecord Settings;
extern OutputTarget Output;

// Set by QueryHostVersion at init and config: 0x5000 for 5.0, and its display form "5.00".
extern unsigned HostVersion;
extern std::string HostVersionText;

// Titles of the update cycle. CurrentTitle is the song title the formatters show;
// LastTitle the player's whole window title at the last announcement (empty: announce
// whatever plays next); PopupText the text of the last popup.
extern std::string CurrentTitle;
extern std::string LastTitle;
extern std::string PopupText;

// The procedure our hook replaced, and whether the player's window was a Unicode window then:
// the hook is installed, passes messages on and is taken out with the functions of that kind.
extern WNDPROC PreviousHostProc;
extern bool HostWindowUnicode;
// On from quit until the next init: the hook passes every message straight on.
extern bool HasQuit;
// How many calls of the hook are on the player's stack: a quit inside one returns into this
// module, which must then stay mapped.
extern int HookDepth;
// Set by the hook on every message it sees: init sends a message that does nothing to find out
// whether the hook is still in the player's chain.
extern bool HookRan;
// The registered message broadcast after each write of the output file.
extern UINT OutputUpdatedMessage;
// The template and "Not Playing" files' texts, read at init and after the dialog's OK.
extern std::string TemplateText;
extern std::string NotPlayingText;
// The "Not Playing" text is the output's last write: not written again until a track plays.
extern bool NotPlayingWritten;

// Update timers on HostWindow(), all served by the update cycle's timer procedure.
constexpr UINT_PTR kNotificationTimer = 0;   // 10 ms after the player's playing notification
constexpr UINT_PTR kFirstRetryTimer = 1;     // 200 ms retries while the track length is unknown,
constexpr UINT_PTR kLastRetryTimer = 10;     // each on the id after the one before
constexpr UINT_PTR kPollingTimer = 11;       // every PollingInterval seconds, players before 5.0
constexpr UINT kNotificationDelayMs = 10;
constexpr UINT kRetryDelayMs = 200;

// Update timers are set and killed only through these, which remember the ids armed: SetTimer's
// answer is not the id, and the player may own timers of the same numbers.
void ArmUpdate(UINT_PTR timer, UINT delayMs);
void KillArmedUpdates();

// Puts `cover` (none: the CoverArtMissing image, or no file at all) into the cover file, unless
// the file was made so last time. Nothing without a cover file.
void PutCover(std::optional<std::string> cover);
// The next PutCover writes whatever it is given: the file may have changed since the last run.
void ForgetCoverWrite();

LRESULT CALLBACK HostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

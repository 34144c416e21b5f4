// The player's public interface, spelled by the player: the requests its main window answers,
// the commands it obeys, and the records it exchanges with plug-ins, under the names the
// player's own headers give them (IPC_*, WINAMP_BUTTON*, the records' type and field names).
// Values the player documents but does not name (play states, request modes) get names of
// ours. Nothing here comes from the plug-in: the simulator and the plug-in agree only where
// both are right.
//
// Requests are grouped by subject; where the player has an ANSI and a wide form of a request
// or record, both belong in the same group, the wide one after.
#pragma once

#include <windows.h>

#include <cstddef>

namespace sim {

// --- Requests: WM_USER to the main window, the request in lParam, its argument in wParam ---

// The player.
constexpr LPARAM IPC_GETVERSION = 0;  // 0x50yx for 5.yx, 0x20yx for 2.yx

// Playback.
constexpr LPARAM IPC_ISPLAYING = 104;
constexpr LPARAM IPC_GETOUTPUTTIME = 105;
constexpr LPARAM IPC_SETVOLUME = 122;
constexpr LPARAM IPC_GETINFO = 126;

// The playlist.
constexpr LPARAM IPC_GETLISTLENGTH = 124;
constexpr LPARAM IPC_GETLISTPOS = 125;
constexpr LPARAM IPC_GETPLAYLISTFILE = 211;  // answers a char* the player owns, or 0
constexpr LPARAM IPC_GETPLAYLISTFILEW = 214;  // answers a wchar_t* the player owns, or 0

// Metadata of a file: wParam points to an extendedFileInfoStruct. The hookable form may be
// answered by other plug-ins first.
constexpr LPARAM IPC_GET_EXTENDED_FILE_INFO = 290;
constexpr LPARAM IPC_GET_EXTENDED_FILE_INFO_HOOKABLE = 296;
// The same in UTF-16: wParam points to an extendedFileInfoStructW.
constexpr LPARAM IPC_GET_EXTENDED_FILE_INFOW = 3026;
constexpr LPARAM IPC_GET_EXTENDED_FILE_INFOW_HOOKABLE = 3027;

// Title formatting: wParam points to a waFormatTitle.
constexpr LPARAM IPC_FORMAT_TITLE = 297;
// The same in UTF-16, for a file: wParam points to a waFormatTitleExtended.
constexpr LPARAM IPC_FORMAT_TITLE_EXTENDED = 298;

// The folder the player keeps its own settings (winamp.ini) in: answers a char* (2.9 and
// later) or a wchar_t* (5.58 and later) the player owns.
constexpr LPARAM IPC_GETINIDIRECTORY = 335;
constexpr LPARAM IPC_GETINIDIRECTORYW = 1335;

// The service manager (5.5 and later; older players answer 1, as to any request they do not
// know): see album_art.h.
constexpr LPARAM IPC_GET_API_SERVICE = 3025;

// Notifications the player sends its own window (where plug-ins that subclass it see them).
// A file has started playing (5.0 and later); wParam is its path, a char* the player owns.
constexpr LPARAM IPC_PLAYING_FILE = 3003;

// --- Answers and modes the player documents without naming them ---------------------------

// IPC_ISPLAYING answers.
constexpr int kStopped = 0;
constexpr int kPlaying = 1;
constexpr int kPaused = 3;

// IPC_GETOUTPUTTIME modes (wParam) and its answer when it does not know.
constexpr WPARAM kOutputPositionMs = 0;
constexpr WPARAM kOutputLengthSeconds = 1;
constexpr WPARAM kOutputLengthMs = 2;
constexpr LRESULT kUnknownTime = -1;

// IPC_SETVOLUME: this wParam asks for the volume (0 to 255) instead of setting it.
constexpr WPARAM kQueryVolume = static_cast<WPARAM>(-666);

// IPC_GETINFO modes (wParam).
constexpr WPARAM kInfoSampleRateKhz = 0;
constexpr WPARAM kInfoBitrate = 1;
constexpr WPARAM kInfoChannels = 2;

// --- Commands: WM_COMMAND to the main window, the id in wParam, lParam 0 ---------------------

constexpr WPARAM WINAMP_FILE_QUIT = 40001;  // Exit: the simulator leaves it to onMessage
constexpr WPARAM WINAMP_BUTTON2 = 40045;  // Play: the current track from its beginning
constexpr WPARAM WINAMP_BUTTON3 = 40046;  // Pause: pauses a playing track, resumes a paused one
constexpr WPARAM WINAMP_BUTTON4 = 40047;  // Stop

// --- Records ----------------------------------------------------------------------------------

// IPC_GET_EXTENDED_FILE_INFO(_HOOKABLE): the player writes field `metadata` of `filename` into
// `ret` and answers non-zero when it knows the field.
struct extendedFileInfoStruct {
  const char* filename;
  const char* metadata;
  char* ret;
  size_t retlen;
};

// IPC_GET_EXTENDED_FILE_INFOW(_HOOKABLE): as above, in UTF-16; retlen counts characters.
struct extendedFileInfoStructW {
  const wchar_t* filename;
  const wchar_t* metadata;
  wchar_t* ret;
  size_t retlen;
};

// IPC_FORMAT_TITLE: the player formats `spec` into `out`, asking TAGFUNC for each field it
// meets (0: not known) and handing every answer back to TAGFREEFUNC once it is done.
struct waFormatTitle {
  char* spec;  // null: the player's own title format
  void* p;     // passed to both callbacks
  char* out;
  int out_len;
  char*(__cdecl* TAGFUNC)(const char* tag, void* p);
  void(__cdecl* TAGFREEFUNC)(char* tag, void* p);
};

// IPC_FORMAT_TITLE_EXTENDED: as IPC_FORMAT_TITLE, in UTF-16, for `filename`, whose own
// metadata the player may use for fields TAGFUNC does not know when useExtendedInfo is set.
struct waFormatTitleExtended {
  const wchar_t* filename;
  int useExtendedInfo;
  const wchar_t* spec;  // null: the player's own title format
  void* p;
  wchar_t* out;
  int out_len;
  wchar_t*(__cdecl* TAGFUNC)(const wchar_t* tag, void* p);
  void(__cdecl* TAGFREEFUNC)(wchar_t* tag, void* p);
};

// What a general purpose plug-in's export winampGetGeneralPurposePlugin returns. The player
// fills in hwndParent and hDllInstance, then calls init; config on the user's request; quit
// once before it unloads the DLL.
constexpr int GPPHDR_VER = 0x10;
struct winampGeneralPurposePlugin {
  int version;  // GPPHDR_VER
  char* description;
  int(__cdecl* init)();  // 0 on success
  void(__cdecl* config)();
  void(__cdecl* quit)();
  HWND hwndParent;
  HINSTANCE hDllInstance;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(extendedFileInfoStruct) == 16);
static_assert(sizeof(waFormatTitle) == 24);
static_assert(sizeof(extendedFileInfoStructW) == 16);
static_assert(sizeof(waFormatTitleExtended) == 32);
static_assert(sizeof(winampGeneralPurposePlugin) == 28, "seven 32-bit fields");
static_assert(offsetof(winampGeneralPurposePlugin, hwndParent) == 20);
static_assert(offsetof(winampGeneralPurposePlugin, hDllInstance) == 24);
#endif

}  // namespace sim

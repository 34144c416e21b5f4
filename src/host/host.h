// The player's contract as the plug-in sees it: the header record the player reads through the
// export, the request numbers and records, and typed requests. Every request is WM_USER sent
// synchronously to the player's main window with the argument in wParam and the request number
// in lParam; the answer is the message's result. This is the only file of the plug-in that
// spells the player's message numbers and records, but for services.h, which spells those of
// the service objects that kApiService leads to.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>

#include "host/module.h"

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

namespace host {

// Request numbers (lParam of WM_USER).
constexpr LPARAM kVersion = 0;
constexpr LPARAM kPlayState = 104;
constexpr LPARAM kTrackLength = 105;
constexpr LPARAM kVolume = 122;
constexpr LPARAM kPlaylistLength = 124;
constexpr LPARAM kPlaylistPosition = 125;
constexpr LPARAM kPlaybackInfo = 126;
constexpr LPARAM kFileName = 211;
constexpr LPARAM kExtendedInfoAlbum = 290;
constexpr LPARAM kExtendedInfo = 296;
constexpr LPARAM kFormatTitle = 297;
constexpr LPARAM kIniDirectory = 335;
constexpr LPARAM kIniDirectoryWide = 1335;
constexpr LPARAM kPlayingNotification = 3003;  // the player sends it itself when a file starts
constexpr LPARAM kApiService = 3025;  // the service manager (5.5 and later), see services.h

// Wide forms of 211, 290, 296 and 297: the same answers in UTF-16.
constexpr LPARAM kFileNameWide = 214;
constexpr LPARAM kExtendedInfoWide = 3026;          // as 290
constexpr LPARAM kExtendedInfoWideHookable = 3027;  // as 296
constexpr LPARAM kFormatTitleWide = 298;

// The wide requests came with the 5.x line, not all in the same release. They are sent from 5.0
// on: a 5.x player that predates one answers it as any request it does not know, with 1 and
// nothing written, and every caller then falls back to the ANSI request. Players before 5.0
// predate them all and are never asked; 1335 is asked only from 5.58, which brought it.
constexpr unsigned kFirstWideFileNameVersion = 0x5000;
constexpr unsigned kFirstWideInfoVersion = 0x5000;
constexpr unsigned kFirstWideFormatVersion = 0x5000;
constexpr unsigned kFirstWideIniDirectoryVersion = 0x5058;

constexpr WPARAM kQueryVolume = static_cast<WPARAM>(-666);
constexpr WPARAM kTrackLengthSeconds = 1;
constexpr WPARAM kSampleRateInfo = 0;   // kHz
constexpr WPARAM kBitrateInfo = 1;
constexpr WPARAM kChannelsInfo = 2;

// Commands (wParam of WM_COMMAND, lParam 0).
constexpr WPARAM kPauseCommand = 40046;
constexpr WPARAM kPlayCommand = 40045;

// Play states answered to kPlayState.
constexpr int kStopped = 0;
constexpr int kPlaying = 1;
constexpr int kPaused = 3;

constexpr int kUnknownLength = -1;

// The first players that answer kIniDirectory; older ones are not asked.
constexpr unsigned kFirstIniDirectoryVersion = 0x2900;
// The first players that answer kExtendedInfo and kExtendedInfoAlbum; older ones give playback
// information only.
constexpr unsigned kFirstExtendedInfoVersion = 0x2900;
// The first players that send kPlayingNotification and answer kFormatTitle; older ones are
// polled, and their announcements go through the plug-in's own expander.
constexpr unsigned kFirstNotifyingVersion = 0x5000;

// Request 290/296: one metadata field of a file. Four 32-bit fields on the player's side.
struct ExtendedInfoRequest {
  const char* fileName;
  const char* field;
  char* answer;
  int answerSize;
};

// Request 297: the player formats `format`, asking `tag` for each field it meets.
using TagCallback = char*(__cdecl*)(char* tag, void* context);
using ReleaseCallback = void(__cdecl*)(char* value, void* context);
struct TitleFormatRequest {
  char* format;
  void* context;
  char* out;
  int outSize;
  TagCallback tag;
  ReleaseCallback release;
};

// Request 3026/3027: as 290/296, wide; the answer's size is counted in characters.
struct ExtendedInfoRequestW {
  const wchar_t* fileName;
  const wchar_t* field;
  wchar_t* answer;
  std::size_t answerChars;
};

// Request 298: as 297, wide, for a file whose own metadata the player may use besides our
// tags (useExtendedInfo).
using TagCallbackW = wchar_t*(__cdecl*)(const wchar_t* tag, void* context);
using ReleaseCallbackW = void(__cdecl*)(wchar_t* value, void* context);
struct TitleFormatRequestW {
  const wchar_t* fileName;
  int useExtendedInfo;
  const wchar_t* format;
  void* context;
  wchar_t* out;
  int outChars;
  TagCallbackW tag;
  ReleaseCallbackW release;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ExtendedInfoRequest) == 16);
static_assert(sizeof(TitleFormatRequest) == 24);
static_assert(sizeof(ExtendedInfoRequestW) == 16);
static_assert(sizeof(TitleFormatRequestW) == 32);
static_assert(offsetof(TitleFormatRequestW, format) == 8);
static_assert(offsetof(TitleFormatRequestW, outChars) == 20);
static_assert(offsetof(TitleFormatRequestW, release) == 28);
#endif

// The longest text taken from a pointer the player answers: the longest path Windows knows.
constexpr std::size_t kLongestAnswerChars = 32767;

// The end of the committed region of memory that `at` lies in when this process may read it
// with protections among `allowed`; null when it may not.
inline const char* AccessibleEnd(const void* at, DWORD allowed) {
  MEMORY_BASIC_INFORMATION region;
  if (!VirtualQuery(at, &region, sizeof region) || region.State != MEM_COMMIT ||
      (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) || !(region.Protect & allowed))
    return nullptr;
  return static_cast<const char*>(region.BaseAddress) + region.RegionSize;
}
constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD kRunnable = PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// Whether all `size` bytes at `at` are memory this process may read.
inline bool IsReadable(const void* at, std::size_t size) {
  const char* from = static_cast<const char*>(at);
  for (const char* end = from; from && end < from + size;)  // it may straddle regions
    if (!(end = AccessibleEnd(end, kReadable))) return false;
  return from != nullptr;
}

// Whether `text` is a text of `unit`-byte characters whose terminating zero comes within
// kLongestAnswerChars characters, all in memory this process may read. The player answers
// some requests with a pointer; a fork, or a plug-in answering first, may answer anything.
inline bool IsReadableText(const void* text, std::size_t unit) {
  constexpr char kZero[sizeof(wchar_t)] = {};
  const char* at = static_cast<const char*>(text);
  const char* readableEnd = at;  // what lies before it has been found readable
  for (std::size_t looked = 0; at && looked <= kLongestAnswerChars; ++looked, at += unit) {
    while (at + unit > readableEnd)  // a character may straddle two regions
      if (!(readableEnd = AccessibleEnd(readableEnd, kReadable))) return false;
    if (std::memcmp(at, kZero, unit) == 0) return true;
  }
  return false;
}

inline LRESULT Request(LPARAM code, WPARAM argument = 0) {
  return SendMessageA(HostWindow(), WM_USER, argument, code);
}

// The answer of a request that answers the address of something the player owns (a text, an
// object), or null when it is none. A player answers 1 to a request it does not know, and
// nothing lives in the first 64 KB of the address space, which Windows never maps: every answer
// below that is no address.
constexpr ULONG_PTR kFirstAddress = 0x10000;
template <class T>
T* AddressAnswer(LPARAM code, WPARAM argument = 0) {
  const LRESULT answer = Request(code, argument);
  if (static_cast<ULONG_PTR>(answer) < kFirstAddress) return nullptr;
  return reinterpret_cast<T*>(answer);
}

// The answer of a request that answers a text the player owns: the text, or null when the
// answer is no address or no text we may read.
template <typename Char>
const Char* TextAnswer(LPARAM code, WPARAM argument = 0) {
  const Char* text = AddressAnswer<const Char>(code, argument);
  return text && IsReadableText(text, sizeof(Char)) ? text : nullptr;
}

inline unsigned Version() { return static_cast<unsigned>(Request(kVersion)); }
inline int PlayState() { return static_cast<int>(Request(kPlayState)); }
inline int TrackLength() { return static_cast<int>(Request(kTrackLength, kTrackLengthSeconds)); }
inline int Volume() { return static_cast<int>(Request(kVolume, kQueryVolume)); }
inline void SetVolume(int volume) { Request(kVolume, static_cast<WPARAM>(volume)); }
inline int PlaylistLength() { return static_cast<int>(Request(kPlaylistLength)); }
inline int PlaylistPosition() { return static_cast<int>(Request(kPlaylistPosition)); }
inline int SampleRateKhz() { return static_cast<int>(Request(kPlaybackInfo, kSampleRateInfo)); }
inline int Bitrate() { return static_cast<int>(Request(kPlaybackInfo, kBitrateInfo)); }
inline int Channels() { return static_cast<int>(Request(kPlaybackInfo, kChannelsInfo)); }

// The player owns the text; copy it at once. Null when there is none, or none we may read.
inline const char* FileName(int position) {
  return TextAnswer<char>(kFileName, static_cast<WPARAM>(position));
}

// The folder the player keeps its own INI file in, without a trailing backslash as a rule.
// The player owns the text; copy it at once. May be null.
inline const char* IniDirectory() { return TextAnswer<char>(kIniDirectory); }
inline const wchar_t* IniDirectoryWide() { return TextAnswer<wchar_t>(kIniDirectoryWide); }

inline void ExtendedInfo(bool album, ExtendedInfoRequest* request) {
  Request(album ? kExtendedInfoAlbum : kExtendedInfo, reinterpret_cast<WPARAM>(request));
}

inline void FormatTitle(TitleFormatRequest* request) {
  Request(kFormatTitle, reinterpret_cast<WPARAM>(request));
}

// The player owns the text; copy it at once. Null from a player that does not know the request,
// or with no text we may read.
inline const wchar_t* FileNameWide(int position) {
  return TextAnswer<wchar_t>(kFileNameWide, static_cast<WPARAM>(position));
}

inline void ExtendedInfoWide(bool album, ExtendedInfoRequestW* request) {
  Request(album ? kExtendedInfoWide : kExtendedInfoWideHookable,
          reinterpret_cast<WPARAM>(request));
}

inline void FormatTitleWide(TitleFormatRequestW* request) {
  Request(kFormatTitleWide, reinterpret_cast<WPARAM>(request));
}

// The player's service manager, or null: players before 5.5 answer 1, as to any request they
// do not know.
inline void* ApiService() { return AddressAnswer<void>(kApiService); }

inline bool IsPlayingNotification(UINT message, LPARAM lParam) {
  return message == WM_USER && lParam == kPlayingNotification;
}

inline void Pause() { SendMessageA(HostWindow(), WM_COMMAND, kPauseCommand, 0); }
inline void Play() { SendMessageA(HostWindow(), WM_COMMAND, kPlayCommand, 0); }

}  // namespace host

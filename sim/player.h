// A stand-in for the Winamp player, for the plug-in tests and the demo.
//
// A real top-level window whose procedure answers the player's WM_USER requests and commands
// from a scriptable state (version, playlist, position, play state, volume), titles itself the
// way the player does ("12. Artist - Song - Winamp"), sends itself the playing notification
// when a track starts (version 5.0 and later), answers 1 to a request it does not know, records
// every message it receives and loads a plug-in the way the player does. Texts of its tracks
// are UTF-8 (bytes that are not UTF-8 are taken in the code page); it answers the ANSI requests
// in the code page and the wide ones in UTF-16, from the same data. It spells the player's
// interface itself (player_api.h) and takes nothing from the plug-in, so the two agree only
// where both are right. Everything runs on the thread that made it.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "player_api.h"

namespace sim {

struct Track {
  std::string file = "C:\\Music\\track.mp3";
  std::string artist = "Artist";
  std::string title = "Song";
  int length = 180;                          // seconds
  std::map<std::string, std::string> meta;   // metadata fields: "artist", "album", "year", ...
  int sampleRateKhz = 44;
  int bitrate = 128;
  int channels = 2;
};

// One message as the player's own window procedure received it.
struct Message {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool fromOtherThread;
  LONGLONG when;  // QueryPerformanceCounter at arrival, to order it among other threads' doings
};

// One metadata request (IPC_GET_EXTENDED_FILE_INFO or its hookable form) as the player
// received it.
struct InfoRequest {
  LPARAM code;
  std::string file;       // in UTF-8 for the wide forms
  std::string field;
  bool fileNull = false;  // the record carried no file name at all
};

// One question of the player's title formatter (IPC_FORMAT_TITLE) and the plug-in's answer.
struct FieldAnswer {
  std::string name;
  bool answered;      // the callback returned a text, not null
  std::string value;
  std::size_t logFrom, logTo;  // the messages received while the callback ran: log[from, to)
};

// How the player's window class is registered: with the ANSI functions, or with the wide ones,
// which make its window a Unicode window whose texts are kept and passed on in UTF-16.
enum class WindowKind { Ansi, Unicode };

class Player {
 public:
  explicit Player(unsigned version = 0x5000, WindowKind kind = WindowKind::Ansi);
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  HWND window() const { return window_; }
  // The player's own window procedure (of an ANSI window), as a plug-in finds it before it
  // hooks the window.
  static WNDPROC OwnProcedure();

  // --- scriptable state -------------------------------------------------------------------
  unsigned version;
  std::vector<Track> playlist;
  int position = 0;
  int playState = kStopped;        // kPlaying, kStopped, kPaused, or any number
  int volume = 200;
  // Where the current track plays, in milliseconds: Play starts it at 0, and nothing moves it
  // on by itself; a test sets it for time that has passed or the user's seeking.
  int elapsedMs = 0;
  // When set, IPC_SETVOLUME's volume query answers this instead of the volume, as a player
  // (or another plug-in answering for it) that does not know the query may.
  std::optional<LRESULT> volumeQueryAnswer;
  int unknownLengthQueries = 0;     // IPC_GETOUTPUTTIME answers -1 this many more times
  bool nullFileName = false;        // IPC_GETPLAYLISTFILE answers null
  bool formatsTitles = true;        // false: IPC_FORMAT_TITLE writes nothing, as an old player
  bool terminateAnswers = true;     // false: metadata and titles fill the buffer without a zero
  bool terminatorPastSize = false;  // true: titles fill the size told and put the zero after it
  bool answersWide = true;          // false: a 5.x player from before the wide requests
  // What it answers to a request it does not know, the wide ones it predates included: 1, as
  // the player's interface header says it does, or 0 (a switch for code that must survive both).
  LRESULT unknownAnswer = 1;
  // Its settings folder, for IPC_GETINIDIRECTORY (in the code page, '?' for what it cannot
  // spell) and IPC_GETINIDIRECTORYW, each from the version that has it (an older one answers as
  // to any request it does not know); empty: both answer 0.
  std::wstring iniDirectory;
  // What IPC_GET_API_SERVICE answers (an AlbumArtServices' manager()); null: 1, as a player
  // before 5.5.
  void* apiService = nullptr;
  // Someone answering before the player does: a fork of it, or another plug-in that subclassed
  // its window first. Asked for every request; when it returns true, `answer` stands and the
  // player does not see the request.
  std::function<bool(WPARAM argument, LPARAM code, LRESULT* answer)> answersFirst;

  // Starts track `index` from its beginning: position, kPlaying, title; from 5.0
  // IPC_PLAYING_FILE with its path. The play command does this with the current track,
  // whatever the state.
  void Play(int index);
  void Stop();
  // Pauses (what the pause command does to a playing track).
  void Pause();
  // Sets the window title directly.
  void SetTitle(const std::string& title);
  std::string Title() const;  // in UTF-8 from a Unicode window
  static std::string TitleFor(int index, const Track& track);

  // Called with each message as it arrives, before the player acts on it: a test's stand-in
  // for what the user or the player itself does at that moment (the player unloads its
  // plug-ins inside its own handling of a message when it closes, for one).
  std::function<void(const Message&)> onMessage;

  // --- what the player received ----------------------------------------------------------
  std::vector<Message> log;
  std::vector<InfoRequest> infoRequests;
  // The format texts handed over with IPC_FORMAT_TITLE and (in UTF-8) _EXTENDED.
  std::vector<std::string> formatRequests;
  std::vector<FieldAnswer> fieldAnswers;     // the tag callback's answers meanwhile
  // Answers whose text had changed by the time IPC_FORMAT_TITLE ended: each must stay valid
  // and unchanged until then.
  int answersChangedEarly = 0;
  void ClearLog();
  int CountRequests(LPARAM code) const;     // WM_USER with this lParam
  int CountCommands(WPARAM command) const;  // WM_COMMAND with this wParam
  int CountMessages(UINT message) const;
  // The requests (WM_USER lParams) in the order received.
  std::vector<LPARAM> Requests() const;

  // --- the plug-in ------------------------------------------------------------------------
  // LoadLibrary, the export, hwndParent and hDllInstance, then `beforeInit` (import hooks go
  // in here), then init. False when the DLL or its export is missing.
  bool Load(const std::string& dllPath, const std::function<void(HMODULE)>& beforeInit = {});
  // The same by a wide path, as a Unicode player loads its plug-ins.
  bool Load(const std::wstring& dllPath, const std::function<void(HMODULE)>& beforeInit = {});
  // quit, then FreeLibrary (unless keepLoaded).
  void Unload(bool keepLoaded = false);
  void Config();
  HMODULE module() const { return module_; }
  winampGeneralPurposePlugin* header() const { return header_; }
  int initResult = -1;

 private:
  bool Start(const std::function<void(HMODULE)>& beforeInit);
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK WideProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT Dispatch(bool wide, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Request(WPARAM argument, LPARAM code);
  LRESULT OutputTime(WPARAM mode);
  LRESULT ExtendedInfo(LPARAM code, extendedFileInfoStruct* request);
  LRESULT FormatTitle(waFormatTitle* request);
  LRESULT ExtendedInfoWide(LPARAM code, extendedFileInfoStructW* request);
  LRESULT FormatTitleWide(waFormatTitleExtended* request);
  const Track* Current() const;
  bool KnowsWide() const;

  bool wide_ = false;
  HWND window_ = nullptr;
  HMODULE module_ = nullptr;
  winampGeneralPurposePlugin* header_ = nullptr;
  std::string fileNameAnswer_;
  std::wstring wideFileNameAnswer_;
  std::string iniDirectoryAnswer_;
};

// A track's text as the player answers it: in UTF-16, and in the code page (what it cannot
// spell becomes '?'). Bytes that are not UTF-8 are taken as code-page text already.
std::wstring Wide(const std::string& text);
std::string Ansi(const std::string& text);
std::string Utf8(std::wstring_view text);

// Dispatches this thread's messages until done() holds or timeoutMs have passed; returns
// done(). The only way tests wait.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Dispatches this thread's messages for ms milliseconds.
void PumpFor(DWORD ms);

// The player's title formatter, small: %field% through the callback, $if(c,a,b), $if2(a,b),
// and [...], shown only when a field inside it is not empty.
std::string FormatTitle(const std::string& format,
                        const std::function<std::string(const std::string&, bool*)>& field);

}  // namespace sim

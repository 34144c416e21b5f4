// Seeing what the plug-in asks of the system: entries of the loaded DLL's import table are
// pointed at recorders, which note the call and then make it (or answer it themselves where a
// test says so). Hooks are per module, so they vanish with the DLL.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <commdlg.h>

#include <atomic>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// Points module's import of dll!function at replacement. Returns the address it replaced, or
// null when the module does not import that function.
void* HookImport(HMODULE module, const char* dll, const char* function, void* replacement);

struct TimerCall {
  bool set;          // SetTimer, or KillTimer
  HWND window;
  UINT_PTR id;
  UINT period;       // SetTimer only
  DWORD tick;        // GetTickCount() at the call
};

struct TrayCall {
  DWORD message;                // NIM_ADD, NIM_MODIFY, NIM_DELETE
  NOTIFYICONDATAA record;       // the first 488 bytes the plug-in passed to Shell_NotifyIconA
  NOTIFYICONDATAW wideRecord = {};  // or the first 936 bytes passed to Shell_NotifyIconW
};

struct FileOpen {
  std::string path;
  DWORD access, share, disposition;
};

struct ProfileWrite {
  std::string section, key, value, file;
  bool keyNull, valueNull;
};

struct ShellExecuteCall {
  HWND owner;
  std::string verb, file, parameters, directory;
  bool directoryNull;
  int show;
};

struct MessageBoxCall {
  HWND owner;
  std::string text, caption;
  UINT type;
};

struct FileDialogCall {
  bool save;
  OPENFILENAMEA record;         // as passed in
  std::string initialName;      // the buffer's text when the dialog was asked for
};

// How CLSIDFromProgID answers: as the system does, as if the ProgID were not registered, or
// with a class id as if it were.
enum class ProgIdAnswer { System, Unknown, Known };
struct ThreadStart {
  HANDLE waitable;   // a duplicate of the new thread's handle, closed by Reset
  SIZE_T stackSize;
  DWORD flags;
};

struct ProgIdLookup {
  std::wstring progId;
  HRESULT result;
};

struct ComInit {
  DWORD thread;
  DWORD model;       // COINIT_*
  HRESULT result;
};

struct ComCreate {
  CLSID classId;
  bool outerNull;
  DWORD context;
  IID iid;
  DWORD thread;
  HRESULT result;
};

// The popup's window, its moves and its drawing.
struct WindowMove {           // SetWindowPos
  HWND window;
  HWND after;
  int x, y, cx, cy;
  UINT flags;
};

struct DialogMade {           // CreateDialogParamA
  int templateId;             // 0 when given by name
  HWND owner;
  LPARAM param;
  HWND made;
  int earlierAlive;           // dialogs made before this one that were still windows then
};

struct FrameDraw {            // DrawFrameControl
  bool memoryDc;              // into a memory DC, or straight onto a window
  RECT rect;
  UINT type, state;
};

struct TextDraw {             // DrawTextA, or DrawTextW
  std::string text;           // up to its terminating zero when the length is -1
  int length;
  RECT rect;
  UINT format;
  bool memoryDc;
  std::wstring wideText;      // DrawTextW's text
};

struct ImageLoad {            // LoadImageA
  int id;                     // 0 when loaded by name
  UINT type;
  int cx, cy;
  UINT flags;
  HANDLE made;
};

// Everything the recorders saw since the last Reset, and how they answer.
struct SystemCalls {
  std::vector<TimerCall> timers;
  std::vector<TrayCall> tray;
  std::vector<ProfileWrite> profileWrites;
  std::vector<ShellExecuteCall> shellExecutes;
  std::vector<MessageBoxCall> messageBoxes;
  std::vector<FileDialogCall> fileDialogs;
  std::vector<FileOpen> fileOpens;          // CreateFileA
  std::vector<std::string> registeredMessages;  // RegisterWindowMessageA
  std::vector<int> loadedImages;          // resource ids of LoadImageA / LoadBitmapA
  std::vector<UINT> appBarMessages;
  std::vector<std::string> progIds;       // CLSIDFromProgID
  std::vector<WindowMove> moves;
  std::vector<DialogMade> dialogsMade;
  std::vector<HWND> destroyed;            // DestroyWindow
  std::vector<FrameDraw> frames;
  std::vector<TextDraw> textDraws;
  std::vector<LOGFONTA> fonts;            // CreateFontIndirectA
  std::vector<TRACKMOUSEEVENT> mouseTracks;
  std::vector<ImageLoad> imageLoads;
  std::map<std::string, int> counts;      // calls per function name

  // Speech. The plug-in's worker threads note their calls under a lock; read these once the
  // workers have ended (ThreadsEnded).
  std::vector<ThreadStart> threads;       // CreateThread
  std::vector<ProgIdLookup> progIdLookups;  // CLSIDFromProgID
  std::vector<ComInit> comInits;          // CoInitializeEx
  std::vector<DWORD> comUninits;          // CoUninitialize: the calling thread
  std::vector<ComCreate> comCreates;      // CoCreateInstance

  // GDI objects (DCs, bitmaps, fonts) the plug-in made and has not freed, and window DCs it
  // got and has not released.
  std::set<HGDIOBJ> liveObjects;
  int objectsMade = 0;
  int objectsFreed = 0;
  int windowDcsHeld = 0;
  // Semaphores the plug-in (or the runtime linked into it) made and has not closed.
  std::set<HANDLE> liveSemaphores;

  // Answers. A recorder with no answer set makes the real call.
  std::function<UINT_PTR(UINT, PAPPBARDATA)> appBar;                  // SHAppBarMessage
  std::function<BOOL(bool save, OPENFILENAMEA*)> fileDialog;           // open/save dialogs
  DWORD fileDialogError = 0;                                           // CommDlgExtendedError
  std::function<int(const MessageBoxCall&)> messageBox;                // default: IDOK, no box
  bool realShellExecute = false;                                       // default: not launched
  bool realTray = true;
  bool failMapView = false;                                            // MapViewOfFile fails
  int failWrites = 0;  // this many WriteFile calls write half their bytes, then fail: disk full
  int failReads = 0;   // this many ReadFile calls fail, as on a bad sector
  // Files this user may not write, as if their folder or their rights said so: CreateFileA for
  // writing or making one, WritePrivateProfileStringA to one and MoveFileExA onto one fail with
  // access denied. CreateFileA also refuses, as Windows does, to empty a hidden or system file
  // on opening (CREATE_ALWAYS, TRUNCATE_EXISTING) unless those attributes are passed.
  std::set<std::string> unwritableFiles;
  // The file whose writes in place after a refused move InPlacePhase follows.
  std::string inPlaceWatched;
  // The WritePrivateProfileStringA call with this number (as counted, from 1) fails as a full
  // disk would; 0: none does.
  int failProfileWriteNumber = 0;
  // GetTokenInformation answers that the process token has file virtualisation on, as a
  // player without a manifest has it on Vista and later.
  bool virtualizedToken = false;
  int bitsPerPixel = 0;                                                // GetDeviceCaps override
  ProgIdAnswer progIdAnswer = ProgIdAnswer::System;                    // CLSIDFromProgID

  // The functions whose import the recorders took over at the last InstallRecorders.
  std::set<std::string> hooked;
  bool failThreads = false;                                            // CreateThread fails
  // Each call of this function (by name, as counted) makes the DLL's next malloc fail, as if
  // memory ran out just there; allocationsFailed counts the failures.
  std::string failAllocationAfter;
  int allocationsFailed = 0;
  int colourPlanes = 0;                                                // GetDeviceCaps override

  void Reset();
  int Count(const std::string& function) const;
  std::vector<TimerCall> TimersOn(HWND window) const;
  // Every thread the plug-in started has ended.
  bool ThreadsEnded() const;
  std::vector<WindowMove> MovesOf(HWND window) const;
};

extern SystemCalls Calls;

// A write in place over Calls.inPlaceWatched after a move over it was refused (a reader held
// it), as another thread sees it: odd from the plug-in's CreateFileA of that file for writing
// until it closes that handle, and counting up at each change, so that a reader that finds the
// same even number before and after a read knows no such write overlapped it.
extern std::atomic<unsigned> InPlacePhase;

// Takes back a malloc failure that failAllocationAfter armed and no malloc has met yet.
void DisarmAllocationFailure();

// Points every recorder above at module's imports (those it imports) and resets Calls.
void InstallRecorders(HMODULE module);

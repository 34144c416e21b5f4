// Seeing what the plug-in asks of the system: entries of the loaded DLL's import table are
// pointed at recorders, which note the call and then make it (or answer it themselves where a
// test says so). Hooks are per module, so they vanish with the DLL.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <commdlg.h>

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
  NOTIFYICONDATAA record;       // the first 488 bytes the plug-in passed
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

struct TextDraw {             // DrawTextA
  std::string text;           // up to its terminating zero when the length is -1
  int length;
  RECT rect;
  UINT format;
  bool memoryDc;
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
  std::vector<WindowMove> moves;
  std::vector<DialogMade> dialogsMade;
  std::vector<HWND> destroyed;            // DestroyWindow
  std::vector<FrameDraw> frames;
  std::vector<TextDraw> textDraws;
  std::vector<LOGFONTA> fonts;            // CreateFontIndirectA
  std::vector<TRACKMOUSEEVENT> mouseTracks;
  std::vector<ImageLoad> imageLoads;
  std::map<std::string, int> counts;      // calls per function name

  // GDI objects (DCs, bitmaps, fonts) the plug-in made and has not freed, and window DCs it
  // got and has not released.
  std::set<HGDIOBJ> liveObjects;
  int objectsMade = 0;
  int objectsFreed = 0;
  int windowDcsHeld = 0;

  // Answers. A recorder with no answer set makes the real call.
  std::function<UINT_PTR(UINT, PAPPBARDATA)> appBar;                  // SHAppBarMessage
  std::function<BOOL(bool save, OPENFILENAMEA*)> fileDialog;           // open/save dialogs
  DWORD fileDialogError = 0;                                           // CommDlgExtendedError
  std::function<int(const MessageBoxCall&)> messageBox;                // default: IDOK, no box
  bool realShellExecute = false;                                       // default: not launched
  bool realTray = true;
  bool failMapView = false;                                            // MapViewOfFile fails
  int bitsPerPixel = 0;                                                // GetDeviceCaps override
  int colourPlanes = 0;                                                // GetDeviceCaps override

  void Reset();
  int Count(const std::string& function) const;
  std::vector<TimerCall> TimersOn(HWND window) const;
  std::vector<WindowMove> MovesOf(HWND window) const;
};

extern SystemCalls Calls;

// Points every recorder above at module's imports (those it imports) and resets Calls.
void InstallRecorders(HMODULE module);

// The import-table patcher and the recorders it installs.
#include "import_hook.h"

#include <algorithm>
#include <cstring>

#include <objbase.h>

SystemCalls Calls;
std::atomic<unsigned> InPlacePhase{0};

namespace {

// Any thread may call a recorder (the speech worker does), so the counts are kept under a lock.
CRITICAL_SECTION* Lock() {
  static CRITICAL_SECTION section;
  static bool ready = [] {
    InitializeCriticalSection(&section);
    return true;
  }();
  (void)ready;
  return &section;
}

// The DLL's mallocs still to fail (SystemCalls::failAllocationAfter).
int AllocationsToFail = 0;

void Note(const char* function) {
  EnterCriticalSection(Lock());
  ++Calls.counts[function];
  if (Calls.failAllocationAfter == function) AllocationsToFail = 1;
  LeaveCriticalSection(Lock());
}

class Locked {
 public:
  Locked() { EnterCriticalSection(Lock()); }
  ~Locked() { LeaveCriticalSection(Lock()); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

void Made(HGDIOBJ object) {
  if (!object) return;
  Calls.liveObjects.insert(object);
  ++Calls.objectsMade;
}

void Freed(HGDIOBJ object) {
  if (Calls.liveObjects.erase(object)) ++Calls.objectsFreed;
}

std::string Text(const char* s) { return s ? s : ""; }

// Answered for a known ProgID; no server stands behind it.
constexpr CLSID kStandInClass = {0x7c0e1d2a, 0x5b3f, 0x4e61, {0x9a, 0x20, 0x3d, 0x41, 0x6b, 0x8c, 0x0f, 0x52}};

bool IsResourceId(const char* name) { return (reinterpret_cast<UINT_PTR>(name) >> 16) == 0; }

UINT_PTR WINAPI RecSetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC proc) {
  Note("SetTimer");
  Calls.timers.push_back({true, window, id, period, GetTickCount()});
  return SetTimer(window, id, period, proc);
}

BOOL WINAPI RecKillTimer(HWND window, UINT_PTR id) {
  Note("KillTimer");
  Calls.timers.push_back({false, window, id, 0, GetTickCount()});
  return KillTimer(window, id);
}

BOOL WINAPI RecShellNotifyIcon(DWORD message, PNOTIFYICONDATAA data) {
  Note("Shell_NotifyIconA");
  TrayCall call = {message, {}};
  if (data) std::memcpy(&call.record, data, std::min<DWORD>(data->cbSize, sizeof call.record));
  Calls.tray.push_back(call);
  return Calls.realTray ? Shell_NotifyIconA(message, data) : TRUE;
}

BOOL WINAPI RecShellNotifyIconW(DWORD message, PNOTIFYICONDATAW data) {
  Note("Shell_NotifyIconW");
  TrayCall call = {message, {}, {}};
  if (data)
    std::memcpy(&call.wideRecord, data, std::min<DWORD>(data->cbSize, sizeof call.wideRecord));
  Calls.tray.push_back(call);
  return Calls.realTray ? Shell_NotifyIconW(message, data) : TRUE;
}

UINT_PTR WINAPI RecAppBar(DWORD message, PAPPBARDATA data) {
  Note("SHAppBarMessage");
  Calls.appBarMessages.push_back(message);
  if (Calls.appBar) return Calls.appBar(message, data);
  return SHAppBarMessage(message, data);
}

HINSTANCE WINAPI RecShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                 LPCSTR directory, INT show) {
  Note("ShellExecuteA");
  Calls.shellExecutes.push_back(
      {owner, Text(verb), Text(file), Text(parameters), Text(directory), directory == nullptr,
       show});
  if (Calls.realShellExecute) return ShellExecuteA(owner, verb, file, parameters, directory, show);
  return reinterpret_cast<HINSTANCE>(33);
}

int WINAPI RecMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Note("MessageBoxA");
  MessageBoxCall call = {owner, Text(text), Text(caption), type};
  Calls.messageBoxes.push_back(call);
  return Calls.messageBox ? Calls.messageBox(call) : IDOK;
}

BOOL FileDialog(bool save, LPOPENFILENAMEA record) {
  FileDialogCall call = {save, {}, {}};
  if (record) {
    std::memcpy(&call.record, record, std::min<DWORD>(record->lStructSize, sizeof call.record));
    if (record->lpstrFile) call.initialName = record->lpstrFile;
  }
  Calls.fileDialogs.push_back(call);
  Calls.fileDialogError = 0;
  if (Calls.fileDialog) return Calls.fileDialog(save, record);
  return FALSE;  // as if cancelled
}

BOOL WINAPI RecGetOpenFileName(LPOPENFILENAMEA record) {
  Note("GetOpenFileNameA");
  return FileDialog(false, record);
}

BOOL WINAPI RecGetSaveFileName(LPOPENFILENAMEA record) {
  Note("GetSaveFileNameA");
  return FileDialog(true, record);
}

DWORD WINAPI RecCommDlgExtendedError() {
  Note("CommDlgExtendedError");
  return Calls.fileDialogError;
}

bool Unwritable(LPCSTR path) {
  for (const std::string& file : Calls.unwritableFiles)
    if (path && lstrcmpiA(path, file.c_str()) == 0) return true;
  return false;
}

// As the system answers without write rights: an existing file opened for writing and a new
// one are denied; a missing one asked for as existing is not found (the real call says so).
bool WriteDenied(LPCSTR path, DWORD access, DWORD disposition) {
  constexpr DWORD kWriting =
      GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE;
  if (!Unwritable(path)) return false;
  bool missing = GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
  if (missing) return disposition != OPEN_EXISTING && disposition != TRUNCATE_EXISTING;
  return (access & kWriting) != 0 || disposition != OPEN_EXISTING;
}

BOOL WINAPI RecWriteProfileString(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
  Note("WritePrivateProfileStringA");
  Calls.profileWrites.push_back(
      {Text(section), Text(key), Text(value), Text(file), key == nullptr, value == nullptr});
  if (Unwritable(file)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (Calls.Count("WritePrivateProfileStringA") == Calls.failProfileWriteNumber) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return WritePrivateProfileStringA(section, key, value, file);
}

// The plug-in's write in place over the watched file (InPlacePhase): whether its last move over
// that file was refused, and the handle of the write while it is open. Only the thread that
// writes the file touches these.
bool WatchedMoveRefused = false;
HANDLE InPlaceWrite = INVALID_HANDLE_VALUE;

bool Watched(LPCSTR path) {
  return path && !Calls.inPlaceWatched.empty() &&
         lstrcmpiA(path, Calls.inPlaceWatched.c_str()) == 0;
}

// A file moved over an unwritable one is denied as a write to it would be.
BOOL WINAPI RecMoveFileEx(LPCSTR from, LPCSTR to, DWORD flags) {
  Note("MoveFileExA");
  if (Unwritable(to)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const BOOL moved = MoveFileExA(from, to, flags);
  if (Watched(to)) WatchedMoveRefused = !moved;
  return moved;
}

HANDLE WINAPI RecCreateSemaphoreA(LPSECURITY_ATTRIBUTES security, LONG count, LONG most,
                                  LPCSTR name) {
  const HANDLE made = CreateSemaphoreA(security, count, most, name);
  Locked locked;
  if (made) Calls.liveSemaphores.insert(made);
  return made;
}

BOOL WINAPI RecCloseHandle(HANDLE handle) {
  Note("CloseHandle");
  {
    Locked locked;
    Calls.liveSemaphores.erase(handle);
  }
  const BOOL closed = CloseHandle(handle);
  if (handle == InPlaceWrite) {
    InPlaceWrite = INVALID_HANDLE_VALUE;
    ++InPlacePhase;  // even: the write is over
  }
  return closed;
}

BOOL WINAPI RecGetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID answer,
                                   DWORD size, PDWORD needed) {
  Note("GetTokenInformation");
  if (kind != TokenVirtualizationEnabled || !Calls.virtualizedToken)
    return GetTokenInformation(token, kind, answer, size, needed);
  if (needed) *needed = sizeof(DWORD);
  if (!answer || size < sizeof(DWORD)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  *static_cast<DWORD*>(answer) = 1;
  return TRUE;
}

LPVOID WINAPI RecMapViewOfFile(HANDLE mapping, DWORD access, DWORD high, DWORD low, SIZE_T size) {
  Note("MapViewOfFile");
  if (Calls.failMapView) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return MapViewOfFile(mapping, access, high, low, size);
}

// As Windows answers, and Wine does not: an existing hidden or system file is not emptied on
// opening unless the caller names those attributes.
bool HiddenRefused(LPCSTR path, DWORD disposition, DWORD attributes) {
  constexpr DWORD kNamed = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if (disposition != CREATE_ALWAYS && disposition != TRUNCATE_EXISTING) return false;
  const DWORD old = path ? GetFileAttributesA(path) : INVALID_FILE_ATTRIBUTES;
  return old != INVALID_FILE_ATTRIBUTES && (old & kNamed & ~attributes) != 0;
}

HANDLE WINAPI RecCreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                            DWORD disposition, DWORD attributes, HANDLE templateFile) {
  Note("CreateFileA");
  Calls.fileOpens.push_back({Text(path), access, share, disposition});
  if (WriteDenied(path, access, disposition) || HiddenRefused(path, disposition, attributes)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  const bool inPlace = WatchedMoveRefused && Watched(path) && (access & GENERIC_WRITE) &&
                       InPlaceWrite == INVALID_HANDLE_VALUE;
  if (inPlace) ++InPlacePhase;  // odd before the file is open: a reader's read may overlap it
  HANDLE file = CreateFileA(path, access, share, security, disposition, attributes, templateFile);
  if (inPlace) {
    WatchedMoveRefused = false;
    if (file != INVALID_HANDLE_VALUE) {
      InPlaceWrite = file;
    } else {
      const DWORD error = GetLastError();
      ++InPlacePhase;
      SetLastError(error);
    }
  }
  return file;
}

BOOL WINAPI RecWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                         LPOVERLAPPED at) {
  Note("WriteFile");
  if (Calls.failWrites > 0) {
    // A disk that fills up halfway through the write.
    --Calls.failWrites;
    DWORD half = 0;
    WriteFile(file, data, size / 2, &half, at);
    if (written) *written = half;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return WriteFile(file, data, size, written, at);
}

BOOL WINAPI RecReadFile(HANDLE file, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED at) {
  Note("ReadFile");
  if (Calls.failReads > 0) {
    --Calls.failReads;
    if (read) *read = 0;
    SetLastError(ERROR_READ_FAULT);
    return FALSE;
  }
  return ReadFile(file, data, size, read, at);
}

BOOL WINAPI RecFlushFileBuffers(HANDLE file) {
  Note("FlushFileBuffers");
  return FlushFileBuffers(file);
}

// The DLL's memory is freed by its own free: this program's malloc is the same msvcrt.dll's.
void* __cdecl RecMalloc(size_t size) {
  {
    Locked locked;
    if (AllocationsToFail > 0) {
      --AllocationsToFail;
      ++Calls.allocationsFailed;
      return nullptr;
    }
  }
  return malloc(size);
}

UINT WINAPI RecRegisterWindowMessage(LPCSTR name) {
  Note("RegisterWindowMessageA");
  Calls.registeredMessages.push_back(Text(name));
  return RegisterWindowMessageA(name);
}

HDC WINAPI RecCreateCompatibleDC(HDC dc) {
  Note("CreateCompatibleDC");
  HDC made = CreateCompatibleDC(dc);
  Made(made);
  return made;
}

BOOL WINAPI RecDeleteDC(HDC dc) {
  Note("DeleteDC");
  Freed(dc);
  return DeleteDC(dc);
}

HFONT WINAPI RecCreateFontIndirect(const LOGFONTA* font) {
  Note("CreateFontIndirectA");
  if (font) Calls.fonts.push_back(*font);
  HFONT made = CreateFontIndirectA(font);
  Made(made);
  return made;
}

HBITMAP WINAPI RecCreateCompatibleBitmap(HDC dc, int width, int height) {
  Note("CreateCompatibleBitmap");
  HBITMAP made = CreateCompatibleBitmap(dc, width, height);
  Made(made);
  return made;
}

BOOL WINAPI RecDeleteObject(HGDIOBJ object) {
  Note("DeleteObject");
  Freed(object);
  return DeleteObject(object);
}

HANDLE WINAPI RecLoadImage(HINSTANCE module, LPCSTR name, UINT type, int cx, int cy, UINT flags) {
  Note("LoadImageA");
  if (IsResourceId(name)) Calls.loadedImages.push_back(static_cast<int>(reinterpret_cast<UINT_PTR>(name)));
  HANDLE made = LoadImageA(module, name, type, cx, cy, flags);
  Calls.imageLoads.push_back({IsResourceId(name) ? static_cast<int>(reinterpret_cast<UINT_PTR>(name)) : 0,
                              type, cx, cy, flags, made});
  if (!(flags & LR_SHARED)) Made(made);
  return made;
}

HBITMAP WINAPI RecLoadBitmap(HINSTANCE module, LPCSTR name) {
  Note("LoadBitmapA");
  if (IsResourceId(name)) Calls.loadedImages.push_back(static_cast<int>(reinterpret_cast<UINT_PTR>(name)));
  HBITMAP made = LoadBitmapA(module, name);
  Made(made);
  return made;
}

BOOL WINAPI RecDestroyIcon(HICON icon) {
  Note("DestroyIcon");
  Freed(icon);
  return DestroyIcon(icon);
}

HDC WINAPI RecGetDC(HWND window) {
  Note("GetDC");
  HDC dc = GetDC(window);
  if (dc) ++Calls.windowDcsHeld;
  return dc;
}

int WINAPI RecReleaseDC(HWND window, HDC dc) {
  Note("ReleaseDC");
  int released = ReleaseDC(window, dc);
  if (released) --Calls.windowDcsHeld;
  return released;
}

int WINAPI RecGetDeviceCaps(HDC dc, int index) {
  Note("GetDeviceCaps");
  if (Calls.bitsPerPixel != 0) {
    if (index == BITSPIXEL) return Calls.bitsPerPixel;
    if (index == PLANES) return Calls.colourPlanes != 0 ? Calls.colourPlanes : 1;
  }
  return GetDeviceCaps(dc, index);
}

HANDLE WINAPI RecCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                             LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                             LPDWORD id) {
  Note("CreateThread");
  if (Calls.failThreads) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HANDLE thread = CreateThread(security, stackSize, start, parameter, flags, id);
  HANDLE waitable = nullptr;
  if (thread && DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &waitable,
                                SYNCHRONIZE, FALSE, 0)) {
    Locked locked;
    Calls.threads.push_back({waitable, stackSize, flags});
  }
  return thread;
}

HRESULT WINAPI RecCLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid) {
  Note("CLSIDFromProgID");
  char name[256] = {};
  if (progId) WideCharToMultiByte(CP_ACP, 0, progId, -1, name, sizeof name - 1, nullptr, nullptr);
  Calls.progIds.push_back(name);
  switch (Calls.progIdAnswer) {
    case ProgIdAnswer::Unknown:
      if (clsid) *clsid = CLSID{};
      return CO_E_CLASSSTRING;
    case ProgIdAnswer::Known:
      if (clsid) *clsid = kStandInClass;
      return S_OK;
    case ProgIdAnswer::System:
      break;
  }
  HRESULT result = CLSIDFromProgID(progId, clsid);
  Locked locked;
  Calls.progIdLookups.push_back({progId ? progId : L"", result});
  return result;
}

HRESULT WINAPI RecCoInitializeEx(LPVOID reserved, DWORD model) {
  Note("CoInitializeEx");
  HRESULT result = CoInitializeEx(reserved, model);
  Locked locked;
  Calls.comInits.push_back({GetCurrentThreadId(), model, result});
  return result;
}

void WINAPI RecCoUninitialize() {
  Note("CoUninitialize");
  CoUninitialize();
  Locked locked;
  Calls.comUninits.push_back(GetCurrentThreadId());
}

HRESULT WINAPI RecCoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID iid,
                                   LPVOID* object) {
  Note("CoCreateInstance");
  HRESULT result = CoCreateInstance(classId, outer, context, iid, object);
  Locked locked;
  Calls.comCreates.push_back({classId, outer == nullptr, context, iid, GetCurrentThreadId(), result});
  return result;
}

bool IsMemoryDc(HDC dc) { return GetObjectType(dc) == OBJ_MEMDC; }

BOOL WINAPI RecSetWindowPos(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags) {
  Note("SetWindowPos");
  Calls.moves.push_back({window, after, x, y, cx, cy, flags});
  return SetWindowPos(window, after, x, y, cx, cy, flags);
}

HWND WINAPI RecCreateDialogParam(HINSTANCE module, LPCSTR name, HWND owner, DLGPROC proc,
                                 LPARAM param) {
  Note("CreateDialogParamA");
  int earlierAlive = 0;
  for (const DialogMade& d : Calls.dialogsMade) earlierAlive += IsWindow(d.made) ? 1 : 0;
  HWND made = CreateDialogParamA(module, name, owner, proc, param);
  Calls.dialogsMade.push_back(
      {IsResourceId(name) ? static_cast<int>(reinterpret_cast<UINT_PTR>(name)) : 0, owner, param,
       made, earlierAlive});
  return made;
}

BOOL WINAPI RecDestroyWindow(HWND window) {
  Note("DestroyWindow");
  Calls.destroyed.push_back(window);
  return DestroyWindow(window);
}

BOOL WINAPI RecDrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state) {
  Note("DrawFrameControl");
  Calls.frames.push_back({IsMemoryDc(dc), rect ? *rect : RECT{}, type, state});
  return DrawFrameControl(dc, rect, type, state);
}

int WINAPI RecDrawText(HDC dc, LPCSTR text, int length, LPRECT rect, UINT format) {
  Note("DrawTextA");
  std::string shown;
  if (text) shown = length < 0 ? std::string(text) : std::string(text, length);
  Calls.textDraws.push_back(
      {shown, length, rect ? *rect : RECT{}, format, IsMemoryDc(dc), {}});
  return DrawTextA(dc, text, length, rect, format);
}

int WINAPI RecDrawTextW(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format) {
  Note("DrawTextW");
  std::wstring shown;
  if (text) shown = length < 0 ? std::wstring(text) : std::wstring(text, length);
  Calls.textDraws.push_back(
      {{}, length, rect ? *rect : RECT{}, format, IsMemoryDc(dc), shown});
  return DrawTextW(dc, text, length, rect, format);
}

BOOL WINAPI RecTrackMouseEvent(LPTRACKMOUSEEVENT track) {
  Note("TrackMouseEvent");
  if (track) Calls.mouseTracks.push_back(*track);
  return TrackMouseEvent(track);
}

struct Recorder {
  const char* dll;
  const char* function;
  void* replacement;
};

const Recorder kRecorders[] = {
    {"user32.dll", "SetTimer", reinterpret_cast<void*>(RecSetTimer)},
    {"user32.dll", "KillTimer", reinterpret_cast<void*>(RecKillTimer)},
    {"user32.dll", "MessageBoxA", reinterpret_cast<void*>(RecMessageBox)},
    {"user32.dll", "LoadImageA", reinterpret_cast<void*>(RecLoadImage)},
    {"user32.dll", "LoadBitmapA", reinterpret_cast<void*>(RecLoadBitmap)},
    {"user32.dll", "DestroyIcon", reinterpret_cast<void*>(RecDestroyIcon)},
    {"user32.dll", "GetDC", reinterpret_cast<void*>(RecGetDC)},
    {"user32.dll", "ReleaseDC", reinterpret_cast<void*>(RecReleaseDC)},
    {"shell32.dll", "Shell_NotifyIconA", reinterpret_cast<void*>(RecShellNotifyIcon)},
    {"shell32.dll", "Shell_NotifyIconW", reinterpret_cast<void*>(RecShellNotifyIconW)},
    {"shell32.dll", "SHAppBarMessage", reinterpret_cast<void*>(RecAppBar)},
    {"shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(RecShellExecute)},
    {"comdlg32.dll", "GetOpenFileNameA", reinterpret_cast<void*>(RecGetOpenFileName)},
    {"comdlg32.dll", "GetSaveFileNameA", reinterpret_cast<void*>(RecGetSaveFileName)},
    {"comdlg32.dll", "CommDlgExtendedError", reinterpret_cast<void*>(RecCommDlgExtendedError)},
    {"kernel32.dll", "WritePrivateProfileStringA", reinterpret_cast<void*>(RecWriteProfileString)},
    {"kernel32.dll", "MapViewOfFile", reinterpret_cast<void*>(RecMapViewOfFile)},
    {"kernel32.dll", "CreateFileA", reinterpret_cast<void*>(RecCreateFile)},
    {"kernel32.dll", "MoveFileExA", reinterpret_cast<void*>(RecMoveFileEx)},
    {"kernel32.dll", "CloseHandle", reinterpret_cast<void*>(RecCloseHandle)},
    {"kernel32.dll", "CreateSemaphoreA", reinterpret_cast<void*>(RecCreateSemaphoreA)},
    {"advapi32.dll", "GetTokenInformation", reinterpret_cast<void*>(RecGetTokenInformation)},
    {"kernel32.dll", "FlushFileBuffers", reinterpret_cast<void*>(RecFlushFileBuffers)},
    {"kernel32.dll", "WriteFile", reinterpret_cast<void*>(RecWriteFile)},
    {"kernel32.dll", "ReadFile", reinterpret_cast<void*>(RecReadFile)},
    {"user32.dll", "RegisterWindowMessageA", reinterpret_cast<void*>(RecRegisterWindowMessage)},
    {"gdi32.dll", "CreateCompatibleDC", reinterpret_cast<void*>(RecCreateCompatibleDC)},
    {"gdi32.dll", "DeleteDC", reinterpret_cast<void*>(RecDeleteDC)},
    {"gdi32.dll", "CreateFontIndirectA", reinterpret_cast<void*>(RecCreateFontIndirect)},
    {"gdi32.dll", "CreateCompatibleBitmap", reinterpret_cast<void*>(RecCreateCompatibleBitmap)},
    {"gdi32.dll", "DeleteObject", reinterpret_cast<void*>(RecDeleteObject)},
    {"gdi32.dll", "GetDeviceCaps", reinterpret_cast<void*>(RecGetDeviceCaps)},
    {"kernel32.dll", "CreateThread", reinterpret_cast<void*>(RecCreateThread)},
    {"ole32.dll", "CLSIDFromProgID", reinterpret_cast<void*>(RecCLSIDFromProgID)},
    {"ole32.dll", "CoInitializeEx", reinterpret_cast<void*>(RecCoInitializeEx)},
    {"ole32.dll", "CoUninitialize", reinterpret_cast<void*>(RecCoUninitialize)},
    {"ole32.dll", "CoCreateInstance", reinterpret_cast<void*>(RecCoCreateInstance)},
    {"user32.dll", "SetWindowPos", reinterpret_cast<void*>(RecSetWindowPos)},
    {"user32.dll", "CreateDialogParamA", reinterpret_cast<void*>(RecCreateDialogParam)},
    {"user32.dll", "DestroyWindow", reinterpret_cast<void*>(RecDestroyWindow)},
    {"user32.dll", "DrawFrameControl", reinterpret_cast<void*>(RecDrawFrameControl)},
    {"user32.dll", "DrawTextA", reinterpret_cast<void*>(RecDrawText)},
    {"user32.dll", "DrawTextW", reinterpret_cast<void*>(RecDrawTextW)},
    {"user32.dll", "TrackMouseEvent", reinterpret_cast<void*>(RecTrackMouseEvent)},
    {"msvcrt.dll", "malloc", reinterpret_cast<void*>(RecMalloc)},
};

}  // namespace

void* HookImport(HMODULE module, const char* dll, const char* function, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  if (!module || dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return nullptr;
  for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
       imp->Name != 0; ++imp) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + imp->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
        base + (imp->OriginalFirstThunk ? imp->OriginalFirstThunk : imp->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
      DWORD old = 0;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
      void* previous = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      return previous;
    }
  }
  return nullptr;
}

void SystemCalls::Reset() {
  Locked locked;
  for (const ThreadStart& start : threads) CloseHandle(start.waitable);
  *this = SystemCalls();
  AllocationsToFail = 0;
  WatchedMoveRefused = false;
  InPlaceWrite = INVALID_HANDLE_VALUE;
  if (InPlacePhase & 1) ++InPlacePhase;
}

int SystemCalls::Count(const std::string& function) const {
  auto it = counts.find(function);
  return it == counts.end() ? 0 : it->second;
}

std::vector<TimerCall> SystemCalls::TimersOn(HWND window) const {
  std::vector<TimerCall> on;
  for (const TimerCall& call : timers)
    if (call.window == window) on.push_back(call);
  return on;
}

bool SystemCalls::ThreadsEnded() const {
  for (const ThreadStart& start : threads)
    if (WaitForSingleObject(start.waitable, 0) != WAIT_OBJECT_0) return false;
  return true;
}

std::vector<WindowMove> SystemCalls::MovesOf(HWND window) const {
  std::vector<WindowMove> of;
  for (const WindowMove& move : moves)
    if (move.window == window) of.push_back(move);
  return of;
}

void DisarmAllocationFailure() {
  Locked locked;
  AllocationsToFail = 0;
}

void InstallRecorders(HMODULE module) {
  Calls.Reset();
  for (const Recorder& r : kRecorders)
    if (HookImport(module, r.dll, r.function, r.replacement)) Calls.hooked.insert(r.function);
}

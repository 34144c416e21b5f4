// The chaos driver: loads the real DLL into the player simulator and drives it with a seeded
// pseudo-random sequence of weighted steps (the player, its answers, the user, the environment,
// the plug-in's lifecycle), checking after every step that nothing crashed or hung, that the
// plug-in's resources stay bounded and come back at each unload, that the output file holds
// only texts the plug-in could have written, and that no stray file is left.
//
// Everything runs on this program's main thread, the player's window thread, but the speech
// workers. The plug-in's timers never reach the system: its SetTimer and KillTimer imports are
// pointed at a virtual clock that the steps advance, so a run goes as fast as the plug-in
// works. Only the driver draws from the generator, and it draws the same whatever it sees, so
// a seed replays the same steps. A failure prints the seed and the step and ends the process.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <csignal>
#include <exception>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fake_voice.h"
#include "harness.h"
#include "import_hook.h"
#include "album_art.h"
#include "player.h"

namespace {

// --- the run: its choices, its failure ----------------------------------------------------

unsigned long long Seed = 1;
long StepNumber = 0;
const char* StepName = "start";
bool ExpectFailure = false;  // the driver's own test: a planted fault must be found
bool Trace = false;          // each step's name as it starts, for a replay
std::string DllArgument;     // --dll as given, for the replay line

// splitmix64: small, and the same on every machine.
unsigned long long RandomState = 0;
unsigned Next() {
  unsigned long long z = (RandomState += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<unsigned>((z ^ (z >> 31)) >> 32);
}
int Below(int n) { return static_cast<int>(Next() % static_cast<unsigned>(n)); }
bool Chance(int percent) { return Below(100) < percent; }
template <typename T>
const T& Pick(const std::vector<T>& from) { return from[Below(static_cast<int>(from.size()))]; }

// The names of the last steps, for the failure's message.
constexpr int kStepsRemembered = 12;
const char* LastSteps[kStepsRemembered] = {};

// Prints what failed and where, and ends the process at once: an orderly exit would run the
// plug-in's code again (its detach), which may be what broke.
[[noreturn]] void Fail(const std::string& what) {
  if (!Trace)
    for (long n = std::max(1L, StepNumber - kStepsRemembered + 1); n < StepNumber; ++n)
      std::printf("%ld %s\n", n, LastSteps[n % kStepsRemembered]);
  std::printf("FAILED: seed %llu, step %ld (%s): %s\n", Seed, StepNumber, StepName, what.c_str());
  std::printf("replay: scripts/chaos --seed %llu --steps %ld%s%s\n", Seed, StepNumber,
              DllArgument.empty() ? "" : " --dll ", DllArgument.c_str());
  std::printf(ExpectFailure ? "1 passed, 0 failed\n" : "0 passed, 1 failed\n");
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), ExpectFailure ? 0 : 1);
  for (;;) Sleep(INFINITE);
}

// A module and an offset in it, for the messages.
std::string CodeAt(DWORD address) {
  char module[MAX_PATH] = "?";
  HMODULE in = nullptr;
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(address), &in))
    GetModuleFileNameA(in, module, sizeof module);
  const char* name = std::strrchr(module, '\\');
  char text[MAX_PATH + 16];
  std::snprintf(text, sizeof text, "%s+0x%lX", name ? name + 1 : module,
                static_cast<unsigned long>(address - reinterpret_cast<DWORD>(in)));
  return text;
}

LONG WINAPI FailOnCrash(EXCEPTION_POINTERS* crash) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX",
                static_cast<unsigned long>(crash->ExceptionRecord->ExceptionCode));
  Fail(std::string("crash: exception ") + code + " at " +
       CodeAt(reinterpret_cast<DWORD>(crash->ExceptionRecord->ExceptionAddress)));
}

// A step may use 2 s of the window thread's processor time; one that waits 30 s in all is hung.
constexpr ULONGLONG kStepCpuLimit = 2000 * 10000ull;  // in 100 ns units
constexpr DWORD kStepWallLimitMs = 30000;
volatile DWORD StepStartedAt = 0;  // GetTickCount, 0 between steps

ULONGLONG ThreadCpu(HANDLE thread) {
  FILETIME created, ended, kernel, user;
  if (!GetThreadTimes(thread, &created, &ended, &kernel, &user)) return 0;
  auto value = [](FILETIME t) { return (ULONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
  return value(kernel) + value(user);
}

HANDLE WindowThread = nullptr;

// Where the window thread waits: its instruction, then the words on its stack that point into
// code (its callers, with some stale values among them).
std::string WhereIsWindowThread() {
  CONTEXT context = {};
  context.ContextFlags = CONTEXT_CONTROL;
  SuspendThread(WindowThread);
  std::string where = GetThreadContext(WindowThread, &context) ? CodeAt(context.Eip) : "?";
  DWORD words[1024] = {};
  SIZE_T read = 0;
  ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<void*>(context.Esp), words, sizeof words, &read);
  ResumeThread(WindowThread);
  for (SIZE_T i = 0, shown = 0; i < read / sizeof(DWORD) && shown < 16; ++i) {
    MEMORY_BASIC_INFORMATION region;
    if (words[i] < 0x10000 || !VirtualQuery(reinterpret_cast<void*>(words[i]), &region, sizeof region) ||
        region.Type != MEM_IMAGE || !(region.Protect & (PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE)))
      continue;
    where += " < " + CodeAt(words[i]);
    ++shown;
  }
  return where;
}

// Once a second: is the window thread still in the step it began 30 s ago?
DWORD WINAPI Watchdog(void*) {
  for (;;) {
    Sleep(1000);
    DWORD started = StepStartedAt;
    // Signed: the step may have begun after this thread read the clock.
    if (started != 0 && static_cast<LONG>(GetTickCount() - started) > static_cast<LONG>(kStepWallLimitMs))
      Fail("hang: the step has not ended in 30 s; the window thread is at " + WhereIsWindowThread());
  }
}

// --- the virtual clock: the plug-in's timers ------------------------------------------------

struct VirtualTimer {
  HWND window;
  UINT_PTR id;
  TIMERPROC proc;
  UINT period;
  ULONGLONG due;
};
std::vector<VirtualTimer> Timers;
ULONGLONG Now = 1000000;
UINT_PTR NextThreadTimer = 0x7000;

BOOL WINAPI VirtualKillTimer(HWND window, UINT_PTR id) {
  auto it = std::find_if(Timers.begin(), Timers.end(),
                         [&](const VirtualTimer& t) { return t.window == window && t.id == id; });
  if (it == Timers.end()) return FALSE;
  Timers.erase(it);
  return TRUE;
}

UINT_PTR WINAPI VirtualSetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC proc) {
  if (window && !IsWindow(window)) return 0;
  if (!window) id = NextThreadTimer++;
  VirtualKillTimer(window, id);
  period = std::max(period, UINT{USER_TIMER_MINIMUM});
  Timers.push_back({window, id, proc, period, Now + period});
  return window ? (id ? id : 1) : id;
}

// The messages waiting for this thread, as the player's message loop dispatches them.
void PumpPending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Fires every timer due up to ms from now, in order, as the system's message loop would, with
// the messages that come meanwhile dispatched between them.
void AdvanceClock(ULONGLONG ms) {
  const ULONGLONG until = Now + ms;
  for (int fired = 0; fired < 5000; ++fired) {
    auto due = std::min_element(Timers.begin(), Timers.end(),
                                [](const VirtualTimer& a, const VirtualTimer& b) { return a.due < b.due; });
    if (due == Timers.end() || due->due > until) break;
    Now = std::max(Now, due->due);
    if (due->window && !IsWindow(due->window)) {  // a window's timers die with it
      Timers.erase(due);
      continue;
    }
    due->due = Now + due->period;
    VirtualTimer timer = *due;
    if (timer.proc)
      timer.proc(timer.window, WM_TIMER, timer.id, static_cast<DWORD>(Now));
    else
      SendMessageA(timer.window, WM_TIMER, timer.id, 0);
    PumpPending();
  }
  Now = until;
}

int LiveTimers() {
  return static_cast<int>(std::count_if(Timers.begin(), Timers.end(), [](const VirtualTimer& t) {
    return !t.window || IsWindow(t.window);
  }));
}

// --- kernel handles, a full disk, the speech engine ----------------------------------------

CRITICAL_SECTION HandleLock;
std::map<HANDLE, const char*> LiveHandles;  // made by the plug-in through its imports, not closed yet: by whom
bool DiskFull = false;

void Opened(HANDLE handle, const char* by) {
  if (!handle || handle == INVALID_HANDLE_VALUE) return;
  EnterCriticalSection(&HandleLock);
  LiveHandles[handle] = by;
  LeaveCriticalSection(&HandleLock);
}

int LiveHandleCount() {
  EnterCriticalSection(&HandleLock);
  int n = static_cast<int>(LiveHandles.size());
  LeaveCriticalSection(&HandleLock);
  return n;
}

decltype(&CreateFileA) NextCreateFileA;
decltype(&CreateFileW) NextCreateFileW;
decltype(&CreateFileMappingA) NextCreateFileMappingA;
decltype(&CreateEventA) NextCreateEventA;
decltype(&CreateEventW) NextCreateEventW;
decltype(&OpenProcessToken) NextOpenProcessToken;
decltype(&WriteFile) NextWriteFile;
decltype(&CreateSemaphoreA) NextCreateSemaphoreA;
decltype(&CreateThread) NextCreateThread;
decltype(&OpenProcess) NextOpenProcess;
decltype(&DuplicateHandle) NextDuplicateHandle;
decltype(&CloseHandle) NextCloseHandle;
decltype(&SetEndOfFile) NextSetEndOfFile;
decltype(&CLSIDFromProgID) NextClsidFromProgId;
decltype(&CoCreateInstance) NextCoCreateInstance;

HANDLE WINAPI CountCreateFileA(LPCSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f,
                               HANDLE g) {
  HANDLE h = NextCreateFileA(a, b, c, d, e, f, g);
  Opened(h, "CreateFileA");
  return h;
}
HANDLE WINAPI CountCreateFileW(LPCWSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e,
                               DWORD f, HANDLE g) {
  HANDLE h = NextCreateFileW(a, b, c, d, e, f, g);
  Opened(h, "CreateFileW");
  return h;
}
HANDLE WINAPI CountCreateFileMappingA(HANDLE a, LPSECURITY_ATTRIBUTES b, DWORD c, DWORD d, DWORD e,
                                      LPCSTR f) {
  if (DiskFull) {  // growing a file through a mapping needs the room on the disk
    SetLastError(ERROR_DISK_FULL);
    return nullptr;
  }
  HANDLE h = NextCreateFileMappingA(a, b, c, d, e, f);
  Opened(h, "CreateFileMappingA");
  return h;
}
HANDLE WINAPI CountCreateEventA(LPSECURITY_ATTRIBUTES a, BOOL b, BOOL c, LPCSTR d) {
  HANDLE h = NextCreateEventA(a, b, c, d);
  Opened(h, "CreateEventA");
  return h;
}
HANDLE WINAPI CountCreateEventW(LPSECURITY_ATTRIBUTES a, BOOL b, BOOL c, LPCWSTR d) {
  HANDLE h = NextCreateEventW(a, b, c, d);
  Opened(h, "CreateEventW");
  return h;
}
BOOL WINAPI CountOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
  BOOL done = NextOpenProcessToken(process, access, token);
  if (done && token) Opened(*token, "OpenProcessToken");
  return done;
}
HANDLE WINAPI CountCreateSemaphoreA(LPSECURITY_ATTRIBUTES a, LONG b, LONG c, LPCSTR d) {
  HANDLE h = NextCreateSemaphoreA(a, b, c, d);
  Opened(h, "CreateSemaphoreA");
  return h;
}
HANDLE WINAPI CountCreateThread(LPSECURITY_ATTRIBUTES a, SIZE_T b, LPTHREAD_START_ROUTINE c,
                                LPVOID d, DWORD e, LPDWORD f) {
  HANDLE h = NextCreateThread(a, b, c, d, e, f);
  Opened(h, "CreateThread");
  return h;
}
HANDLE WINAPI CountOpenProcess(DWORD a, BOOL b, DWORD c) {
  HANDLE h = NextOpenProcess(a, b, c);
  Opened(h, "OpenProcess");
  return h;
}
BOOL WINAPI CountDuplicateHandle(HANDLE a, HANDLE b, HANDLE c, LPHANDLE d, DWORD e, BOOL f,
                                 DWORD g) {
  BOOL done = NextDuplicateHandle(a, b, c, d, e, f, g);
  if (done && d && c == GetCurrentProcess()) Opened(*d, "DuplicateHandle");
  return done;
}
BOOL WINAPI CountCloseHandle(HANDLE h) {
  EnterCriticalSection(&HandleLock);
  LiveHandles.erase(h);
  LeaveCriticalSection(&HandleLock);
  return NextCloseHandle(h);
}
// Only a file that grows needs room: a write within its length, or cutting one short, works on
// a full disk too. A write that would grow the file takes no byte.
BOOL WINAPI FullWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  LARGE_INTEGER zero = {}, at = {}, length = {};
  if (DiskFull && GetFileType(file) == FILE_TYPE_DISK && SetFilePointerEx(file, zero, &at, FILE_CURRENT) &&
      GetFileSizeEx(file, &length) && at.QuadPart + size > length.QuadPart) {
    if (written) *written = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return NextWriteFile(file, data, size, written, overlapped);
}
BOOL WINAPI FullSetEndOfFile(HANDLE file) {
  LARGE_INTEGER zero = {}, at = {}, size = {};
  if (DiskFull && SetFilePointerEx(file, zero, &at, FILE_CURRENT) && GetFileSizeEx(file, &size) &&
      at.QuadPart > size.QuadPart) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return NextSetEndOfFile(file);
}

// The speech engine is the test voice, made straight from its DLL: nothing is registered.
HRESULT WINAPI VoiceClassFromProgId(LPCOLESTR progId, LPCLSID classId) {
  NextClsidFromProgId(progId, classId);
  if (classId) *classId = kFakeVoiceClass;
  return S_OK;
}
HRESULT WINAPI CreateVoice(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID iid,
                           LPVOID* object) {
  if (!IsEqualCLSID(classId, kFakeVoiceClass))
    return NextCoCreateInstance(classId, outer, context, iid, object);
  using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, LPVOID*);
  auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("fake_voice.dll"), "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  HRESULT result = get ? get(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory)) : E_FAIL;
  if (FAILED(result)) return result;
  result = factory->CreateInstance(outer, iid, object);
  factory->Release();
  return result;
}

// Points the import at replacement, which calls on to what was there. A module that stayed
// mapped since its last load may still point at replacement itself: next stays as it was.
template <typename F>
void Chain(HMODULE module, const char* dll, const char* function, F replacement, F* next) {
  void* previous = HookImport(module, dll, function, reinterpret_cast<void*>(replacement));
  if (previous && previous != reinterpret_cast<void*>(replacement)) *next = reinterpret_cast<F>(previous);
}

void InstallChaosHooks(HMODULE module) {
  InstallRecorders(module);
  Calls.realTray = false;  // no shell to show icons: the records are what counts
  Calls.appBar = [](UINT message, PAPPBARDATA data) -> UINT_PTR {  // a taskbar at the bottom
    if (message != ABM_GETTASKBARPOS || !data) return 0;
    data->uEdge = ABE_BOTTOM;
    data->rc = {0, 738, 1024, 768};
    return TRUE;
  };
  HookImport(module, "user32.dll", "SetTimer", reinterpret_cast<void*>(VirtualSetTimer));
  HookImport(module, "user32.dll", "KillTimer", reinterpret_cast<void*>(VirtualKillTimer));
  Chain(module, "kernel32.dll", "CreateFileA", CountCreateFileA, &NextCreateFileA);
  Chain(module, "kernel32.dll", "CreateFileW", CountCreateFileW, &NextCreateFileW);
  Chain(module, "kernel32.dll", "CreateFileMappingA", CountCreateFileMappingA, &NextCreateFileMappingA);
  Chain(module, "kernel32.dll", "CreateEventA", CountCreateEventA, &NextCreateEventA);
  Chain(module, "kernel32.dll", "CreateEventW", CountCreateEventW, &NextCreateEventW);
  Chain(module, "advapi32.dll", "OpenProcessToken", CountOpenProcessToken, &NextOpenProcessToken);
  Chain(module, "kernel32.dll", "WriteFile", FullWriteFile, &NextWriteFile);
  Chain(module, "kernel32.dll", "CreateSemaphoreA", CountCreateSemaphoreA, &NextCreateSemaphoreA);
  Chain(module, "kernel32.dll", "CreateThread", CountCreateThread, &NextCreateThread);
  Chain(module, "kernel32.dll", "OpenProcess", CountOpenProcess, &NextOpenProcess);
  Chain(module, "kernel32.dll", "DuplicateHandle", CountDuplicateHandle, &NextDuplicateHandle);
  Chain(module, "kernel32.dll", "CloseHandle", CountCloseHandle, &NextCloseHandle);
  Chain(module, "kernel32.dll", "SetEndOfFile", FullSetEndOfFile, &NextSetEndOfFile);
  Calls.failMapView = DiskFull;  // the recorders start afresh at each load
  Chain(module, "ole32.dll", "CLSIDFromProgID", VoiceClassFromProgId, &NextClsidFromProgId);
  Chain(module, "ole32.dll", "CoCreateInstance", CreateVoice, &NextCoCreateInstance);
}

// --- resources --------------------------------------------------------------------------------

struct Resources {
  int gdi = 0, windows = 0, handles = 0, threads = 0, timers = 0, icons = 0;
  SIZE_T privateBytes = 0;
};

std::set<std::pair<HWND, UINT>> LiveIcons;  // tray icons added and not deleted
UINT TrayCallback = 0;                      // the message the icon's mouse events come as
HWND TrayWindow = nullptr;

// Takes in the tray calls recorded since the last look.
void NoteTrayCalls() {
  for (const TrayCall& call : Calls.tray) {
    bool wide = call.record.cbSize == 0;
    HWND window = wide ? call.wideRecord.hWnd : call.record.hWnd;
    UINT id = wide ? call.wideRecord.uID : call.record.uID;
    if (call.message == NIM_ADD) {
      LiveIcons.insert({window, id});
      TrayCallback = wide ? call.wideRecord.uCallbackMessage : call.record.uCallbackMessage;
      TrayWindow = window;
    } else if (call.message == NIM_DELETE) {
      LiveIcons.erase({window, id});
    }
  }
  Calls.tray.clear();
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int ProcessThreads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  int n = 0;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    n += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
  CloseHandle(snapshot);
  return n;
}

Resources Measure() {
  Resources r;
  NoteTrayCalls();
  r.gdi = static_cast<int>(Calls.liveObjects.size()) + Calls.windowDcsHeld;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&r.windows));
  r.handles = LiveHandleCount();
  r.threads = ProcessThreads();
  r.timers = LiveTimers();
  r.icons = static_cast<int>(LiveIcons.size());
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof memory))
    // Wine leaves PrivateUsage 0; its PagefileUsage is the process's anonymous memory.
    r.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
  return r;
}

std::string Shown(const Resources& r) {
  char text[200];
  std::snprintf(text, sizeof text,
                "GDI objects %d, windows %d, kernel handles %d, threads %d, timers %d, tray icons "
                "%d, private bytes %lu KB",
                r.gdi, r.windows, r.handles, r.threads, r.timers, r.icons,
                static_cast<unsigned long>(r.privateBytes / 1024));
  return text;
}

// While loaded the plug-in holds a popup's few objects, a file and its mapping, a speech
// worker or two: these bounds are far above that and far below a leak over a long run.
constexpr int kMostGdiObjects = 16;
constexpr int kMostHandles = 32;
constexpr int kMostTimers = 16;
// What the runtime of a module that stays mapped may keep: its locks, made once.
constexpr int kRuntimeLocks = 4;
// At each unload against the first unload's figures: the threads and the private bytes may
// differ by this much (Wine's own threads and heaps come and go).
constexpr int kThreadTolerance = 1;
constexpr SIZE_T kPrivateBytesTolerance = 8 * 1024 * 1024;

// --- the world: folder, files, players ----------------------------------------------------

std::string Dir;  // with a trailing backslash
std::string DllCopy, Ini, TemplateFile, NotPlayingFile, OutputFile, ReadOnlyFile, FolderPath,
    MissingPath, LongPath, CoverFile, CoverMissingFile;

const char kTemplate[] = "BEGIN|%FullTitle%|%Artist%|%FileName%|%Length%|END\r\n";
const char kNotPlaying[] = "NOTPLAYING\r\n";

const char* const kKnownFiles[] = {"gen_tunecrier.dll", "gen_tunecrier.ini", "template.txt",
                                   "notplaying.txt", "out.txt", "readonly.txt", "afolder",
                                   "cover.img", "nocover.png"};
const char kNoCover[] = "NO COVER";

// The player's album-art service, and the covers it has: stored as they are for most tracks,
// only as pixels for one (written as a PNG), none for the last.
sim::AlbumArtServices* Services = nullptr;
std::string StoredCover(int track) { return "STORED COVER " + std::to_string(track); }

sim::Player* Ansi = nullptr;
sim::Player* Unicode = nullptr;
sim::Player* Host = nullptr;  // the one the plug-in is loaded into, or last was
bool Loaded = false;

// The titles any window may show: every text the output's first field can come from.
std::vector<std::string> TitleSkeletons;

// Only letters and digits of ASCII: what every encoding and every cut keeps of a title.
std::string Skeleton(const std::string& text) {
  std::string s;
  for (unsigned char c : text)
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) s += static_cast<char>(c);
  return s;
}

const std::string kLongTitle = [] {
  std::string t;
  while (t.size() < 10000) t += "Long ";
  return t.substr(0, 10000);
}();
const std::string kForeignTitle = "3. \xE5\x9D\x82\xE6\x9C\xAC - \xD0\x9C\xD1\x83\xD0\xBC\xD0\xB8\xD0\xB9 - Winamp";
const std::wstring kSurrogateTitle = L"4. Lone\xD800 Half - Sur\xDC00rogate - Winamp";

std::vector<sim::Track> Playlist() {
  const char* const names[][2] = {{"Alpha Band", "First Light"}, {"Beta", "Second"},
                                  {"Gamma Ray", "Third Time"},   {"Delta", "Fourth"},
                                  {"Epsilon", "Fifth Avenue"},   {"Zeta", "Sixth Sense"}};
  std::vector<sim::Track> list;
  for (const auto& name : names) {
    sim::Track track;
    track.artist = name[0];
    track.title = name[1];
    track.file = std::string("C:\\Music\\") + name[1] + ".mp3";
    track.meta = {{"artist", name[0]}, {"title", name[1]}};
    list.push_back(track);
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    std::string title = sim::Player::TitleFor(static_cast<int>(i), list[i]);
    for (const char* suffix : {"", " [Stopped]", " [Paused]"})
      TitleSkeletons.push_back(Skeleton(title + suffix));
  }
  for (const std::string& t : {kLongTitle, kForeignTitle, std::string("4. Lone Half - Surrogate - Winamp")})
    TitleSkeletons.push_back(Skeleton(t));
  return list;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fail("the driver cannot write " + path);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

bool IsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void MakeWorld() {
  char temp[MAX_PATH] = {}, name[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  GetTempFileNameA(temp, "tch", 0, name);
  DeleteFileA(name);
  if (!CreateDirectoryA(name, nullptr)) Fail(std::string("cannot make ") + name);
  Dir = std::string(name) + "\\";
  Ini = Dir + "gen_tunecrier.ini";
  TemplateFile = Dir + "template.txt";
  NotPlayingFile = Dir + "notplaying.txt";
  OutputFile = Dir + "out.txt";
  ReadOnlyFile = Dir + "readonly.txt";
  FolderPath = Dir + "afolder";
  MissingPath = Dir + "missing\\nothere.txt";
  LongPath = Dir + std::string(300, 'x') + ".txt";
  CoverFile = Dir + "cover.img";
  CoverMissingFile = Dir + "nocover.png";
  WriteFileBytes(CoverMissingFile, kNoCover);
  WriteFileBytes(TemplateFile, kTemplate);
  WriteFileBytes(NotPlayingFile, kNotPlaying);
  WriteFileBytes(ReadOnlyFile, "READONLY");
  SetFileAttributesA(ReadOnlyFile.c_str(), FILE_ATTRIBUTE_READONLY);
  CreateDirectoryA(FolderPath.c_str(), nullptr);
}

void RemoveWorld() {
  for (const char* name : kKnownFiles) {
    std::string path = Dir + name;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(path.c_str())) RemoveDirectoryA(path.c_str());
  }
  RemoveDirectoryA(Dir.c_str());
}

// --- the output file: only texts the plug-in could have written ----------------------------

enum class Form { Ansi, Utf8, Utf16 };
bool ManyEntriesAllowed = false;  // an append or prepend mode was in use since the file was new
bool ModeMayAdd = false;          // the plug-in may be in an append or prepend mode now

std::string Encoded(const std::string& ascii, Form form) {
  if (form != Form::Utf16) return ascii;
  std::string wide;
  for (char c : ascii) wide += std::string{c, '\0'};
  return wide;
}

bool At(const std::string& bytes, std::size_t at, const std::string& what) {
  return bytes.compare(at, what.size(), what) == 0;
}

std::string Decoded(const std::string& bytes, Form form) {
  if (form == Form::Utf16) {
    std::wstring wide(bytes.size() / 2, L'\0');
    std::memcpy(wide.data(), bytes.data(), wide.size() * 2);
    return sim::Utf8(wide);
  }
  return bytes;  // only its ASCII letters and digits are compared
}

// The first field must come from one of the titles, with no line break; no field holds a
// zero. (The other fields hold what the player answered, and a garbled answer, a file name
// read from any readable memory, may hold line breaks.)
std::string CheckEntry(const std::string& fields, Form form, std::size_t at) {
  std::string text = Decoded(fields, form);
  std::string first = text.substr(0, text.find('|'));
  if (text.find('\0') != std::string::npos || first.find('\n') != std::string::npos)
    Fail("the output file's entry at byte " + std::to_string(at) + " holds a zero or a line break: " +
         harness::Shown(fields.substr(0, 200)));
  std::string title = Skeleton(first);
  for (const std::string& skeleton : TitleSkeletons)
    if (skeleton.find(title) != std::string::npos) return title;
  Fail("the output file's entry at byte " + std::to_string(at) + " has a title no window showed: " +
       harness::Shown(text.substr(0, 200)));
}

// What a look at the output file found.
struct OutputSeen {
  bool read = false;                           // a file, and it could be read
  bool firstAnnounces = false, lastAnnounces = false;  // its first or last entry is the template's
  std::string bytes;
  std::string firstTitle, lastTitle;  // the skeletons of those entries' titles
};

// In overwrite mode, the output file as the last broadcast found it: every announcement is
// broadcast once written, so until the next one the file holds it, the "Not Playing" text, or
// nothing.
std::string LastAnnounced;
bool KnowLastAnnounced = false;
long ComparedWithBroadcast = 0;  // steps after which the file was held against it

// The file, read whole, is a sequence of entries (the template's or the "Not Playing" text, in
// any of the three encodings, UTF-16 marks between them); one at most in overwrite mode.
OutputSeen CheckOutput() {
  OutputSeen seen;
  if (IsFolder(OutputFile)) return seen;
  HANDLE file = CreateFileA(OutputFile.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return seen;
  seen.read = true;
  std::string bytes(static_cast<std::size_t>(GetFileSize(file, nullptr)), '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  seen.bytes = bytes;
  int entries = 0;
  std::size_t at = 0;
  while (at < bytes.size()) {
    if (At(bytes, at, "\xFF\xFE")) {
      at += 2;
      continue;
    }
    bool matched = false;
    for (Form form : {Form::Utf16, Form::Ansi}) {
      std::string begin = Encoded("BEGIN|", form), end = Encoded("|END\r\n", form);
      std::string notPlaying = Encoded(kNotPlaying, form);
      if (At(bytes, at, notPlaying)) {
        at += notPlaying.size();
        seen.lastAnnounces = false;
      } else if (At(bytes, at, begin)) {
        seen.firstAnnounces = seen.firstAnnounces || entries == 0;
        seen.lastAnnounces = true;
        std::size_t stop = bytes.find(end, at + begin.size());
        if (form == Form::Utf16)
          while (stop != std::string::npos && (stop - at) % 2 != 0) stop = bytes.find(end, stop + 1);
        if (stop == std::string::npos)
          Fail("the output file's entry at byte " + std::to_string(at) + " has no end: " +
               harness::Shown(bytes.substr(at, 200)));
        seen.lastTitle = CheckEntry(bytes.substr(at + begin.size(), stop - at - begin.size()), form, at);
        if (entries == 0) seen.firstTitle = seen.lastTitle;
        at = stop + end.size();
      } else {
        continue;
      }
      matched = true;
      ++entries;
      break;
    }
    if (!matched)
      Fail("the output file is garbled at byte " + std::to_string(at) + ": " +
           harness::Shown(bytes.substr(at, 120)));
  }
  if (entries > 1 && !ManyEntriesAllowed)
    Fail("the output file holds " + std::to_string(entries) + " entries in overwrite mode (WriteMode=" +
         harness::StoredValue(Ini, "WriteMode") + "): " + harness::Shown(bytes.substr(0, 300)));
  // An appending run is cut back now and then so that each look stays short.
  if (bytes.size() > 16384) {
    DeleteFileA(OutputFile.c_str());
    if (!harness::FileExists(OutputFile) || IsFolder(OutputFile)) ManyEntriesAllowed = ModeMayAdd;  // unless held open
  }
  return seen;
}

// A window of another program, as an overlay has, that looks at the file on each broadcast.
LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static const UINT updated = RegisterWindowMessageA("TunecrierOutputFileUpdated");
  if (message == updated) {
    // Called back through the system: nothing may be thrown from here.
    try {
      // Sent to this thread's window, the broadcast comes inside the plug-in's write: the
      // announcement must be in the file already, as its newest entry (at either end). Unless
      // the dialog chose other files: another output, or a template that is missing or a
      // folder, which announces nothing.
      bool ourFiles = harness::StoredValue(Ini, "OutputFile") == OutputFile &&
                      harness::StoredValue(Ini, "TemplateFile") == TemplateFile;
      if (ourFiles && (!harness::FileExists(OutputFile) || IsFolder(OutputFile)))
        Fail("a broadcast came, and there is no output file");
      OutputSeen seen = CheckOutput();  // (which may cut a long file back)
      if (seen.read && ourFiles && !seen.firstAnnounces && !seen.lastAnnounces)
        Fail("a broadcast came before the announcement was in the output file: " +
             harness::Shown(sim::ReadAll(OutputFile).substr(0, 200)));
      // The plug-in read the title it announces from the window just now.
      std::string window = Skeleton(Host->Title());
      bool firstIsNew = seen.firstAnnounces && window.find(seen.firstTitle) != std::string::npos;
      bool lastIsNew = seen.lastAnnounces && window.find(seen.lastTitle) != std::string::npos;
      if (seen.read && ourFiles && (seen.firstAnnounces || seen.lastAnnounces) && !firstIsNew && !lastIsNew)
        Fail("a broadcast came, and the output file's newest title is not the window's: " +
             harness::Shown(seen.bytes.substr(0, 200)) + ", the window: " + harness::Shown(Host->Title().substr(0, 100)));
      KnowLastAnnounced = seen.read && ourFiles && !ModeMayAdd;
      LastAnnounced = seen.bytes;
      if (KnowLastAnnounced) ManyEntriesAllowed = false;  // written whole: the old entries are gone
    } catch (const std::exception& e) {
      Fail(std::string("the driver's look at the output file threw: ") + e.what());
    }
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The cover file, when there is one, holds a track's cover as the service stored it, a whole
// PNG made of its pixels, or the placeholder; the service has every buffer and interface back.
void CheckCover() {
  if (Services->badFrees || Services->badReleases || !Services->liveBuffers.empty() ||
      !Services->liveInterfaces.empty())
    Fail("the album-art service lacks " + std::to_string(Services->liveBuffers.size()) + " buffers and " +
         std::to_string(Services->liveInterfaces.size()) + " interfaces, with " +
         std::to_string(Services->badFrees) + " bad frees and " + std::to_string(Services->badReleases) +
         " bad releases");
  if (!harness::FileExists(CoverFile) || IsFolder(CoverFile)) return;
  std::string bytes = sim::ReadAll(CoverFile);
  static const std::string png = "\x89PNG\r\n\x1a\n", end = "IEND\xAE\x42\x60\x82";
  if (bytes == kNoCover || (At(bytes, 0, png) && bytes.size() > end.size() &&
                            At(bytes, bytes.size() - end.size(), end)))
    return;
  for (int track = 0; track < 6; ++track)
    if (bytes == StoredCover(track)) return;
  Fail("the cover file holds what no cover was: " + harness::Shown(bytes.substr(0, 80)));
}

void CheckFolder() {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((Dir + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    bool known = name == "." || name == "..";
    for (const char* k : kKnownFiles) known = known || lstrcmpiA(k, name.c_str()) == 0;
    if (!known) {
      FindClose(find);
      Fail("a file nobody asked for is left in the folder: " + name);
    }
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

// --- the player's answers -----------------------------------------------------------------

// One request answered with garbage until another answers step changes it.
LPARAM GarbledRequest = -1;
LRESULT GarbledAnswer = 0;
char* Unterminated = nullptr;  // a readable page of 'x' with no zero, an unreadable one after

bool AnswerGarbage(WPARAM, LPARAM code, LRESULT* answer) {
  if (code != GarbledRequest) return false;
  *answer = GarbledAnswer;
  return true;
}

void ChangeAnswers() {
  static const std::vector<LPARAM> numbers = {0, 104, 105, 122, 124, 125, 126};
  static const std::vector<LPARAM> pointers = {211, 214, 335, 1335, 3025};
  static const std::vector<LPARAM> buffers = {290, 296, 297, 298, 3026, 3027};
  const std::vector<LRESULT> values = {0, -1, 1, 3, 0x7FFFFFFF, LRESULT(0x80000000), 12345678};
  const std::vector<LRESULT> addresses = {
      0, 1, reinterpret_cast<LRESULT>(Unterminated + 4096),         // unreadable
      reinterpret_cast<LRESULT>(Unterminated + 4096 - 16),          // no zero before that
      reinterpret_cast<LRESULT>(Unterminated + 4096 - 15),          // odd, for wide texts
      reinterpret_cast<LRESULT>("")};
  int kind = Below(6);
  LPARAM code = kind < 2 ? Pick(numbers) : kind < 4 ? Pick(pointers) : Pick(buffers);
  LRESULT value = kind < 2 ? Pick(values) : kind < 4 ? Pick(addresses) : Below(2);
  bool terminate = !Chance(20), formats = !Chance(10), wide = !Chance(10), nullName = Chance(10);
  bool clear = Chance(40);
  GarbledRequest = clear ? -1 : code;
  GarbledAnswer = value;
  for (sim::Player* p : {Ansi, Unicode}) {
    p->terminateAnswers = clear || terminate;
    p->formatsTitles = clear || formats;
    p->answersWide = clear || wide;
    p->nullFileName = !clear && nullName;
  }
}

// --- another program subclassing the player's window ----------------------------------------

HWND Subclassed = nullptr;
WNDPROC UnderSubclass = nullptr;
bool SubclassedThisLoad = false;
WNDPROC AnsiOwnProc = nullptr, UnicodeOwnProc = nullptr;  // before anyone subclassed

LRESULT CALLBACK OtherSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return IsWindowUnicode(window) ? CallWindowProcW(UnderSubclass, window, message, wParam, lParam)
                                 : CallWindowProcA(UnderSubclass, window, message, wParam, lParam);
}

WNDPROC SetProc(HWND window, WNDPROC proc) {
  LONG_PTR value = reinterpret_cast<LONG_PTR>(proc);
  return reinterpret_cast<WNDPROC>(IsWindowUnicode(window) ? SetWindowLongPtrW(window, GWLP_WNDPROC, value)
                                                           : SetWindowLongPtrA(window, GWLP_WNDPROC, value));
}

WNDPROC ProcOf(HWND window) {
  return reinterpret_cast<WNDPROC>(IsWindowUnicode(window) ? GetWindowLongPtrW(window, GWLP_WNDPROC)
                                                           : GetWindowLongPtrA(window, GWLP_WNDPROC));
}

// Installs over whatever is there, or takes itself out: in the right order (only while it is
// on top), or in the wrong one (putting back what it found, over whatever came since).
void Subclass() {
  bool wrongOrder = Chance(30);
  if (!Subclassed) {
    Subclassed = Host->window();
    UnderSubclass = SetProc(Subclassed, OtherSubclass);
    SubclassedThisLoad = true;
  } else if (wrongOrder || ProcOf(Subclassed) == OtherSubclass) {
    SetProc(Subclassed, UnderSubclass);
    Subclassed = nullptr;
  }
}

// --- the plug-in's lifecycle ----------------------------------------------------------------

Resources Baseline;
bool HaveBaseline = false;
bool ModuleMapped = false;  // still mapped after the last unload (pinned, or held by config)

std::string Choose(const std::vector<std::string>& paths) { return Pick(paths); }

void Load() {
  int kind = Below(2);
  unsigned version = 0x2000 + static_cast<unsigned>(Below(0x3100));
  std::string keys = "[Tunecrier]\r\n";
  auto key = [&](const char* name, const std::string& value) { keys += std::string(name) + "=" + value + "\r\n"; };
  int mode = Chance(60) ? 0 : 1 + Below(2);
  key("Enabled", Chance(90) ? "1" : "0");
  key("TemplateFile", TemplateFile);
  key("NotPlayingFile", NotPlayingFile);
  key("OutputFile", OutputFile);
  key("WriteMode", std::to_string(mode));
  key("TextEncoding", std::to_string(Below(3)));
  key("InitializeOutput", std::to_string(Below(2)));
  key("FlushFileBuffers", std::to_string(Below(2)));
  key("PollingInterval", std::to_string(2 + Below(29)));
  key("PopupEnabled", std::to_string(Below(2)));
  key("PopupTimeout", std::to_string(1 + Below(10)));
  key("PopupFormat", Chance(50) ? "%FullTitle%" : "%Artist% - %Title% [%Length%]");
  key("ReplaceHyphens", std::to_string(Below(2)));
  key("SpeechEnabled", Chance(30) ? "1" : "0");
  key("SpeechFormat", Chance(50) ? "Now playing %FullTitle%" : "%Title% by %Artist%");
  key("WhenSpeaking", std::to_string(Below(2)));
  key("Volume", std::to_string(Below(65)));
  key("CoverArtFile", Chance(75) ? CoverFile : "");
  key("CoverArtMissing", Chance(50) ? CoverMissingFile : "");
  FakeVoiceBehaviour voice = {S_OK, Chance(10) ? E_FAIL : S_OK, Chance(10) ? TRUE : FALSE};  // held: until quit ends it
  if (Loaded) return;
  // A module still mapped keeps its state; it goes back into the window it knows.
  if (!ModuleMapped && !Subclassed) Host = kind ? Unicode : Ansi;
  Host->version = version;
  ModeMayAdd = mode != 0;
  ManyEntriesAllowed = ManyEntriesAllowed || ModeMayAdd;
  WriteFileBytes(Ini, keys);
  FakeVoiceReset(&voice);
  if (!Host->Load(DllCopy, InstallChaosHooks)) Fail("cannot load " + DllCopy);
  Loaded = true;
  SubclassedThisLoad = Subclassed != nullptr;
}

// After quit and FreeLibrary: nothing of the plug-in is left, and the resources are back.
void CheckUnloaded() {
  if (!sim::PumpUntil([] { return Calls.ThreadsEnded(); }, 10000))
    Fail("a speech worker still runs 10 s after unloading");
  PumpPending();
  ModuleMapped = GetModuleHandleA(DllCopy.c_str()) != nullptr;
  Resources now = Measure();
  if (now.timers != 0) Fail("a timer of the plug-in is left after unloading");
  if (now.icons != 0) Fail("a tray icon is left after unloading");
  for (const DialogMade& made : Calls.dialogsMade)
    if (IsWindow(made.made)) Fail("a window of the plug-in is left after unloading");
  if (now.gdi != 0) Fail("GDI objects left after unloading: " + Shown(now));
  // A module that stays mapped (pinned) keeps what its runtime made once, its few locks.
  int runtimeLocks = 0;
  EnterCriticalSection(&HandleLock);
  for (const auto& [handle, by] : LiveHandles)
    runtimeLocks += std::strcmp(by, "CreateSemaphoreA") == 0 || std::strcmp(by, "CreateEventA") == 0;
  std::string firstBy = LiveHandles.empty() ? "" : LiveHandles.begin()->second;
  LeaveCriticalSection(&HandleLock);
  if (now.handles > (ModuleMapped ? std::min(runtimeLocks, kRuntimeLocks) : 0))
    Fail("kernel handles left after unloading, the first made by " + firstBy +
         (ModuleMapped ? " (the module stays mapped)" : "") + ": " + Shown(now));
  // Without another subclass the player has its own procedure back; with one, whatever the
  // window calls may only lead into a module still mapped.
  WNDPROC proc = ProcOf(Host->window());
  WNDPROC own = Host == Ansi ? AnsiOwnProc : UnicodeOwnProc;
  if (!SubclassedThisLoad && proc != own)
    Fail("the player's window procedure is not its own after unloading");
  if (proc != own && proc != OtherSubclass && !ModuleMapped)
    Fail("the player's window calls into the unloaded plug-in");
  if (!HaveBaseline) {
    Baseline = now;
    HaveBaseline = true;
    std::printf("resources at the first unload: %s\n", Shown(now).c_str());
    return;
  }
  if (now.windows != Baseline.windows) Fail("windows changed since the first unload: " + Shown(now));
  if (std::abs(now.threads - Baseline.threads) > kThreadTolerance)
    Fail("threads changed since the first unload: " + Shown(now));
  if (now.privateBytes > Baseline.privateBytes + kPrivateBytesTolerance)
    Fail("private bytes grew since the first unload: " + Shown(now));
}

void Unload() {
  if (!Loaded) return;
  Host->Unload();
  Loaded = false;
  CheckUnloaded();
}

int DialogsGoneAtOnce = 0;

// The configuration dialog, changed at random and closed with OK or Cancel; sometimes the
// volume dialog from it; sometimes the player quits and unloads the plug-in meanwhile.
void Configure() {
  struct Edit {
    int id;
    const char* key;
    std::string text;
  };
  constexpr int kOk = 1, kCancel = 2, kChangeVolume = 1020, kSlider = 1033, kEncoding = 1041;
  // Check boxes and radio buttons; the volume radio button (1020) opens the volume dialog.
  const int checks[] = {1001, 1005, 1032, 1019, 1021, 1022, 1023, 1024, 1025, 1029};
  std::vector<Edit> edits;
  if (Chance(40)) edits.push_back({1007, "TemplateFile", Choose({TemplateFile, TemplateFile, MissingPath, FolderPath, LongPath})});
  if (Chance(40)) edits.push_back({1008, "NotPlayingFile", Choose({NotPlayingFile, NotPlayingFile, MissingPath, FolderPath, LongPath})});
  if (Chance(40)) edits.push_back({1009, "OutputFile", Choose({OutputFile, OutputFile, OutputFile, MissingPath, FolderPath, ReadOnlyFile, LongPath})});
  if (Chance(20)) edits.push_back({1028, "PopupFormat", Choose({"%FullTitle%", "%Artist% - %Title%", "", "%Bogus"})});
  if (Chance(20)) edits.push_back({1031, "SpeechFormat", Choose({"%FullTitle%", "", "Now %Title%"})});
  std::vector<int> clicks;
  for (int i = Below(5); i > 0; --i) clicks.push_back(checks[Below(10)]);
  int encoding = Chance(30) ? Below(3) : -1;
  bool volume = Chance(20), volumeOk = Chance(50), ok = Chance(70), quitInside = Chance(10);
  int level = Below(65);
  if (!Loaded) return;
  std::string iniBefore = sim::ReadAll(Ini);
  int boxes = Calls.Count("MessageBoxA");
  bool appendChosen = false;
  auto finish = [&](HWND dialog) {
    if (quitInside) {
      Host->Unload();
      Loaded = false;
    }
    harness::Click(dialog, ok ? kOk : kCancel);
    if (ok && Calls.Count("MessageBoxA") != boxes) harness::Click(dialog, kCancel);  // could not save
  };
  std::vector<harness::DialogStep> steps;
  steps.push_back({"Tunecrier", [&](HWND dialog) {
                     for (const Edit& e : edits) harness::SetItemText(dialog, e.id, e.text);
                     for (int id : clicks) {
                       harness::Click(dialog, id);
                       appendChosen = appendChosen || id == 1022 || id == 1025;
                     }
                     if (encoding >= 0) {
                       SendDlgItemMessageA(dialog, kEncoding, CB_SETCURSEL, encoding, 0);
                       SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kEncoding, CBN_SELCHANGE),
                                    reinterpret_cast<LPARAM>(GetDlgItem(dialog, kEncoding)));
                     }
                     if (volume) harness::CommandFrom(dialog, kChangeVolume);
                     else finish(dialog);
                   }});
  if (volume) {
    steps.push_back({"Change Volume", [&](HWND dialog) {
                       SendDlgItemMessageA(dialog, kSlider, TBM_SETPOS, TRUE, level);
                       harness::Click(dialog, volumeOk ? kOk : kCancel);
                     }});
    steps.push_back({"Tunecrier", finish});
  }
  Host->ClearLog();
  ::testing::AssertionResult ran = harness::RunDialogs([] { Host->Config(); }, steps, 20000);
  // The dialog may not come at all (memory ran out as it was to open, or, rarely, it is gone
  // before the first look): then nothing was chosen.
  if (!ran && std::strstr(ran.message(), "ended before step 1 ") && !quitInside && Loaded) {
    ++DialogsGoneAtOnce;
    ok = false;  // nothing was chosen: the file must be as it was
  } else if (!ran) {
    Fail(std::string("the dialogs: ") + ran.message());
  }
  ModeMayAdd = ModeMayAdd || appendChosen;
  ManyEntriesAllowed = ManyEntriesAllowed || ModeMayAdd;
  bool saved = ok && Calls.Count("MessageBoxA") == boxes;
  if (!saved && sim::ReadAll(Ini) != iniBefore) Fail("the settings file changed without a saving OK");
  if (saved)
    for (const Edit& e : edits)
      if (harness::StoredValue(Ini, e.key) != e.text)
        Fail(std::string("the settings file holds ") + e.key + "=" + harness::StoredValue(Ini, e.key) +
             " after a saving OK, chosen: " + e.text);
  if (quitInside) CheckUnloaded();
}

// --- the steps --------------------------------------------------------------------------------

// The output file as the environment leaves it for a while.
bool OutputReadOnly = false;
HANDLE OutputLock = INVALID_HANDLE_VALUE;

void SetTitleWide(const std::wstring& title) { SetWindowTextW(Host->window(), title.c_str()); }

struct Step {
  const char* name;
  int weight;
  void (*run)();
};

const Step kSteps[] = {
    // The player.
    {"play a new track", 40, [] { int i = Below(6); Host->Play(i); }},
    {"play the same track again", 8, [] { Host->Play(Host->position); }},
    {"pause", 8, [] { Host->Pause(); }},
    {"stop", 12, [] { Host->Stop(); }},
    {"a burst of playing notifications", 4, [] {
       for (int n = 2 + Below(20); n > 0; --n) SendMessageA(Host->window(), WM_USER, 0, sim::IPC_PLAYING_FILE);
     }},
    {"a new title without a notification", 8, [] {
       int i = Below(6);
       Host->position = i;
       Host->SetTitle(sim::Player::TitleFor(i, Host->playlist[i]));
     }},
    {"an odd window title", 6, [] {
       int which = Below(5);
       if (which == 0) Host->SetTitle("");
       if (which == 1) Host->SetTitle(kLongTitle);
       if (which == 2) Host->SetTitle(" - Winamp");
       if (which == 3) SetTitleWide(kSurrogateTitle);
       if (which == 4) Host->SetTitle(kForeignTitle);
       if (Chance(50)) SendMessageA(Host->window(), WM_USER, 0, sim::IPC_PLAYING_FILE);
     }},
    {"the length unknown for a while", 3, [] { Host->unknownLengthQueries = 1 + Below(15); }},
    {"another player version", 2, [] { Host->version = 0x2000 + static_cast<unsigned>(Below(0x3100)); }},
    {"time passes", 60, [] {
       static const ULONGLONG spans[] = {5, 10, 25, 60, 200, 500, 2000, 6000, 31000};
       AdvanceClock(spans[Below(9)]);
     }},
    // The player's answers.
    {"the player answers differently", 6, ChangeAnswers},
    {"the album-art service fails, or mends", 2, [] {
       using sim::ServiceFault;
       static const ServiceFault faults[] = {ServiceFault::None, ServiceFault::None, ServiceFault::NoFactory,
                                             ServiceFault::NoInterface, ServiceFault::UnknownMessages,
                                             ServiceFault::Fails, ServiceFault::EmptyData, ServiceFault::HugeLength};
       Services->fault = faults[Below(8)];
       void* manager = Chance(15) ? nullptr : Services->manager();  // an older player has none
       for (sim::Player* p : {Ansi, Unicode}) p->apiService = manager;
     }},
    // The user.
    {"the configuration dialog", 1, Configure},
    {"a double-click on the tray icon", 4, [] {
       LPARAM button = Chance(50) ? WM_LBUTTONDBLCLK : WM_RBUTTONDBLCLK;
       if (TrayCallback && IsWindow(TrayWindow)) SendMessageA(TrayWindow, TrayCallback, 0, button);
     }},
    {"the taskbar comes back", 2, [] {
       static const UINT created = RegisterWindowMessageA("TaskbarCreated");
       SendMessageA(Host->window(), created, 0, 0);
     }},
    // The environment.
    {"the output file deleted", 3, [] {
       SetFileAttributesA(OutputFile.c_str(), FILE_ATTRIBUTE_NORMAL);
       DeleteFileA(OutputFile.c_str());
       OutputReadOnly = false;
       if (!harness::FileExists(OutputFile) || IsFolder(OutputFile)) ManyEntriesAllowed = ModeMayAdd;  // unless held open
     }},
    // Each of these lasts until the environment mends, some ten steps later on average: the
    // plug-in spends most of a run writing, and the rest finding it cannot.
    {"the output file read-only", 2, [] {
       OutputReadOnly = true;
       SetFileAttributesA(OutputFile.c_str(), FILE_ATTRIBUTE_READONLY);
     }},
    {"the output file locked by another program", 2, [] {
       if (OutputLock == INVALID_HANDLE_VALUE)
         OutputLock = CreateFileA(OutputFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
     }},
    {"the output file replaced by a folder", 1, [] {
       if (!IsFolder(OutputFile) && OutputLock == INVALID_HANDLE_VALUE) {
         SetFileAttributesA(OutputFile.c_str(), FILE_ATTRIBUTE_NORMAL);
         DeleteFileA(OutputFile.c_str());
         CreateDirectoryA(OutputFile.c_str(), nullptr);
         OutputReadOnly = false;
         if (!harness::FileExists(OutputFile) || IsFolder(OutputFile)) ManyEntriesAllowed = ModeMayAdd;  // unless held open
       }
     }},
    {"the disk full", 2, [] {
       DiskFull = true;
       Calls.failMapView = true;
     }},
    {"the environment mends: the file writable and let go, no folder, room on the disk", 20, [] {
       if (OutputLock != INVALID_HANDLE_VALUE) CloseHandle(OutputLock);
       OutputLock = INVALID_HANDLE_VALUE;
       if (OutputReadOnly) SetFileAttributesA(OutputFile.c_str(), FILE_ATTRIBUTE_NORMAL);
       OutputReadOnly = false;
       if (IsFolder(OutputFile)) RemoveDirectoryA(OutputFile.c_str());
       DiskFull = false;
       Calls.failMapView = false;
     }},
    {"memory runs out once", 3, [] {
       static const std::vector<std::string> after = {"CreateFileA", "SetWindowPos", "GetDC",
                                                      "LoadImageA", "CreateDialogParamA", "MapViewOfFile",
                                                      "Shell_NotifyIconA", "Shell_NotifyIconW",
                                                      "RegisterWindowMessageA", "CreateThread"};
       Calls.failAllocationAfter = Pick(after);
       for (int n = 1 + Below(3); n > 0; --n) {
         if (Chance(50)) Host->Play(Below(6));
         AdvanceClock(Chance(50) ? 25 : 500);
       }
       Calls.failAllocationAfter.clear();
       DisarmAllocationFailure();
     }},
    {"another program subclasses the player's window, or stops", 2, Subclass},
    // The lifecycle.
    {"quit and unload", 2, Unload},
    {"load and init", 30, Load},
};

// Every step is drawn from the whole table, loaded or not: a step that cannot happen now does
// nothing, so the draws do not depend on what the plug-in did.
const Step& DrawStep() {
  static const int total = [] {
    int sum = 0;
    for (const Step& s : kSteps) sum += s.weight;
    return sum;
  }();
  int at = Below(total);
  for (const Step& s : kSteps) {
    if (at < s.weight) return s;
    at -= s.weight;
  }
  return kSteps[0];
}

// Between steps: the bounds while loaded, the output file, the folder; the recorders' lists
// emptied so that a long run does not grow them.
void CheckStep() {
  NoteTrayCalls();
  int gdi = static_cast<int>(Calls.liveObjects.size()) + Calls.windowDcsHeld;
  if (gdi > kMostGdiObjects) Fail("GDI objects grow: " + std::to_string(gdi));
  if (LiveHandleCount() > kMostHandles) Fail("kernel handles grow: " + std::to_string(LiveHandleCount()));
  if (LiveTimers() > kMostTimers) Fail("timers grow: " + std::to_string(LiveTimers()));
  if (LiveIcons.size() > 1) Fail("more than one tray icon");
  OutputSeen seen = CheckOutput();
  bool compare = KnowLastAnnounced && !ManyEntriesAllowed && seen.firstAnnounces;
  ComparedWithBroadcast += compare;
  if (compare && seen.bytes != LastAnnounced)
    Fail("the output file holds another announcement than the last one broadcast: " +
         harness::Shown(seen.bytes.substr(0, 200)) + ", broadcast: " + harness::Shown(LastAnnounced.substr(0, 200)));
  CheckCover();
  CheckFolder();
  Host->ClearLog();
  Calls.fileOpens.clear();
  Calls.profileWrites.clear();
  Calls.moves.clear();
  Calls.textDraws.clear();
  Calls.frames.clear();
  Calls.fonts.clear();
  Calls.imageLoads.clear();
  Calls.loadedImages.clear();
  Calls.registeredMessages.clear();
  Calls.appBarMessages.clear();
  Calls.destroyed.clear();
  Calls.mouseTracks.clear();
  Calls.progIds.clear();
  Calls.shellExecutes.clear();
  Calls.messageBoxes.clear();
  Calls.fileDialogs.clear();
  Calls.dialogsMade.erase(std::remove_if(Calls.dialogsMade.begin(), Calls.dialogsMade.end(),
                                         [](const DialogMade& d) { return !IsWindow(d.made); }),
                          Calls.dialogsMade.end());
  if (Calls.ThreadsEnded() && FakeVoiceSpeaking() == 0) {  // no worker adds to these meanwhile
    for (const ThreadStart& start : Calls.threads) CloseHandle(start.waitable);
    Calls.threads.clear();
    Calls.comInits.clear();
    Calls.comUninits.clear();
    Calls.comCreates.clear();
    Calls.progIdLookups.clear();
  }
}

}  // namespace

int main(int argc, char** argv) {
  long steps = 5000;
  std::string dll = harness::ExeDir() + "gen_tunecrier.dll";
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--steps" && i + 1 < argc) steps = std::atol(argv[++i]);
    else if (arg == "--seed" && i + 1 < argc) Seed = std::strtoull(argv[++i], nullptr, 10);
    else if (arg == "--dll" && i + 1 < argc) dll = DllArgument = argv[++i];
    else if (arg == "--expect-failure") ExpectFailure = true;
    else if (arg == "--trace") Trace = true;
    else {
      std::printf("usage: chaos [--steps N] [--seed S] [--dll PATH] [--expect-failure] [--trace]\n");
      return 2;
    }
  }
  if (dll.find_first_of("\\/") == std::string::npos) dll = harness::ExeDir() + dll;  // beside this program
  RandomState = Seed;
  SetUnhandledExceptionFilter(FailOnCrash);
  std::set_terminate([] { Fail("std::terminate: an exception nobody caught"); });
  std::signal(SIGABRT, [](int) { Fail("abort"); });
  InitializeCriticalSection(&HandleLock);
  HANDLE self = OpenThread(THREAD_QUERY_INFORMATION | THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE,
                           GetCurrentThreadId());
  WindowThread = self;
  CloseHandle(CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));

  MakeWorld();
  DllCopy = Dir + "gen_tunecrier.dll";
  if (!CopyFileA(dll.c_str(), DllCopy.c_str(), FALSE)) Fail("cannot copy " + dll);
  Unterminated = static_cast<char*>(VirtualAlloc(nullptr, 8192, MEM_COMMIT, PAGE_READWRITE));
  std::memset(Unterminated, 'x', 4096);
  DWORD old = 0;
  VirtualProtect(Unterminated + 4096, 4096, PAGE_NOACCESS, &old);

  WNDCLASSA listener = {};
  listener.lpfnWndProc = ListenerProc;
  listener.hInstance = GetModuleHandleA(nullptr);
  listener.lpszClassName = "ChaosOverlay";
  RegisterClassA(&listener);
  CreateWindowExA(0, "ChaosOverlay", "overlay", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                  GetModuleHandleA(nullptr), nullptr);
  sim::Player ansi(0x5000, sim::WindowKind::Ansi), unicode(0x5000, sim::WindowKind::Unicode);
  Ansi = &ansi;
  Unicode = &unicode;
  for (sim::Player* p : {Ansi, Unicode}) {
    p->playlist = Playlist();
    p->answersFirst = AnswerGarbage;
  }
  sim::AlbumArtServices services;
  Services = &services;
  for (int track = 0; track < 4; ++track) services.stored[Ansi->playlist[track].file] = StoredCover(track);
  services.decoded[Ansi->playlist[4].file] = {2, 2, {0xFF102030, 0x80FFFFFF, 0x00000000, 0xFFFF0000}};
  for (sim::Player* p : {Ansi, Unicode}) p->apiService = services.manager();
  Host = Ansi;
  AnsiOwnProc = ProcOf(Ansi->window());
  UnicodeOwnProc = ProcOf(Unicode->window());

  std::printf("chaos: seed %llu, %ld steps, %s\n", Seed, steps, dll.c_str());
  std::printf("resources at the start: %s\n", Shown(Measure()).c_str());
  DWORD started = GetTickCount();
  for (StepNumber = 1; StepNumber <= steps; ++StepNumber) {
    const Step& step = DrawStep();
    StepName = step.name;
    LastSteps[StepNumber % kStepsRemembered] = StepName;
    if (Trace) std::printf("%ld %s\n", StepNumber, StepName), std::fflush(stdout);
    ULONGLONG cpu = ThreadCpu(self);
    StepStartedAt = GetTickCount() | 1;
    step.run();
    PumpPending();
    StepStartedAt = 0;
    if (ThreadCpu(self) - cpu > kStepCpuLimit) Fail("the step took more than 2 s of the window thread");
    CheckStep();
    if (StepNumber % 100000 == 0) {
      std::printf("%ld steps, %.0f a second; %s\n", StepNumber,
                  StepNumber * 1000.0 / std::max<DWORD>(1, GetTickCount() - started),
                  Shown(Measure()).c_str());
      std::fflush(stdout);
    }
  }
  StepName = "the end";
  Unload();
  if (OutputLock != INVALID_HANDLE_VALUE) CloseHandle(OutputLock);
  if (Subclassed) SetProc(Subclassed, UnderSubclass);
  DWORD ms = std::max<DWORD>(1, GetTickCount() - started);
  std::printf("%ld steps in %.1f s, %.0f a second\n", steps, ms / 1000.0, steps * 1000.0 / ms);
  std::printf("resources at the end: %s\n", Shown(Measure()).c_str());
  std::printf("album-art calls: %d, buffers freed: %d; steps after which the output file was the last "
              "broadcast's: %ld\n", services.artCalls, services.frees, ComparedWithBroadcast);
  if (DialogsGoneAtOnce) std::printf("configuration dialogs gone before the first look: %d\n", DialogsGoneAtOnce);
  RemoveWorld();
  if (ExpectFailure) {
    std::printf("the planted fault was not found in %ld steps\n0 passed, 1 failed\n", steps);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 1);
  }
  std::printf("1 passed, 0 failed\n");
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 0);  // the plug-in's module may be pinned: no detach
}

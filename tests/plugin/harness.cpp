// The plug-in tests' fixture and helpers.
#include "harness.h"

#include <cstdio>

namespace harness {

namespace {

void WINAPI NoDebugOutput(LPCSTR) {}

// GoogleTest copies every failure to OutputDebugStringA, which raises an exception that the
// system catches again. Where Wine's 32-bit half runs under qemu, unwinding that exception
// kills the process, and with it every result after the first failure: the test program's
// own import is pointed at a no-op instead.
const bool kDebugOutputOff =
    HookImport(GetModuleHandleA(nullptr), "kernel32.dll", "OutputDebugStringA",
               reinterpret_cast<void*>(NoDebugOutput)) != nullptr;

// A crash ends the process at once, saying what and where (scripts/test then names the case it
// died in). GoogleTest built with MinGW-w64 does not catch such exceptions, and left to Wine an
// unhandled one starts its debugger, which under qemu hangs until the run's time limit.
LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* crash) {
  const EXCEPTION_RECORD& record = *crash->ExceptionRecord;
  std::fprintf(stderr, "\nCRASHED: exception 0x%08lX at %p\n",
               static_cast<unsigned long>(record.ExceptionCode), record.ExceptionAddress);
  std::fflush(stderr);
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), record.ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

const bool kCrashesEndTheProcess = (SetUnhandledExceptionFilter(EndOnCrash), true);

}  // namespace

std::string ExeDir() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir = path;
  return dir.substr(0, dir.rfind('\\') + 1);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write " << path;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Shown(const std::string& bytes) {
  std::string shown = "\"";
  for (unsigned char c : bytes) {
    if (c == '\n') shown += "\\n";
    else if (c == '\r') shown += "\\r";
    else if (c == '"') shown += "\\\"";
    else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    } else shown += static_cast<char>(c);
  }
  return shown + "\" (" + std::to_string(bytes.size()) + " bytes)";
}

::testing::AssertionResult FileHolds(const std::string& path, const std::string& expected) {
  if (!FileExists(path)) return ::testing::AssertionFailure() << path << " does not exist";
  std::string seen = sim::ReadAll(path);
  if (seen == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << " holds " << Shown(seen) << ", expected "
                                       << Shown(expected);
}

::testing::AssertionResult FileMissing(const std::string& path) {
  if (!FileExists(path)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << " exists, holding " << Shown(sim::ReadAll(path));
}

std::vector<std::string> FilesOpenedBut(const std::string& iniPath) {
  std::vector<std::string> opened;
  for (const FileOpen& open : Calls.fileOpens)
    if (lstrcmpiA(open.path.c_str(), iniPath.c_str()) != 0) opened.push_back(open.path);
  return opened;
}

std::string StoredValue(const std::string& iniPath, const char* key) {
  char value[1024] = {};
  GetPrivateProfileStringA("Tunecrier", key, "(missing)", value, sizeof value, iniPath.c_str());
  return value;
}

::testing::AssertionResult Eventually(const std::function<bool()>& done, const std::string& what,
                                      DWORD timeoutMs) {
  if (sim::PumpUntil(done, timeoutMs)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "not seen within " << timeoutMs << " ms: " << what;
}

BroadcastListener::BroadcastListener()
    : message_(RegisterWindowMessageA("TunecrierOutputFileUpdated")) {
  static ATOM atom = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TunecrierTestListener";
    return RegisterClassA(&wc);
  }();
  (void)atom;
  window_ = CreateWindowExA(0, "TunecrierTestListener", "listener", WS_OVERLAPPED, 0, 0, 10, 10,
                            nullptr, nullptr, GetModuleHandleA(nullptr), this);
}

BroadcastListener::~BroadcastListener() {
  if (window_) DestroyWindow(window_);
}

LRESULT CALLBACK BroadcastListener::Procedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* listener = reinterpret_cast<BroadcastListener*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (listener && listener->message_ != 0 && message == listener->message_) {
    ++listener->count;
    if (listener->onBroadcast) listener->onBroadcast();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

namespace {

struct DialogRun {
  std::vector<DialogStep> steps;
  std::size_t next = 0;
  DWORD lastProgress = 0;
  DWORD timeoutMs = 0;
  bool gaveUp = false;
};

DialogRun* Running = nullptr;

bool IsDialogClass(HWND window) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  return lstrcmpA(name, "#32770") == 0;
}

struct StepSearch {
  const std::string* caption;
  HWND found;
};

BOOL CALLBACK MatchStepWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<StepSearch*>(param);
  LONG style = GetWindowLongA(window, GWL_STYLE);
  if ((style & WS_CAPTION) != WS_CAPTION || !IsWindowVisible(window) || !IsWindowEnabled(window) ||
      WindowText(window) != *search->caption)
    return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindStepWindow(const std::string& caption) {
  StepSearch search = {&caption, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchStepWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK EndIfDialog(HWND window, LPARAM) {
  if (IsDialogClass(window)) EndDialog(window, IDCANCEL);
  return TRUE;
}

void EndEveryDialog() { EnumThreadWindows(GetCurrentThreadId(), EndIfDialog, 0); }

void CALLBACK DialogTick(HWND, UINT, UINT_PTR, DWORD) {
  DialogRun* run = Running;
  if (!run || run->gaveUp) return;
  if (GetTickCount() - run->lastProgress > run->timeoutMs) {
    run->gaveUp = true;
    EndEveryDialog();
    return;
  }
  if (run->next >= run->steps.size()) return;
  HWND window = FindStepWindow(run->steps[run->next].caption);
  if (!window) return;
  // Counted before acting: the act may open a nested dialog whose steps run inside it.
  DialogStep& step = run->steps[run->next++];
  run->lastProgress = GetTickCount();
  step.act(window);
  run->lastProgress = GetTickCount();
}

}  // namespace

std::string WindowText(HWND window) {
  char text[4096] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void SetItemText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextA(dialog, id, text.c_str());
}

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void CommandFrom(HWND dialog, int id) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

::testing::AssertionResult RunDialogs(const std::function<void()>& open,
                                      std::vector<DialogStep> steps, DWORD timeoutMs) {
  DialogRun run;
  run.steps = std::move(steps);
  run.timeoutMs = timeoutMs;
  run.lastProgress = GetTickCount();
  DialogRun* outer = Running;
  Running = &run;
  UINT_PTR timer = SetTimer(nullptr, 0, 20, DialogTick);
  open();
  KillTimer(nullptr, timer);
  Running = outer;
  if (run.gaveUp && run.next < run.steps.size())
    return ::testing::AssertionFailure() << "no window \"" << run.steps[run.next].caption
                                         << "\" came for step " << run.next + 1 << " of "
                                         << run.steps.size() << " within " << timeoutMs << " ms";
  if (run.gaveUp)
    return ::testing::AssertionFailure() << "a dialog was still open " << timeoutMs
                                         << " ms after the last step; it was cancelled";
  if (run.next < run.steps.size())
    return ::testing::AssertionFailure() << "the dialog ended before step " << run.next + 1
                                         << " of " << run.steps.size() << " (\""
                                         << run.steps[run.next].caption << "\")";
  return ::testing::AssertionSuccess();
}

sim::Track TaggedTrack() {
  sim::Track track;
  track.file = "C:\\Music\\Tagged.mp3";
  track.length = 3600 + 2 * 60 + 5;
  track.meta = {{"title", "MTitle"},  {"artist", "MArtist"}, {"album", "MAlbum"},
                {"year", "1985"},     {"track", "07"},       {"genre", "Jazz"},
                {"comment", "Fine"},  {"bitrate", "320"},    {"vbr", "1"},
                {"srate", "48000"},   {"stereo", "1"}};
  return track;
}

PluginTest::PluginTest() : player(0x5000) {}

void PluginTest::SetUp() {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  char name[MAX_PATH] = {};
  GetTempFileNameA(temp, "tc", 0, name);  // makes a unique file; its name becomes our folder
  DeleteFileA(name);
  ASSERT_TRUE(CreateDirectoryA(name, nullptr)) << "cannot make " << name;
  dir = std::string(name) + "\\";
  std::string dll = ExeDir() + "gen_tunecrier.dll";
  ASSERT_TRUE(CopyFileA(dll.c_str(), DllPath().c_str(), FALSE)) << "cannot copy " << dll;
}

void PluginTest::TearDown() {
  if (started) Stop();
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dir + "*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name != "." && name != "..") {
        SetFileAttributesA((dir + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA((dir + name).c_str());
      }
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  RemoveDirectoryA(dir.c_str());
}

std::set<std::string> PluginTest::Files() const {
  std::set<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dir + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(found.cFileName);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return names;
}

void PluginTest::WriteIni(const Keys& keys) {
  std::string text = "[Tunecrier]\r\n";
  for (const auto& [key, value] : keys) text += key + "=" + value + "\r\n";
  WriteBytes(IniPath(), text);
}

void PluginTest::WriteEnabledIni(const std::string& templateText,
                                 const std::string& notPlayingText, const Keys& more) {
  WriteBytes(Path("template.txt"), templateText);
  WriteBytes(Path("notplaying.txt"), notPlayingText);
  Keys keys = {{"Enabled", "1"},
               {"TemplateFile", Path("template.txt")},
               {"NotPlayingFile", Path("notplaying.txt")},
               {"OutputFile", Path("out.txt")}};
  keys.insert(keys.end(), more.begin(), more.end());
  WriteIni(keys);
}

void PluginTest::Start(const std::function<void(HMODULE)>& beforeInit) {
  bool loaded = player.Load(DllPath(), [&](HMODULE module) {
    InstallRecorders(module);
    if (beforeInit) beforeInit(module);
  });
  ASSERT_TRUE(loaded) << "cannot load " << DllPath();
  started = true;
}

void PluginTest::Stop(bool keepLoaded) {
  player.Unload(keepLoaded);
  started = false;
}

}  // namespace harness

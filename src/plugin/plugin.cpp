// The export, the PluginHeader and the three entry points: init once after loading, config
// when the user asks, quit once before unloading. Also the host version query and the state
// that init and config set up: the settings, the output target made from them, and the texts.
//
// Lifetime: everything is static and lives as long as the module. Init installs the hook on
// the player's window and, when enabled, the tray icon and the polling timer; quit takes all
// of it away again, timers included, so nothing can call into an unloaded module.
#include "plugin/plugin.h"

#include "base/guarded.h"
#include "config_ui/config_ui.h"
#include "encoding/encoding.h"
#include "notify/notify.h"

SettingsRecord Settings;
std::string IniPath;
OutputTarget Output;
unsigned HostVersion = 0;
std::string HostVersionText;
bool PollingMode = false;
WNDPROC PreviousHostProc = nullptr;
UINT OutputUpdatedMessage = 0;
UINT_PTR UpdateTimer = 0;
std::string TemplateText;
std::string NotPlayingText;

namespace {

constexpr DWORD kModulePathChars = 512;

int __cdecl Init();
void __cdecl Config();
void __cdecl Quit();

PluginHeader Header = {kPluginHeaderVersion, kPluginDescription, Init, Config, Quit, nullptr,
                       nullptr};

// Hexadecimal as "%X" writes it.
std::string UpperHex(unsigned n) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  constexpr unsigned kBase = sizeof kDigits - 1;
  std::string text;
  do {
    text.insert(text.begin(), kDigits[n % kBase]);
    n /= kBase;
  } while (n != 0);
  return text;
}

void QueryHostVersion() {
  HostVersion = host::Version();
  // "%X.%X%X" of the three parts, written without the runtime's printf (see format/forms.cpp).
  HostVersionText = UpperHex(HostVersion >> 12) + "." + UpperHex((HostVersion >> 8) & 0xF) +
                    UpperHex(HostVersion & 0xFF);
}

// ModuleDir (everything up to and including the last backslash) + the INI file's name.
std::string FormIniPath() {
  char path[kModulePathChars] = {};
  DWORD length = GetModuleFileNameA(PluginModule(), path, sizeof path);
  std::string dir(path, length < sizeof path ? length : 0);
  std::size_t slash = dir.rfind('\\');
  dir.erase(slash == std::string::npos ? 0 : slash + 1);
  return dir + kIniFileName;
}

// The settings from the INI file, and the output target every write goes to.
void LoadSettingsAndTarget() {
  Settings = LoadSettings(IniPath, HostVersion);
  Output = {Settings.OutputFile, Settings.WriteMode, Settings.FlushFileBuffers,
            Settings.TextEncoding};
}

WNDPROC CurrentHostProc() {
  return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(HostWindow(), GWLP_WNDPROC));
}

// The two files as texts travel inside: byte for byte in the code page, or decoded to UTF-8.
void ReadTexts() {
  TemplateText = DecodeFile(ReadTextFile(Settings.TemplateFile), Settings.TextEncoding);
  NotPlayingText = DecodeFile(ReadTextFile(Settings.NotPlayingFile), Settings.TextEncoding);
}

// The last popup's text, kept for the tray's left double-click, in a new encoding.
std::string Reencoded(const std::string& text, Encoding from, Encoding to) {
  if (IsUnicode(from) == IsUnicode(to)) return text;
  return IsUnicode(to) ? CodePageToUtf8(text) : Utf8ToCodePage(text);
}

void StartPolling() {
  UpdateTimer = SetTimer(HostWindow(), kPollingTimer, Settings.PollingInterval * 1000, RunUpdate);
}

void KillUpdateTimers() {
  for (UINT_PTR timer = kNotificationTimer; timer <= kPollingTimer; ++timer)
    KillTimer(HostWindow(), timer);
  UpdateTimer = 0;
}

int __cdecl Init() {
  Guarded([] {
    CurrentTitle.clear();
    LastTitle.clear();
    QueryHostVersion();
    IniPath = FormIniPath();
    LoadSettingsAndTarget();
    if (CurrentHostProc() != HostWindowHook) {
      PreviousHostProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
          HostWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HostWindowHook)));
    }
    if (!Settings.Enabled) return;
    ReadTexts();
    if (Settings.InitializeOutput) TruncateOutput(Output);
    OutputUpdatedMessage = RegisterWindowMessageA(kOutputUpdatedMessageName);
    PollingMode = HostVersion < kFirstNotifyingVersion;
    if (Settings.PopupEnabled) AddTrayIcon(Settings.TextEncoding);
    if (PollingMode) StartPolling();
  });
  return 0;
}

void __cdecl Config() {
  Guarded([] {
    if (RunConfigDialog(GetForegroundWindow(), Settings, IniPath) != IDOK) return;
    QueryHostVersion();
    const Encoding before = Settings.TextEncoding;
    LoadSettingsAndTarget();
    PopupText = Reencoded(PopupText, before, Settings.TextEncoding);
    if (Settings.Enabled) {
      ReadTexts();
      CurrentTitle.clear();
      LastTitle.clear();
      OutputUpdatedMessage = RegisterWindowMessageA(kOutputUpdatedMessageName);
      PollingMode = HostVersion < kFirstNotifyingVersion;
      if (Settings.PopupEnabled)
        AddTrayIcon(Settings.TextEncoding);
      else
        RemoveTrayIcon();
      if (PollingMode) {
        if (UpdateTimer != 0) KillTimer(HostWindow(), UpdateTimer);
        StartPolling();
      } else {
        host::SendPlayingNotification();
      }
    } else {
      RemoveTrayIcon();
      if (UpdateTimer != 0) KillTimer(HostWindow(), UpdateTimer);
      // UpdateTimer may name a one-shot timer set after the polling timer; a disabled
      // plug-in must stop polling all the same.
      KillTimer(HostWindow(), kPollingTimer);
      UpdateTimer = 0;
    }
  });
}

void __cdecl Quit() {
  Guarded([] {
    if (Settings.Enabled && Settings.PopupEnabled) RemoveTrayIcon();
    ClosePopup();
    // Only our own hook is taken out; one installed over it keeps the chain it built.
    if (CurrentHostProc() == HostWindowHook)
      SetWindowLongPtrA(HostWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PreviousHostProc));
    // The player unloads us next: no update timer may fire into the freed module.
    KillUpdateTimers();
    if (Settings.Enabled && !NotPlayingText.empty() && !NotPlayingWritten)
      WriteOutput(Output, NotPlayingText);
  });
}

}  // namespace

extern "C" __declspec(dllexport) PluginHeader* __cdecl winampGetGeneralPurposePlugin() {
  return &Header;
}

HWND HostWindow() { return Header.hostWindow; }
HINSTANCE PluginModule() { return Header.module; }

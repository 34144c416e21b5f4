// The export, the PluginHeader and the three entry points: init once after loading, config
// when the user asks, quit once before unloading. Also the host version query and the state
// that init and config set up: the settings, the output target made from them, and the texts.
//
// Lifetime: everything is static and lives as long as the module. Init installs the hook on
// the player's window and, when enabled, the tray icon and the polling timer; quit takes all
// of it away again, timers included, so nothing can call into an unloaded module. Where quit
// cannot take the hook out (another procedure was installed over it), or runs inside a message
// that came through the hook, it pins the module instead. Init in a module kept that way starts
// afresh and puts the hook back where it is no longer in the chain. Config holds a reference
// on the module while its dialog runs and keeps it for good when quit came meanwhile. A module
// kept either way stays mapped for the rest of the process. Quit also ends the speech and puts
// back on the player's own thread what it changed.
#include "plugin/plugin.h"

#include "base/guarded.h"
#include "config_ui/config_ui.h"
#include "encoding/encoding.h"
#include "notify/notify.h"
#include "speech/speech.h"
#include "version.h"

SettingsRecord Settings;
OutputTarget Output;
unsigned HostVersion = 0;
std::string HostVersionText;
WNDPROC PreviousHostProc = nullptr;
bool HostWindowUnicode = false;
bool HasQuit = false;
UINT OutputUpdatedMessage = 0;
std::string TemplateText;
std::string NotPlayingText;

namespace {

constexpr char kPluginDescription[] =
    "Tunecrier v" TUNECRIER_SHORT_VERSION " [gen_tunecrier.dll]";
constexpr char kOutputUpdatedMessageName[] = "TunecrierOutputFileUpdated";

int __cdecl Init();
void __cdecl Config();
void __cdecl Quit();

PluginHeader Header = {kPluginHeaderVersion, kPluginDescription, Init, Config, Quit, nullptr,
                       nullptr};

// The INI file the settings in use came from and the dialog's OK saves to (FindIniPath).
std::string IniPath;

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
  // "%X.%X%X" of the three parts, written without the runtime's printf (see format/tag_forms.cpp).
  HostVersionText = UpperHex(HostVersion >> 12) + "." + UpperHex((HostVersion >> 8) & 0xF) +
                    UpperHex(HostVersion & 0xFF);
}

// The settings from the INI file, and the output target every write goes to.
void LoadSettingsAndTarget() {
  Settings = LoadSettings(IniPath, HostVersion);
  Output = {Settings.OutputFile, Settings.WriteMode, Settings.FlushFileBuffers,
            Settings.TextEncoding};
}

// Read with the functions of the kind the hook was installed with: the other kind may answer
// a stand-in address instead of the procedure itself.
WNDPROC CurrentHostProc() {
  return reinterpret_cast<WNDPROC>(HostWindowUnicode
                                       ? GetWindowLongPtrW(HostWindow(), GWLP_WNDPROC)
                                       : GetWindowLongPtrA(HostWindow(), GWLP_WNDPROC));
}

WNDPROC SetHostProc(WNDPROC procedure) {
  LONG_PTR value = reinterpret_cast<LONG_PTR>(procedure);
  return reinterpret_cast<WNDPROC>(HostWindowUnicode
                                       ? SetWindowLongPtrW(HostWindow(), GWLP_WNDPROC, value)
                                       : SetWindowLongPtrA(HostWindow(), GWLP_WNDPROC, value));
}

// Whether HostWindowHook is in the player's window procedure chain. On top it is seen; under
// another procedure only a message shows it, and only a hook this mapping of the module put
// there before can be. A subclass below it that put back what it replaced has taken it out.
bool HookInChain() {
  if (CurrentHostProc() == HostWindowHook) return true;
  if (!PreviousHostProc) return false;
  HookRan = false;
  SendMessageA(HostWindow(), WM_NULL, 0, 0);  // every procedure passes it on; none acts on it
  return HookRan;
}

// A file's bytes as last read, and the path they were read from.
struct KeptFile {
  std::string path;
  std::string bytes;
};

// The two files as last read: a file that cannot be read now (another program has it locked)
// keeps its bytes, so announcements go on with the last good template. A file of another path
// that cannot be read has no text, as a missing one.
KeptFile TemplateFileRead;
KeptFile NotPlayingFileRead;

void ReadAgain(const std::string& path, KeptFile* file) {
  if (!ReadTextFile(path, &file->bytes) && path != file->path) file->bytes.clear();
  file->path = path;
}

// The two files as texts travel inside: byte for byte in the code page, or decoded to UTF-8.
void ReadTexts() {
  ReadAgain(Settings.TemplateFile, &TemplateFileRead);
  ReadAgain(Settings.NotPlayingFile, &NotPlayingFileRead);
  TemplateText = DecodeFile(TemplateFileRead.bytes, Settings.TextEncoding);
  NotPlayingText = DecodeFile(NotPlayingFileRead.bytes, Settings.TextEncoding);
}

// The last popup's text, kept for the tray's left double-click, in a new encoding.
std::string Reencoded(const std::string& text, Encoding from, Encoding to) {
  if (IsUnicode(from) == IsUnicode(to)) return text;
  return IsUnicode(to) ? CodePageToUtf8(text) : Utf8ToCodePage(text);
}

// The window the configuration dialog belongs to: the one the user works in, unless that is a
// window of ours (the popup, activated by a click), which goes away by itself and would take
// the dialog and the user's choices with it: then the player's.
HWND ConfigOwner() {
  HWND owner = GetForegroundWindow();
  if (owner && reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE)) == PluginModule())
    return HostWindow();
  return owner;
}

// Players that do not notify are polled.
bool Polled() { return HostVersion < host::kFirstNotifyingVersion; }

void StartPolling() { ArmUpdate(kPollingTimer, Settings.PollingInterval * 1000); }

int __cdecl Init() {
  Guarded([] {
    // An earlier run in this mapping of the module (kept by a pin, a speech worker or the
    // dialog) leaves nothing behind.
    HasQuit = false;
    CurrentTitle.clear();
    LastTitle.clear();
    PopupText.clear();
    NotPlayingWritten = false;
    ForgetCoverWrite();
    QueryHostVersion();
    IniPath = FindIniPath(HostVersion, "");
    LoadSettingsAndTarget();
    // A hook left in the chain by an earlier quit serves again; a second one would call itself.
    if (!HookInChain()) {
      HostWindowUnicode = IsWindowUnicode(HostWindow()) != FALSE;
      PreviousHostProc = SetHostProc(HostWindowHook);
    }
    if (!Settings.Enabled) return;
    ReadTexts();
    if (Settings.InitializeOutput) TruncateOutput(Output);
    OutputUpdatedMessage = RegisterWindowMessageA(kOutputUpdatedMessageName);
    if (Settings.PopupEnabled) AddTrayIcon(Settings.TextEncoding);
    if (Polled()) StartPolling();
  });
  return 0;
}

void __cdecl Config() {
  // The player may call quit, and unload us, while the dialog's loop runs.
  HMODULE held = HoldModule(0);
  Guarded([] {
    IniPath = FindIniPath(HostVersion, IniPath);
    // The dialog shows the file as it is now, which a hand edit or a second player may have
    // changed since it was loaded: its OK keeps those values, and Cancel leaves the ones in use.
    SettingsRecord shown = LoadSettings(IniPath, HostVersion);
    // After quit the dialog's OK has saved the settings; the player is no longer ours to touch.
    if (RunConfigDialog(ConfigOwner(), shown, IniPath) != IDOK || HasQuit) return;
    QueryHostVersion();
    const Encoding before = Settings.TextEncoding;
    LoadSettingsAndTarget();
    PopupText = Reencoded(PopupText, before, Settings.TextEncoding);
    if (Settings.Enabled) {
      ReadTexts();
      CurrentTitle.clear();
      LastTitle.clear();
      OutputUpdatedMessage = RegisterWindowMessageA(kOutputUpdatedMessageName);
      if (Settings.PopupEnabled)
        AddTrayIcon(Settings.TextEncoding);
      else
        RemoveTrayIcon();
      if (Polled()) {
        KillArmedUpdates();
        StartPolling();
      } else {
        ArmUpdate(kNotificationTimer, kNotificationDelayMs);
      }
    } else {
      RemoveTrayIcon();
      KillArmedUpdates();
    }
  });
  // Once quit has come, the player's reference may be gone and dropping ours would unmap the
  // code this returns through: it is kept.
  if (held && !HasQuit) FreeLibrary(held);
}

void __cdecl Quit() {
  Guarded([] {
    HasQuit = true;
    EndSpeech();
    if (Settings.Enabled && Settings.PopupEnabled) RemoveTrayIcon();
    ClosePopup();
    // Only our own hook is taken out. One installed over it keeps the chain it built and
    // calls into ours for the life of the window, so this module must stay mapped; so must
    // it when the player quits us inside a message that came through the hook, which returns
    // into it after the player's FreeLibrary.
    bool keep = HookDepth > 0;
    if (CurrentHostProc() == HostWindowHook)
      SetHostProc(PreviousHostProc);
    else
      keep = true;
    if (keep) HoldModule(GET_MODULE_HANDLE_EX_FLAG_PIN);
    // The player unloads us next: no update timer may fire into the freed module.
#ifndef TUNECRIER_PLANTED_FAULT  // defined only for the chaos driver's test copy of the DLL
    KillArmedUpdates();
#endif
    if (Settings.Enabled && !NotPlayingWritten) {
      if (!NotPlayingText.empty()) WriteOutput(Output, NotPlayingText);
      PutCover(std::nullopt);
    }
  });
}

}  // namespace

extern "C" __declspec(dllexport) PluginHeader* __cdecl winampGetGeneralPurposePlugin() {
  return &Header;
}

HWND HostWindow() { return Header.hostWindow; }
HINSTANCE PluginModule() { return Header.module; }

// The update cycle and the hook on the player's main window.
//
// RunUpdate is the one place that notices a new track or a stop and drives every
// announcement: popup and tray tooltip, speech, output file and broadcast, in that order. It
// runs only as the timer procedure of the update timers on the player's window. The hook turns
// the player's playing notification, the shell's "TaskbarCreated" and the tray icon's
// double-clicks into updates and passes every message on to the player.
#include <mbstring.h>

#include "format/format.h"
#include "notify/notify.h"
#include "output/output.h"
#include "plugin/host.h"
#include "plugin/plugin.h"
#include "settings/settings.h"
#include "speech/speech.h"

std::string CurrentTitle;
std::string LastTitle;
std::string PopupText;
bool NotPlayingWritten = false;

namespace {

constexpr int kTitleChars = 2048;
constexpr UINT_PTR kBroadcastWindow = 0xFFFF;  // HWND_BROADCAST: every top-level window

std::string WindowTitle(HWND window) {
  char title[kTitleChars];
  int length = GetWindowTextA(window, title, sizeof title);
  return std::string(title, length > 0 && length < kTitleChars ? length : 0);
}

bool SameTitle(const std::string& a, const std::string& b) {
  return _mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                  reinterpret_cast<const unsigned char*>(b.c_str())) == 0;
}

void ArmUpdate(HWND window, UINT_PTR timer, UINT delayMs) {
  UpdateTimer = SetTimer(window, timer, delayMs, RunUpdate);
}

void HandleStop() {
  if (NotPlayingWritten) return;
  NotPlayingWritten = true;
  PopupText.clear();
  SetTrayTip(kProductName);
  if (!NotPlayingText.empty())
    WriteOutputFile(Settings.OutputFile, NotPlayingText, Settings.WriteMode);
}

void Announce() {
  if (Settings.PopupEnabled) {
    PopupText = HostVersion < kFirstNotifyingVersion ? ExpandTemplate(Settings.PopupFormat)
                                                     : FormatWithHost(Settings.PopupFormat);
    if (Settings.ReplaceHyphens) ReplaceAllNoCase(PopupText, " - ", " \x95 ");
    SetTrayTip(LastTitle);
    ShowPopup(PopupText, Settings.PopupTimeout, kPopupFontFace, kPopupFontPoints,
              kPopupFontWeight, kPopupTextFormat);
  }
  if (Settings.SpeechEnabled) {
    SpeakAsync(FormatWithHost(Settings.SpeechFormat), Settings.PauseWhenSpeaking,
               Settings.ChangeVolumeWhenSpeaking, Settings.Volume);
  }
  std::string output = ExpandTemplate(TemplateText);
  if (!Settings.OutputFile.empty()) {
    WriteOutputFile(Settings.OutputFile, output, Settings.WriteMode);
    SendNotifyMessageA(reinterpret_cast<HWND>(kBroadcastWindow), OutputUpdatedMessage, 0, 0);
  }
}

void Update(HWND window, UINT_PTR timer) {
  if (timer != kPollingTimer) KillTimer(window, timer);

  int state = host::PlayState();
  if (state != host::kPlaying) {
    if (state == host::kStopped) HandleStop();
    return;
  }

  CurrentTitle = WindowTitle(window);
  if (!NotPlayingWritten && SameTitle(CurrentTitle, LastTitle)) return;
  NotPlayingWritten = false;

  if (host::TrackLength() == host::kUnknownLength) {
    if (timer == kLastRetryTimer || timer == kPollingTimer) {
      if (Settings.PopupEnabled) {
        PopupText.clear();
        SetTrayTip(kProductName);
      }
      LastTitle.clear();
    } else {
      ArmUpdate(window, timer + 1, kRetryDelayMs);
    }
    return;
  }

  LastTitle = CurrentTitle;
  CurrentTitle = SongTitle(CurrentTitle);
  Announce();
}

// Our part of a message the hook sees; returns whether it goes on to the player.
bool Hook(HWND window, UINT message, LPARAM lParam) {
  if (!Settings.Enabled) return true;
  if (host::IsPlayingNotification(message, lParam)) {
    ArmUpdate(window, kNotificationTimer, kNotificationDelayMs);
  } else if (TaskbarCreatedMessage != 0 && message == TaskbarCreatedMessage) {
    if (Settings.PopupEnabled) {
      AddTrayIcon();
      LastTitle.clear();
      ArmUpdate(window, kNotificationTimer, kNotificationDelayMs);
    }
  } else if (message == TrayCallbackMessage) {
    return HandleTrayMessage(lParam);
  }
  return true;
}

}  // namespace

void CALLBACK RunUpdate(HWND window, UINT, UINT_PTR timer, DWORD) {
  Guarded([=] { Update(window, timer); });
}

LRESULT CALLBACK HostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!Guarded([=] { return Hook(window, message, lParam); }, true)) return 1;
  return CallWindowProcA(PreviousHostProc, HostWindow(), message, wParam, lParam);
}

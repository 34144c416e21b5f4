// The update cycle and the hook on the player's main window.
//
// RunUpdate is the one place that notices a new track or a stop and drives every
// announcement: popup and tray tooltip, speech, output file and broadcast, in that order. It
// runs only as the timer procedure of the update timers on the player's window. The hook turns
// the player's playing notification, the shell's "TaskbarCreated" and the tray icon's
// double-clicks into updates (or the last popup again) and passes every other message on to
// the player; from quit on it passes everything on. The subsystems are handed the titles and
// texts they show.
//
// The update timers armed are remembered from ArmUpdate until they are killed; quit and a
// config that switches the plug-in off kill exactly those.
#include <mbstring.h>

#include <bitset>

#include "base/guarded.h"
#include "base/product.h"
#include "format/format.h"
#include "notify/notify.h"
#include "plugin/plugin.h"
#include "speech/speech.h"

std::string CurrentTitle;
std::string LastTitle;
std::string PopupText;
bool NotPlayingWritten = false;

namespace {

constexpr int kTitleChars = 2048;
constexpr UINT_PTR kBroadcastWindow = 0xFFFF;  // HWND_BROADCAST: every top-level window
// Mouse events on the tray icon, as its callback message brings them.
constexpr LPARAM kTrayLeftDoubleClick = WM_LBUTTONDBLCLK;
constexpr LPARAM kTrayRightDoubleClick = WM_RBUTTONDBLCLK;

// The update timers set on the player's window and not killed since, by id.
std::bitset<kPollingTimer + 1> ArmedUpdates;

std::string WindowTitle(HWND window) {
  char title[kTitleChars];
  int length = GetWindowTextA(window, title, sizeof title);
  return std::string(title, length > 0 && length < kTitleChars ? length : 0);
}

bool SameTitle(const std::string& a, const std::string& b) {
  return _mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                  reinterpret_cast<const unsigned char*>(b.c_str())) == 0;
}

void HandleStop() {
  if (NotPlayingWritten) return;
  NotPlayingWritten = true;
  PopupText.clear();
  SetTrayTip(kProductName);
  if (!NotPlayingText.empty()) WriteOutput(Output, NotPlayingText);
}

void ShowPopupText() {
  ShowPopup(PopupText, Settings.PopupTimeout, kPopupFontFace, kPopupFontPoints, kPopupFontWeight,
            kPopupTextFormat);
}

void Announce() {
  const TagContext tags{CurrentTitle, HostVersion, HostVersionText};
  if (Settings.PopupEnabled) {
    PopupText = HostVersion < kFirstNotifyingVersion ? ExpandTemplate(Settings.PopupFormat, tags)
                                                     : FormatWithHost(Settings.PopupFormat, tags);
    if (Settings.ReplaceHyphens) ReplaceAllNoCase(PopupText, " - ", " \x95 ");
    SetTrayTip(LastTitle);
    ShowPopupText();
  }
  if (Settings.SpeechEnabled) {
    SpeakAsync(FormatWithHost(Settings.SpeechFormat, tags), Settings.PauseWhenSpeaking,
               Settings.ChangeVolumeWhenSpeaking, Settings.Volume);
  }
  std::string output = ExpandTemplate(TemplateText, tags);
  if (!Output.path.empty()) {
    WriteOutput(Output, output);
    SendNotifyMessageA(reinterpret_cast<HWND>(kBroadcastWindow), OutputUpdatedMessage, 0, 0);
  }
}

void Update(HWND window, UINT_PTR timer) {
  if (timer != kPollingTimer) KillUpdate(timer);

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
      ArmUpdate(timer + 1, kRetryDelayMs);
    }
    return;
  }

  LastTitle = CurrentTitle;
  CurrentTitle = SongTitle(CurrentTitle);
  Announce();
}

// A mouse event on the tray icon; false when the hook must end the message with 1. A left
// double-click shows the last popup again, a right one announces the track again.
bool OnTrayEvent(LPARAM event) {
  if (event == kTrayLeftDoubleClick) {
    if (host::PlayState() != host::kStopped && !PopupText.empty()) ShowPopupText();
    return false;
  }
  if (event == kTrayRightDoubleClick && host::PlayState() != host::kStopped) {
    LastTitle.clear();
    host::SendPlayingNotification();
  }
  return true;
}

// Our part of a message the hook sees; returns whether it goes on to the player.
bool Hook(UINT message, LPARAM lParam) {
  if (!Settings.Enabled || HasQuit) return true;
  if (host::IsPlayingNotification(message, lParam)) {
    ArmUpdate(kNotificationTimer, kNotificationDelayMs);
  } else if (IsTaskbarCreatedMessage(message)) {
    if (Settings.PopupEnabled) {
      AddTrayIcon();
      LastTitle.clear();
      ArmUpdate(kNotificationTimer, kNotificationDelayMs);
    }
  } else if (message == kTrayCallbackMessage) {
    return OnTrayEvent(lParam);
  }
  return true;
}

}  // namespace

void ArmUpdate(UINT_PTR timer, UINT delayMs) {
  // SetTimer answers non-zero on success, not the id: for id 0 Wine answers 1.
  if (SetTimer(HostWindow(), timer, delayMs, RunUpdate) != 0) ArmedUpdates.set(timer);
}

void KillUpdate(UINT_PTR timer) {
  KillTimer(HostWindow(), timer);
  ArmedUpdates.reset(timer);
}

void KillArmedUpdates() {
  for (UINT_PTR timer = 0; timer < ArmedUpdates.size(); ++timer)
    if (ArmedUpdates.test(timer)) KillUpdate(timer);
}

void CALLBACK RunUpdate(HWND window, UINT, UINT_PTR timer, DWORD) {
  Guarded([=] { Update(window, timer); });
}

LRESULT CALLBACK HostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!Guarded([=] { return Hook(message, lParam); }, true)) return 1;
  // Through the ANSI functions a Unicode window's texts would pass the code page and come
  // back with '?' for what it cannot spell.
  if (HostWindowUnicode)
    return CallWindowProcW(PreviousHostProc, window, message, wParam, lParam);
  return CallWindowProcA(PreviousHostProc, window, message, wParam, lParam);
}

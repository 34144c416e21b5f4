// The update cycle and the hook on the player's main window.
//
// Update is the one place that notices a new track or a stop and drives every announcement:
// cover file, popup and tray tooltip, speech, output file and broadcast, in that order. It runs
// only as the timer procedure of the update timers on the player's window. The hook turns
// the player's playing notification, the shell's "TaskbarCreated" and the tray icon's
// double-clicks into updates (or the last popup again) and passes every other message on to
// the player; from quit on it passes everything on. The subsystems are handed the titles and
// texts they show.
//
// The update timers armed are remembered from ArmUpdate until they are killed; quit and a
// config that switches the plug-in off kill exactly those. The cover file's last write is
// remembered (its path and a fingerprint of its bytes) so that the same cover is not written
// again, until init forgets it; the player's services may call anything while the cover is
// asked for, quit included, so the module is held meanwhile and kept for good when quit came.
#include <mbstring.h>

#include <bitset>
#include <cstdint>
#include <optional>

#include "base/guarded.h"
#include "base/product.h"
#include "cover/cover.h"
#include "encoding/encoding.h"
#include "format/format.h"
#include "notify/notify.h"
#include "plugin/plugin.h"
#include "speech/speech.h"

std::string CurrentTitle;
std::string LastTitle;
std::string PopupText;
bool NotPlayingWritten = false;
int HookDepth = 0;
bool HookRan = false;

namespace {

constexpr int kTitleChars = 2048;
// " - " becomes a blank, a bullet (U+2022) and a blank.
constexpr wchar_t kBullet[] = L"\u2022";
// Mouse events on the tray icon, as its callback message brings them.
constexpr LPARAM kTrayLeftDoubleClick = WM_LBUTTONDBLCLK;
constexpr LPARAM kTrayRightDoubleClick = WM_RBUTTONDBLCLK;

// The update timers set on the player's window and not killed since, by id.
std::bitset<kPollingTimer + 1> ArmedUpdates;

// What the cover file was last made: an image (its fingerprint) or deleted, at which path.
struct CoverWrite {
  std::string path;
  bool image = false;
  std::uint64_t fingerprint = 0;
  bool operator==(const CoverWrite&) const = default;
};
// Empty path: nothing known, the next cover is written whatever it is.
CoverWrite LastCoverWrite;

// FNV-1a, 64 bits: linear, and two covers of a stream's tracks do not meet by chance.
std::uint64_t Fingerprint(const std::string& bytes) {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001B3ull;
  return hash;
}

static_assert(kFirstRetryTimer == kNotificationTimer + 1 && kPollingTimer == kLastRetryTimer + 1,
              "a retry arms the id after its own, and the last retry is not the polling timer");

void KillUpdate(UINT_PTR timer) {
  KillTimer(HostWindow(), timer);
  ArmedUpdates.reset(timer);
}

// The window's title in the code page, or through the wide call as UTF-8.
std::string WindowTitle(HWND window, Encoding encoding) {
  if (IsUnicode(encoding)) {
    wchar_t title[kTitleChars];
    int length = GetWindowTextW(window, title, kTitleChars);
    return FromWide(std::wstring_view(title, length > 0 && length < kTitleChars ? length : 0),
                    encoding);
  }
  char title[kTitleChars];
  int length = GetWindowTextA(window, title, sizeof title);
  return std::string(title, length > 0 && length < kTitleChars ? length : 0);
}

std::wstring UpperWide(const std::string& text, Encoding encoding) {
  std::wstring wide = WideText(text, encoding);
  if (!wide.empty()) CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return wide;
}

// Equal without regard to case: multibyte-aware in the code page, else in the wide forms.
bool SameTitle(const std::string& a, const std::string& b, Encoding encoding) {
  if (IsUnicode(encoding)) return UpperWide(a, encoding) == UpperWide(b, encoding);
  return _mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                  reinterpret_cast<const unsigned char*>(b.c_str())) == 0;
}

// The popup's separator for " - ": the bullet in UTF-8, or as the code page spells it itself
// (0x95 in those of one byte); empty where it has no bullet but by a best fit to another
// character (the double-byte ones), and " - " stays.
std::string BulletSeparator(Encoding encoding) {
  const std::string bullet = IsUnicode(encoding) ? FromWide(kBullet, encoding)
                                                 : ExactCodePageText(kBullet, PlayerCodePage());
  return bullet.empty() ? std::string() : " " + bullet + " ";
}

}  // namespace

void PutCover(std::optional<std::string> cover) {
  const std::string& path = Settings.CoverArtFile;
  if (path.empty()) return;
  if (!cover && !Settings.CoverArtMissing.empty()) {
    std::string placeholder;
    if (ReadTextFile(Settings.CoverArtMissing, &placeholder) && !placeholder.empty())
      cover = std::move(placeholder);
  }
  const CoverWrite write = {path, cover.has_value(), cover ? Fingerprint(*cover) : 0};
  if (write == LastCoverWrite) return;
  const bool done = cover ? WriteFileWhole(path, *cover, Settings.FlushFileBuffers)
                          : DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
  LastCoverWrite = done ? write : CoverWrite{};
}

void ForgetCoverWrite() { LastCoverWrite = CoverWrite{}; }

namespace {

// The playing track's cover into the cover file; false when quit came meanwhile.
bool PutPlayingCover() {
  if (Settings.CoverArtFile.empty()) return true;
  HMODULE held = HoldModule(0);
  // A cover that cannot be had (memory ran out for it) is no reason to drop the announcement.
  Guarded([] {
    std::optional<std::string> cover = PlayingCover(HostVersion);
    if (!HasQuit) PutCover(std::move(cover));  // quit has made the file what it should be
  });
  if (HasQuit) return false;  // the reference is kept: this code returns through the module
  if (held) FreeLibrary(held);
  return true;
}

void HandleStop() {
  if (NotPlayingWritten) return;
  NotPlayingWritten = true;
  Guarded([] { PutCover(std::nullopt); });
  PopupText.clear();
  SetTrayTip(kProductName, Settings.TextEncoding);
  if (!NotPlayingText.empty()) WriteOutput(Output, NotPlayingText);
}

void ShowPopupText() {
  ShowPopup(PopupText, Settings.PopupTimeout, kPopupFontFace, kPopupFontPoints, kPopupFontWeight,
            kPopupTextFormat, Settings.TextEncoding);
}

void Announce() {
  if (!PutPlayingCover()) return;
  const Encoding encoding = Settings.TextEncoding;
  const TagContext tags{CurrentTitle, HostVersion, HostVersionText, encoding};
  if (Settings.PopupEnabled) {
    // The formats are settings, held in the code page as the INI file has them.
    const std::string format = FromCodePage(Settings.PopupFormat, encoding);
    PopupText = HostVersion < host::kFirstNotifyingVersion ? ExpandTemplate(format, tags)
                                                           : FormatWithHost(format, tags);
    const std::string separator = Settings.ReplaceHyphens ? BulletSeparator(encoding) : "";
    if (!separator.empty()) ReplaceAllNoCase(PopupText, " - ", separator.c_str());
    SetTrayTip(LastTitle, encoding);
    ShowPopupText();
  }
  if (Settings.SpeechEnabled) {
    SpeakAsync(FormatWithHost(FromCodePage(Settings.SpeechFormat, encoding), tags),
               Settings.PauseWhenSpeaking, Settings.ChangeVolumeWhenSpeaking, Settings.Volume,
               encoding);
  }
  std::string output = ExpandTemplate(TemplateText, tags);
  // Only a file that holds the announcement is worth another program's look.
  if (WriteOutput(Output, output))
    SendNotifyMessageA(HWND_BROADCAST, OutputUpdatedMessage, 0, 0);
}

void Update(HWND window, UINT_PTR timer) {
  if (timer != kPollingTimer) KillUpdate(timer);

  int state = host::PlayState();
  if (state != host::kPlaying) {
    if (state == host::kStopped) HandleStop();
    return;
  }

  CurrentTitle = WindowTitle(window, Settings.TextEncoding);
  if (!NotPlayingWritten && SameTitle(CurrentTitle, LastTitle, Settings.TextEncoding)) return;
  NotPlayingWritten = false;

  if (host::TrackLength() == host::kUnknownLength) {
    if (timer == kLastRetryTimer || timer == kPollingTimer) {
      if (Settings.PopupEnabled) {
        PopupText.clear();
        SetTrayTip(kProductName, Settings.TextEncoding);
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
  // Armed here, not by a playing notification of our own: other subclasses and the player
  // read that message's file name, and the player did not send it.
  if (event == kTrayRightDoubleClick && host::PlayState() != host::kStopped) {
    LastTitle.clear();
    ArmUpdate(kNotificationTimer, kNotificationDelayMs);
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
      AddTrayIcon(Settings.TextEncoding);
      LastTitle.clear();
      ArmUpdate(kNotificationTimer, kNotificationDelayMs);
    }
  } else if (message == kTrayCallbackMessage) {
    return OnTrayEvent(lParam);
  }
  return true;
}

// The update timers' procedure.
void CALLBACK RunUpdate(HWND window, UINT, UINT_PTR timer, DWORD) {
  Guarded([=] { Update(window, timer); });
}

}  // namespace

void ArmUpdate(UINT_PTR timer, UINT delayMs) {
  // SetTimer answers non-zero on success, not the id: for id 0 Wine answers 1.
  if (SetTimer(HostWindow(), timer, delayMs, RunUpdate) != 0) ArmedUpdates.set(timer);
}

void KillArmedUpdates() {
  for (UINT_PTR timer = 0; timer < ArmedUpdates.size(); ++timer)
    if (ArmedUpdates.test(timer)) KillUpdate(timer);
}

LRESULT CALLBACK HostWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HookRan = true;
  ++HookDepth;
  LRESULT result = 1;
  if (Guarded([=] { return Hook(message, lParam); }, true)) {
    // Through the ANSI functions a Unicode window's texts would pass the code page and come
    // back with '?' for what it cannot spell.
    result = HostWindowUnicode
                 ? CallWindowProcW(PreviousHostProc, window, message, wParam, lParam)
                 : CallWindowProcA(PreviousHostProc, window, message, wParam, lParam);
  }
  --HookDepth;
  return result;
}

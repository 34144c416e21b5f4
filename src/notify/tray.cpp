// The tray icon: one NOTIFYICONDATAA record in its 488-byte form (balloon fields, no item
// GUID), owned by the player's window, whose tooltip carries the title it is given. With the
// Unicode encodings the shell is handed the same record in its wide form (936 bytes), made
// afresh from the ANSI one for each call, with the tooltip in UTF-16. What the icon's
// double-clicks do is the update cycle's to say (src/plugin/update.cpp).
//
// Lifetime: the record lives as long as the module, on the player's window thread.
// AddTrayIcon fills it anew and loads a private copy of IDI_TRAY; the shell keeps a copy of
// its own, so our handle is destroyed as soon as a later AddTrayIcon has loaded the next one,
// and by RemoveTrayIcon once the shell has let the icon go.
#include "notify/notify.h"

#include <shellapi.h>

#include <cstring>
#include <iterator>
#include <utility>

#include "base/product.h"
#include "encoding/encoding.h"
#include "host/module.h"
#include "res/resource.h"

namespace {

constexpr char kTaskbarCreatedName[] = "TaskbarCreated";
constexpr DWORD kTrayRecordSize = NOTIFYICONDATAA_V2_SIZE;
constexpr DWORD kWideTrayRecordSize = NOTIFYICONDATAW_V2_SIZE;
constexpr UINT kTrayIconId = 0;
constexpr int kTrayIconPixels = 16;
constexpr UINT kAddFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

#if defined(_WIN32) && !defined(_WIN64)
static_assert(kTrayRecordSize == 488, "the shell is given the 488-byte record");
static_assert(kWideTrayRecordSize == 936, "or the same record in its wide form");
#endif

NOTIFYICONDATAA EmptyRecord() {
  NOTIFYICONDATAA record;
  std::memset(&record, 0, sizeof record);
  record.cbSize = kTrayRecordSize;
  return record;
}

NOTIFYICONDATAA TrayRecord = EmptyRecord();
// The tooltip in UTF-16, for the wide record; set with the ANSI one's and used instead of it.
std::wstring WideTip;
// The icon was added with the wide record; it is removed the same way.
bool TrayWide = false;
// The registered "TaskbarCreated" message, 0 until the first AddTrayIcon.
UINT TaskbarCreatedMessage = 0;

// The tray record in its wide form: the same fields, the tooltip cut to the record's room
// without splitting a surrogate pair. The balloon texts stay empty.
NOTIFYICONDATAW WideRecord() {
  NOTIFYICONDATAW record;
  std::memset(&record, 0, sizeof record);
  record.cbSize = kWideTrayRecordSize;
  record.hWnd = TrayRecord.hWnd;
  record.uID = TrayRecord.uID;
  record.uFlags = TrayRecord.uFlags;
  record.uCallbackMessage = TrayRecord.uCallbackMessage;
  record.hIcon = TrayRecord.hIcon;
  const std::size_t units = FittingUnits(WideTip, std::size(record.szTip) - 1);
  std::memcpy(record.szTip, WideTip.data(), units * sizeof(wchar_t));
  return record;
}

void Notify(DWORD message, bool wide) {
  if (wide) {
    NOTIFYICONDATAW record = WideRecord();
    Shell_NotifyIconW(message, &record);
  } else {
    Shell_NotifyIconA(message, &TrayRecord);
  }
}

// At most the tip's size less one byte, always terminated.
void CopyTip(const char* text) {
  std::size_t n = 0;
  for (; n + 1 < sizeof TrayRecord.szTip && text[n] != '\0'; ++n) TrayRecord.szTip[n] = text[n];
  TrayRecord.szTip[n] = '\0';
}

}  // namespace

bool IsTaskbarCreatedMessage(UINT message) {
  return TaskbarCreatedMessage != 0 && message == TaskbarCreatedMessage;
}

void AddTrayIcon(Encoding encoding) {
  TaskbarCreatedMessage = RegisterWindowMessageA(kTaskbarCreatedName);
  // Made before the record changes: should it fail, the earlier icon's handle is still held.
  std::wstring wideTip = WideText(kProductName, encoding);
  HICON earlier = TrayRecord.hIcon;
  TrayRecord = EmptyRecord();
  TrayRecord.hWnd = HostWindow();
  TrayRecord.uID = kTrayIconId;
  TrayRecord.uFlags = kAddFlags;
  TrayRecord.uCallbackMessage = kTrayCallbackMessage;
  CopyTip(kProductName);
  WideTip = std::move(wideTip);
  TrayRecord.hIcon = static_cast<HICON>(LoadImageA(PluginModule(), MAKEINTRESOURCEA(IDI_TRAY),
                                                   IMAGE_ICON, kTrayIconPixels, kTrayIconPixels,
                                                   LR_DEFAULTCOLOR));
  TrayWide = IsUnicode(encoding);
  Notify(NIM_ADD, TrayWide);
  if (earlier) DestroyIcon(earlier);
}

void SetTrayTip(const std::string& text, Encoding encoding) {
  TrayRecord.uFlags = NIF_TIP;
  TrayRecord.szInfo[0] = '\0';
  TrayRecord.szInfoTitle[0] = '\0';
  // Either form may change the icon: the shell knows it by its window and number.
  const bool wide = IsUnicode(encoding);
  if (wide)
    WideTip = WideText(text, encoding);
  else
    CopyTip(text.c_str());
  Notify(NIM_MODIFY, wide);
}

void RemoveTrayIcon() {
  Notify(NIM_DELETE, TrayWide);
  if (TrayRecord.hIcon) DestroyIcon(TrayRecord.hIcon);
  TrayRecord.hIcon = nullptr;
}

// The tray icon: one NOTIFYICONDATAA record in its 488-byte form (balloon fields, no item
// GUID), owned by the player's window, whose tooltip carries the title it is given. What the
// icon's double-clicks do is the update cycle's to say (src/plugin/update.cpp).
//
// Lifetime: the record lives as long as the module, on the player's window thread.
// AddTrayIcon fills it anew and loads a private copy of icon 105; the shell keeps a copy of
// its own, so our handle is destroyed as soon as a later AddTrayIcon has loaded the next one,
// and by RemoveTrayIcon once the shell has let the icon go.
#include "notify/notify.h"

#include <shellapi.h>

#include <cstring>

#include "base/product.h"
#include "host/module.h"
#include "res/resource.h"

namespace {

constexpr char kTaskbarCreatedName[] = "TaskbarCreated";
constexpr DWORD kTrayRecordSize = NOTIFYICONDATAA_V2_SIZE;
constexpr UINT kTrayIconId = 0;
constexpr int kTrayIconPixels = 16;
constexpr UINT kAddFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;

#if defined(_WIN32) && !defined(_WIN64)
static_assert(kTrayRecordSize == 488, "the shell is given the 488-byte record");
#endif

NOTIFYICONDATAA EmptyRecord() {
  NOTIFYICONDATAA record;
  std::memset(&record, 0, sizeof record);
  record.cbSize = kTrayRecordSize;
  return record;
}

NOTIFYICONDATAA TrayRecord = EmptyRecord();
// The registered "TaskbarCreated" message, 0 until the first AddTrayIcon.
UINT TaskbarCreatedMessage = 0;

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

void AddTrayIcon() {
  TaskbarCreatedMessage = RegisterWindowMessageA(kTaskbarCreatedName);
  HICON earlier = TrayRecord.hIcon;
  TrayRecord = EmptyRecord();
  TrayRecord.hWnd = HostWindow();
  TrayRecord.uID = kTrayIconId;
  TrayRecord.uFlags = kAddFlags;
  TrayRecord.uCallbackMessage = kTrayCallbackMessage;
  CopyTip(kProductName);
  TrayRecord.hIcon = static_cast<HICON>(LoadImageA(PluginModule(), MAKEINTRESOURCEA(IDI_TRAY),
                                                   IMAGE_ICON, kTrayIconPixels, kTrayIconPixels,
                                                   LR_DEFAULTCOLOR));
  Shell_NotifyIconA(NIM_ADD, &TrayRecord);
  if (earlier) DestroyIcon(earlier);
}

void SetTrayTip(const std::string& text) {
  CopyTip(text.c_str());
  TrayRecord.uFlags = NIF_TIP;
  TrayRecord.szInfo[0] = '\0';
  TrayRecord.szInfoTitle[0] = '\0';
  Shell_NotifyIconA(NIM_MODIFY, &TrayRecord);
}

void RemoveTrayIcon() {
  Shell_NotifyIconA(NIM_DELETE, &TrayRecord);
  if (TrayRecord.hIcon) DestroyIcon(TrayRecord.hIcon);
  TrayRecord.hIcon = nullptr;
}

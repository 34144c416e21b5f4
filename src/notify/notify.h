// The popup that slides out from the taskbar and the tray icon whose tooltip is the title.
// Both live on the player's window thread.
#pragma once

#include <windows.h>

#include <string>

// The last popup window made; never cleared, so test it with IsWindow.
extern HWND PopupWindow;

// What both callers of ShowPopup pass.
constexpr char kPopupFontFace[] = "Arial";
constexpr int kPopupFontPoints = 8;
constexpr int kPopupFontWeight = 700;
constexpr UINT kPopupTextFormat = 0x48900;  // word and end ellipsis, no prefix, no clip

void ShowPopup(std::string text, int seconds, const char* face, int points, int weight,
               UINT format);
void ClosePopup(HWND popup);

// The registered "TaskbarCreated" message, 0 until the first AddTrayIcon.
extern UINT TaskbarCreatedMessage;
constexpr UINT TrayCallbackMessage = WM_APP + 1;

void AddTrayIcon();
void SetTrayTip(const std::string& text);
void RemoveTrayIcon();
// Handles a mouse event on the icon; false when the hook must end the message with 1.
bool HandleTrayMessage(LPARAM event);

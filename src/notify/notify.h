// The popup that slides out from the taskbar and the tray icon whose tooltip is the title.
// Both live on the player's window thread and show what they are given.
#pragma once

#include <windows.h>

#include <string>

// What the update cycle passes to ShowPopup.
constexpr char kPopupFontFace[] = "Arial";
constexpr int kPopupFontPoints = 8;
constexpr int kPopupFontWeight = 700;
constexpr UINT kPopupTextFormat = 0x48900;  // word and end ellipsis, no prefix, no clip

// Shows text in a new popup for `seconds` once it has slid in; a popup still showing goes at
// once.
void ShowPopup(std::string text, int seconds, const char* face, int points, int weight,
               UINT format);
// Closes the popup still showing, if any, at once.
void ClosePopup();

// Mouse events on the tray icon come to the player's window as this message, the event in
// lParam.
constexpr UINT kTrayCallbackMessage = WM_APP + 1;

// Whether message is the shell's "TaskbarCreated" (never before the first AddTrayIcon).
bool IsTaskbarCreatedMessage(UINT message);

void AddTrayIcon();
void SetTrayTip(const std::string& text);
void RemoveTrayIcon();

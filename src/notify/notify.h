// The popup that slides out from the taskbar and the tray icon whose tooltip is the title.
// Both live on the player's window thread and show what they are given: texts in the code
// page through the ANSI calls, or, with the Unicode encodings, UTF-8 through the wide ones.
#pragma once

#include <windows.h>

#include <string>

#include "encoding/unicode.h"

// What the update cycle passes to ShowPopup.
constexpr char kPopupFontFace[] = "Arial";
constexpr int kPopupFontPoints = 8;
constexpr int kPopupFontWeight = FW_BOLD;
constexpr UINT kPopupTextFormat = DT_WORD_ELLIPSIS | DT_END_ELLIPSIS | DT_NOPREFIX | DT_NOCLIP;

// Shows text in a new popup for `seconds` once it has slid in; a popup still showing goes at
// once.
void ShowPopup(std::string text, int seconds, const char* face, int points, int weight,
               UINT format, Encoding encoding);
// Closes the popup still showing, if any, at once.
void ClosePopup();

// Mouse events on the tray icon come to the player's window as this message, the event in
// lParam.
constexpr UINT kTrayCallbackMessage = WM_APP + 1;

// Whether message is the shell's "TaskbarCreated" (never before the first AddTrayIcon).
bool IsTaskbarCreatedMessage(UINT message);

// The icon is added, and later removed, with the ANSI record or, with the Unicode encodings,
// the wide one; a tooltip goes in the form of its own text.
void AddTrayIcon(Encoding encoding);
void SetTrayTip(const std::string& text, Encoding encoding);
void RemoveTrayIcon();

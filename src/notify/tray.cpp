// The tray icon.
#include "notify/notify.h"

UINT TaskbarCreatedMessage = 0;

// Placeholders until the tray icon lands.
void AddTrayIcon() {}
void SetTrayTip(const std::string&) {}
void RemoveTrayIcon() {}
bool HandleTrayMessage(LPARAM) { return true; }

// The popup window.
#include "notify/notify.h"

HWND PopupWindow = nullptr;

// Placeholders until the popup lands.
void ShowPopup(std::string, int, const char*, int, int, UINT) {}
void ClosePopup(HWND popup) { DestroyWindow(popup); }

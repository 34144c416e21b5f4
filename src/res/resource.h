// Resource ids of the plug-in's module. Shared by the resource script and the code.
#pragma once

#define IDD_CONFIG 102
#define IDI_TRAY 105
#define IDD_POPUP 107
#define IDB_POPUP 108
#define IDB_POPUP_8BIT 109
#define IDD_VOLUME 110

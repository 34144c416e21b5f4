// The configuration dialog.
#include "config_ui/config_ui.h"

// Placeholder until the dialog lands: behaves as Cancel.
INT_PTR RunConfigDialog(HWND) { return IDCANCEL; }

// The volume dialog: a slider over the speech volume levels 0..64 with a live percentage. Its
// OK hands the level to the configuration dialog as PendingVolume; nothing is saved here.
//
// Lifetime: modal, owned by the configuration dialog, from its "Change Volume" button until OK
// or Cancel. It always opens at the saved Volume, not at a level picked earlier.
#include "config_ui/config_ui.h"

#include <commctrl.h>

#include "config_ui/forms.h"
#include "plugin/plugin.h"
#include "settings/settings.h"

namespace {

constexpr WPARAM kTickEvery = 8;  // ticks at 0, 8, 16, ... 64

HWND Slider(HWND dialog) { return GetDlgItem(dialog, IDC_VOLUME_SLIDER); }

unsigned SliderLevel(HWND dialog) {
  return static_cast<unsigned>(SendMessageA(Slider(dialog), TBM_GETPOS, 0, 0));
}

void ShowLevel(HWND dialog, unsigned level) {
  SetDlgItemTextA(dialog, IDC_VOLUME_PERCENT, VolumeLabel(level).c_str());
}

void OnInitDialog(HWND dialog) {
  HWND slider = Slider(dialog);
  SendMessageA(slider, TBM_SETTICFREQ, kTickEvery, 0);
  SendMessageA(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, kMaxVolumeLevel));
  SendMessageA(slider, TBM_SETPOS, TRUE, Settings.Volume);
  ShowLevel(dialog, Settings.Volume);
}

void OnCommand(HWND dialog, int id) {
  if (id == IDOK) {
    PendingVolume = SliderLevel(dialog);
    EndDialog(dialog, IDOK);
  } else if (id == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
  }
}

}  // namespace

INT_PTR CALLBACK VolumeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Guarded([=] { OnInitDialog(dialog); });
      return FALSE;
    case WM_HSCROLL:  // any move of the slider, by mouse or keyboard
      Guarded([=] { ShowLevel(dialog, SliderLevel(dialog)); });
      return FALSE;
    case WM_COMMAND:
      Guarded([=] { OnCommand(dialog, LOWORD(wParam)); });
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

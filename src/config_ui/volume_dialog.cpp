// The volume dialog: a slider over the speech volume levels 0..64 with a live percentage. Its
// OK hands the level back to the configuration dialog; nothing is saved here.
//
// Lifetime: modal, owned by the configuration dialog, from its "Change Volume" button until OK
// or Cancel. It opens at the level it is given (the saved Volume), not at one picked earlier.
#include "config_ui/config_ui.h"

#include <commctrl.h>

#include "base/guarded.h"
#include "config_ui/setting_forms.h"
#include "host/module.h"
#include "res/resource.h"

namespace {

constexpr WPARAM kTickEvery = 8;  // ticks at 0, 8, 16, ... 64

// The level the open dialog's OK chose, for RunVolumeDialog to hand on once the dialog ends.
unsigned ChosenLevel = 0;

HWND Slider(HWND dialog) { return GetDlgItem(dialog, IDC_VOLUME_SLIDER); }

unsigned SliderLevel(HWND dialog) {
  return static_cast<unsigned>(SendMessageA(Slider(dialog), TBM_GETPOS, 0, 0));
}

void ShowLevel(HWND dialog, unsigned level) {
  SetDlgItemTextA(dialog, IDC_VOLUME_PERCENT, VolumeLabel(level).c_str());
}

void OnInitDialog(HWND dialog, unsigned level) {
  HWND slider = Slider(dialog);
  SendMessageA(slider, TBM_SETTICFREQ, kTickEvery, 0);
  SendMessageA(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, kMaxVolumeLevel));
  SendMessageA(slider, TBM_SETPOS, TRUE, level);
  ShowLevel(dialog, level);
}

void OnCommand(HWND dialog, int id) {
  if (id == IDOK) {
    ChosenLevel = SliderLevel(dialog);
    EndDialog(dialog, IDOK);
  } else if (id == IDCANCEL) {
    EndDialog(dialog, IDCANCEL);
  }
}

// The dialog's lParam at WM_INITDIALOG is the level it opens at.
INT_PTR CALLBACK VolumeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Guarded([=] { OnInitDialog(dialog, static_cast<unsigned>(lParam)); });
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

}  // namespace

bool RunVolumeDialog(HWND owner, unsigned level, unsigned& chosen) {
  if (DialogBoxParamA(PluginModule(), MAKEINTRESOURCEA(IDD_VOLUME), owner, VolumeDialogProc,
                      static_cast<LPARAM>(level)) != IDOK)
    return false;
  chosen = ChosenLevel;
  return true;
}

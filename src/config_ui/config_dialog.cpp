// The configuration dialog: shows the Settings as they are in memory, keeps three groups of
// controls enabled as their switches say, picks files with the common open and save dialogs,
// opens the template and "Not Playing" files in Notepad, runs the volume dialog, and on OK
// writes every key to the INI file.
//
// Lifetime: modal, from RunConfigDialog until OK (result IDOK), Cancel or the close box
// (IDCANCEL). PendingVolume outlives it until the next opening; nothing else does. The common
// dialogs and message boxes it opens are owned by the player's window, not by this dialog.
#include "config_ui/config_ui.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>

#include "config_ui/forms.h"
#include "plugin/plugin.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "speech/speech.h"

unsigned PendingVolume = 0;

namespace {

constexpr int kFirstTimeout = 10;  // seconds offered by the timeout list, in this order
constexpr int kLastTimeout = 30;

constexpr char kNotSpecifiedTitle[] = "Not Specified";
constexpr UINT kNotSpecifiedStyle = MB_ICONEXCLAMATION | MB_OK;

// Two pairs of display text and pattern; the literal's own terminator ends the list.
constexpr char kTextFilter[] = "Text Files (*.TXT)\0*.TXT\0All Files (*.*)\0*.*\0";

const int kGeneralControls[] = {
    IDC_FLUSH_BUFFERS,    IDC_TEMPLATE_FILE,     IDC_TEMPLATE_LABEL,     IDC_BROWSE_TEMPLATE,
    IDC_EDIT_TEMPLATE,    IDC_NOT_PLAYING_FILE,  IDC_NOT_PLAYING_LABEL,  IDC_BROWSE_NOT_PLAYING,
    IDC_EDIT_NOT_PLAYING, IDC_OUTPUT_FILE,       IDC_OUTPUT_LABEL,       IDC_BROWSE_OUTPUT,
    IDC_MODE_GROUP,       IDC_OVERWRITE,         IDC_APPEND,             IDC_PREPEND,
    IDC_INITIALIZE_OUTPUT, IDC_ENABLE_POPUP};
const int kPopupControls[] = {IDC_TIMEOUT_GROUP, IDC_POPUP_TIMEOUT,      IDC_SECONDS_LABEL,
                              IDC_POPUP_FORMAT_LABEL, IDC_POPUP_FORMAT, IDC_REPLACE_HYPHENS};
const int kSpeechControls[] = {IDC_SPEECH_FORMAT_LABEL, IDC_SPEECH_FORMAT, IDC_SPEAKING_GROUP,
                               IDC_PAUSE_PLAY, IDC_CHANGE_VOLUME};

struct FilePick {
  int button;
  int edit;
  bool save;
  const char* title;
  DWORD flags;
};

// The template's open dialog cannot be resized; the other two can. The save dialog neither
// requires an existing file nor asks before naming one that exists.
const FilePick kFilePicks[] = {
    {IDC_BROWSE_TEMPLATE, IDC_TEMPLATE_FILE, false, "Open Template File",
     OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY},
    {IDC_BROWSE_NOT_PLAYING, IDC_NOT_PLAYING_FILE, false, "Open \"Not Playing\" File",
     OFN_ENABLESIZING | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY},
    {IDC_BROWSE_OUTPUT, IDC_OUTPUT_FILE, true, "Save Output To",
     OFN_ENABLESIZING | OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY},
};

struct NotepadEdit {
  int button;
  int edit;
  const char* warning;
};

const NotepadEdit kNotepadEdits[] = {
    {IDC_EDIT_TEMPLATE, IDC_TEMPLATE_FILE, "A template file has not been specified."},
    {IDC_EDIT_NOT_PLAYING, IDC_NOT_PLAYING_FILE, "A \"Not Playing\" file has not been specified."},
};

// IsSpeechAvailable as found at opening. The master switch goes by the same answer, so the
// speech controls never come and go while the dialog is open.
bool SpeechOffered = false;

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void Check(HWND dialog, int id, bool on) {
  CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

void Enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on); }

template <std::size_t N>
void EnableGroup(HWND dialog, const int (&ids)[N], bool on) {
  for (int id : ids) Enable(dialog, id, on);
}

void EnableGeneralControls(HWND dialog, bool on) { EnableGroup(dialog, kGeneralControls, on); }
void EnablePopupControls(HWND dialog, bool on) { EnableGroup(dialog, kPopupControls, on); }
void EnableSpeechControls(HWND dialog, bool on) { EnableGroup(dialog, kSpeechControls, on); }

// At most 511 characters of a control's text.
std::string ItemText(HWND dialog, int id) {
  char text[kDialogTextBytes] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void SetItemText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextA(dialog, id, text.c_str());
}

void FillTimeouts(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_POPUP_TIMEOUT);
  for (int seconds = kFirstTimeout; seconds <= kLastTimeout; ++seconds)
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_string(seconds).c_str()));
  // The list's own prefix search from the top: 2 selects "20"; no match selects nothing.
  std::string timeout = std::to_string(Settings.PopupTimeout);
  SendMessageA(list, CB_SELECTSTRING, static_cast<WPARAM>(-1),
               reinterpret_cast<LPARAM>(timeout.c_str()));
}

void OnInitDialog(HWND dialog) {
  SetWindowTextA(dialog, kProductName);
  SetItemText(dialog, IDC_MAIN_GROUP,
              std::string(kProductName) + " v" + kPluginVersionText + " Configuration");

  Check(dialog, IDC_ENABLE, Settings.Enabled);
  Check(dialog, IDC_ENABLE_POPUP, Settings.PopupEnabled);
  EnableGeneralControls(dialog, Settings.Enabled);
  EnablePopupControls(dialog, Settings.Enabled && Settings.PopupEnabled);

  Check(dialog, IDC_FLUSH_BUFFERS, Settings.FlushFileBuffers);
  Check(dialog, IDC_INITIALIZE_OUTPUT, Settings.InitializeOutput);
  Check(dialog, IDC_OVERWRITE, Settings.WriteMode == 0);
  Check(dialog, IDC_APPEND, Settings.WriteMode == 1);
  Check(dialog, IDC_PREPEND, Settings.WriteMode == 2);

  FillTimeouts(dialog);
  SetItemText(dialog, IDC_POPUP_FORMAT, Settings.PopupFormat);
  Check(dialog, IDC_REPLACE_HYPHENS, Settings.ReplaceHyphens);

  PendingVolume = Settings.Volume;

  SpeechOffered = IsSpeechAvailable();
  if (SpeechOffered) {
    Check(dialog, IDC_ENABLE_SPEECH, Settings.SpeechEnabled);
    SetItemText(dialog, IDC_SPEECH_FORMAT, Settings.SpeechFormat);
    Check(dialog, IDC_PAUSE_PLAY, Settings.PauseWhenSpeaking);
    Check(dialog, IDC_CHANGE_VOLUME, Settings.ChangeVolumeWhenSpeaking);
    Enable(dialog, IDC_ENABLE_SPEECH, Settings.Enabled);
    EnableSpeechControls(dialog, Settings.SpeechEnabled && Settings.Enabled);
  } else {
    SetItemText(dialog, IDC_SPEECH_FORMAT, "");
    Settings.SpeechEnabled = false;
    Enable(dialog, IDC_ENABLE_SPEECH, false);
    EnableSpeechControls(dialog, false);
  }

  SetItemText(dialog, IDC_TEMPLATE_FILE, Settings.TemplateFile);
  SetItemText(dialog, IDC_NOT_PLAYING_FILE, Settings.NotPlayingFile);
  SetItemText(dialog, IDC_OUTPUT_FILE, Settings.OutputFile);
}

void OnEnable(HWND dialog) {
  bool on = Checked(dialog, IDC_ENABLE);
  EnableGeneralControls(dialog, on);
  Enable(dialog, IDC_ENABLE_POPUP, on);
  EnablePopupControls(dialog, on && Checked(dialog, IDC_ENABLE_POPUP));
  if (!SpeechOffered) return;
  Enable(dialog, IDC_ENABLE_SPEECH, on);
  EnableSpeechControls(dialog, on && Checked(dialog, IDC_ENABLE_SPEECH));
}

void PickFile(HWND dialog, const FilePick& pick) {
  char file[kDialogTextBytes] = {};
  GetDlgItemTextA(dialog, pick.edit, file, sizeof file);
  std::string kept = file;

  OPENFILENAMEA record = {};
  record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;  // the 76-byte form, known to every version
  record.hwndOwner = HostWindow();
  record.hInstance = PluginModule();
  record.lpstrFilter = kTextFilter;
  record.lpstrFile = file;  // offers the current text as the initial name
  record.nMaxFile = sizeof file;
  record.lpstrTitle = pick.title;
  record.Flags = pick.flags;

  auto show = [&] { return pick.save ? GetSaveFileNameA(&record) : GetOpenFileNameA(&record); };
  BOOL chosen = show();
  if (!chosen && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
    file[0] = '\0';
    kept.clear();
    chosen = show();
  }
  // After a cancel or a failure the buffer is not ours to trust (a name too long for it
  // leaves its needed size in the first bytes): the box keeps the text the dialog was offered.
  file[sizeof file - 1] = '\0';
  SetItemText(dialog, pick.edit, chosen ? std::string(file) : kept);
}

void EditInNotepad(HWND dialog, const NotepadEdit& edit) {
  std::string path = ItemText(dialog, edit.edit);
  if (path.empty()) {
    MessageBoxA(HostWindow(), edit.warning, kNotSpecifiedTitle, kNotSpecifiedStyle);
    return;
  }
  ShellExecuteA(HostWindow(), "open", "notepad.exe", path.c_str(), nullptr, SW_SHOWNORMAL);
}

void Save(HWND dialog) {
  ConfigChoices c;
  c.enabled = Checked(dialog, IDC_ENABLE);
  c.flushBuffers = Checked(dialog, IDC_FLUSH_BUFFERS);
  c.append = Checked(dialog, IDC_APPEND);
  c.prepend = Checked(dialog, IDC_PREPEND);
  c.initializeOutput = Checked(dialog, IDC_INITIALIZE_OUTPUT);
  c.templateFile = ItemText(dialog, IDC_TEMPLATE_FILE);
  c.notPlayingFile = ItemText(dialog, IDC_NOT_PLAYING_FILE);
  c.outputFile = ItemText(dialog, IDC_OUTPUT_FILE);
  c.popupEnabled = Checked(dialog, IDC_ENABLE_POPUP);
  c.popupTimeout = ItemText(dialog, IDC_POPUP_TIMEOUT);
  c.popupFormat = ItemText(dialog, IDC_POPUP_FORMAT);
  c.replaceHyphens = Checked(dialog, IDC_REPLACE_HYPHENS);
  c.speechEnabled = Checked(dialog, IDC_ENABLE_SPEECH);
  c.speechFormat = ItemText(dialog, IDC_SPEECH_FORMAT);
  c.pause = Checked(dialog, IDC_PAUSE_PLAY);
  c.changeVolume = Checked(dialog, IDC_CHANGE_VOLUME);
  c.volume = PendingVolume;
  for (const auto& [key, value] : SavedKeys(c)) WriteSetting(key, value);
  Settings.Volume = PendingVolume;
}

void OnCommand(HWND dialog, int id) {
  switch (id) {
    case IDOK:
      Save(dialog);
      EndDialog(dialog, IDOK);
      return;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return;
    case IDC_ENABLE:
      OnEnable(dialog);
      return;
    case IDC_ENABLE_POPUP:
      EnablePopupControls(dialog, Checked(dialog, IDC_ENABLE_POPUP));
      return;
    case IDC_ENABLE_SPEECH:
      EnableSpeechControls(dialog, Checked(dialog, IDC_ENABLE_SPEECH));
      return;
    case IDC_CHANGE_VOLUME:
      // Also when the button is chosen already: every click asks for the level again.
      DialogBoxParamA(PluginModule(), MAKEINTRESOURCEA(IDD_VOLUME), dialog, VolumeDialogProc, 0);
      return;
  }
  for (const FilePick& pick : kFilePicks)
    if (id == pick.button) return PickFile(dialog, pick);
  for (const NotepadEdit& edit : kNotepadEdits)
    if (id == edit.button) return EditInNotepad(dialog, edit);
}

}  // namespace

INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Guarded([=] { OnInitDialog(dialog); });
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

INT_PTR RunConfigDialog(HWND owner) {
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};  // the volume slider's
  InitCommonControlsEx(&classes);
  return DialogBoxParamA(PluginModule(), MAKEINTRESOURCEA(IDD_CONFIG), owner, ConfigDialogProc, 0);
}

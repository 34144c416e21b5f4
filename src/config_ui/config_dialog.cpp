// The configuration dialog: shows the settings it is given and the INI file they live in,
// keeps three groups of controls enabled as their switches say, picks files with the common
// open and save dialogs, opens the template and "Not Playing" files in Notepad, runs the
// volume dialog, and on OK writes every key whose control it offered to the INI file, all or
// none, or says that it could not (or that the cover file would overwrite another of its files).
//
// Lifetime: modal, from RunConfigDialog until OK (result IDOK), Cancel or the close box
// (IDCANCEL); the settings and INI path it is given are reached through DialogSettings and
// DialogIniPath for that long. PendingVolume outlives it until the next opening; nothing else
// does. The small font of the settings file's line is the dialog's own (in its DWLP_USER),
// made at WM_INITDIALOG and deleted at WM_DESTROY. The common dialogs and message boxes it
// opens are owned by the player's window, not by this dialog, except the one saying that OK
// could not save, which belongs to this dialog's OK.
#include "config_ui/config_ui.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <iterator>
#include <optional>
#include <string>

#include "base/guarded.h"
#include "base/product.h"
#include "config_ui/setting_forms.h"
#include "host/module.h"
#include "res/resource.h"
#include "speech/speech.h"

namespace {

constexpr int kFirstTimeout = 10;  // seconds offered by the timeout list, in this order
constexpr int kLastTimeout = 30;

// The text encoding list: entry i is the TextEncoding setting's number i.
const char* const kEncodingNames[] = {"ANSI", "UTF-8", "UTF-16 LE"};

// What OK writes is read back whole; a text that fills the box may be cut and is not loaded.
static_assert(kDialogTextBytes == kIniValueChars);

constexpr char kNotepad[] = "\\notepad.exe";  // in the system folder

constexpr char kNotSpecifiedTitle[] = "Not Specified";
constexpr UINT kNotSpecifiedStyle = MB_ICONEXCLAMATION | MB_OK;

constexpr char kSettingsFileLabel[] = "Settings file: ";
constexpr char kNotSavedText[] = "The settings could not be saved to:\n\n";
constexpr char kNotSavedAdvice[] =
    "\n\nMake sure this file can be written, then choose OK again, or choose Cancel.";
constexpr UINT kNotSavedStyle = MB_ICONERROR | MB_OK;

// The settings file's line: seven eighths of the dialog's 8 points. The dialog's face is a
// bitmap font with no smaller size, so the line takes the scalable face that stands for it.
constexpr int kSmallTextEighths = 7;
constexpr char kSmallTextFace[] = "MS Shell Dlg";

// Two pairs of display text and pattern; the literal's own terminator ends the list.
constexpr char kTextFilter[] = "Text Files (*.TXT)\0*.TXT\0All Files (*.*)\0*.*\0";
constexpr char kImageFilter[] =
    "Images (*.jpg;*.jpeg;*.png)\0*.jpg;*.jpeg;*.png\0All Files (*.*)\0*.*\0";

constexpr char kCoverRefusedText[] =
    "The cover file cannot be the output file or the template file: the cover would overwrite "
    "it.\n\nChoose another file for the cover.";
constexpr UINT kCoverRefusedStyle = MB_ICONEXCLAMATION | MB_OK;

const int kGeneralControls[] = {
    IDC_FLUSH_BUFFERS,    IDC_TEMPLATE_FILE,     IDC_TEMPLATE_LABEL,     IDC_BROWSE_TEMPLATE,
    IDC_EDIT_TEMPLATE,    IDC_NOT_PLAYING_FILE,  IDC_NOT_PLAYING_LABEL,  IDC_BROWSE_NOT_PLAYING,
    IDC_EDIT_NOT_PLAYING, IDC_OUTPUT_FILE,       IDC_OUTPUT_LABEL,       IDC_BROWSE_OUTPUT,
    IDC_MODE_GROUP,       IDC_OVERWRITE,         IDC_APPEND,             IDC_PREPEND,
    IDC_INITIALIZE_OUTPUT, IDC_ENABLE_POPUP, IDC_TEXT_ENCODING_LABEL, IDC_TEXT_ENCODING,
    IDC_COVER_GROUP, IDC_COVER_LABEL, IDC_COVER_FILE, IDC_BROWSE_COVER, IDC_COVER_MISSING_LABEL,
    IDC_COVER_MISSING, IDC_BROWSE_COVER_MISSING};
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
  const char* filter;
};

// The template's open dialog cannot be resized; the other two can. The save dialog neither
// requires an existing file nor asks before naming one that exists.
const FilePick kFilePicks[] = {
    {IDC_BROWSE_TEMPLATE, IDC_TEMPLATE_FILE, false, "Open Template File",
     OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY, kTextFilter},
    {IDC_BROWSE_NOT_PLAYING, IDC_NOT_PLAYING_FILE, false, "Open \"Not Playing\" File",
     OFN_ENABLESIZING | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY,
     kTextFilter},
    {IDC_BROWSE_OUTPUT, IDC_OUTPUT_FILE, true, "Save Output To",
     OFN_ENABLESIZING | OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY, kTextFilter},
    {IDC_BROWSE_COVER, IDC_COVER_FILE, true, "Save Cover Art To",
     OFN_ENABLESIZING | OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY, kImageFilter},
    {IDC_BROWSE_COVER_MISSING, IDC_COVER_MISSING, false, "Open Image for Tracks Without Cover",
     OFN_ENABLESIZING | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY,
     kImageFilter},
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

// The settings the open dialog shows and the INI file its OK writes; set by RunConfigDialog.
SettingsRecord* DialogSettings = nullptr;
const std::string* DialogIniPath = nullptr;

// The speech volume level (0..64) that OK will save: the saved Volume when the dialog opens,
// replaced by the volume dialog's OK.
unsigned PendingVolume = 0;

// IsSpeechAvailable as found at opening. The master switch goes by the same answer, so the
// speech controls never come and go while the dialog is open.
bool SpeechOffered = false;

// Puts the process's current directory back, when it goes, to what it was when it was made.
class CurrentDirectoryKeeper {
 public:
  CurrentDirectoryKeeper() {
    DWORD size = GetCurrentDirectoryA(0, nullptr);
    kept_.resize(size);
    DWORD length = size != 0 ? GetCurrentDirectoryA(size, kept_.data()) : 0;
    kept_.resize(length < size ? length : 0);
  }
  ~CurrentDirectoryKeeper() {
    if (!kept_.empty()) SetCurrentDirectoryA(kept_.c_str());
  }
  CurrentDirectoryKeeper(const CurrentDirectoryKeeper&) = delete;
  CurrentDirectoryKeeper& operator=(const CurrentDirectoryKeeper&) = delete;

 private:
  std::string kept_;
};

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

// The INI file in use, in small text; the font stays with the dialog until WM_DESTROY. Without
// it the line keeps the dialog's own font.
void ShowSettingsFile(HWND dialog, const std::string& path) {
  SetItemText(dialog, IDC_SETTINGS_FILE, kSettingsFileLabel + path);
  auto dialogFont = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  LOGFONTA small = {};
  if (!dialogFont || GetObjectA(dialogFont, sizeof small, &small) != sizeof small) return;
  small.lfHeight = MulDiv(small.lfHeight, kSmallTextEighths, 8);
  small.lfWidth = 0;
  lstrcpynA(small.lfFaceName, kSmallTextFace, LF_FACESIZE);
  HFONT font = CreateFontIndirectA(&small);
  if (!font) return;
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(font));
  SendDlgItemMessageA(dialog, IDC_SETTINGS_FILE, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void OnDestroy(HWND dialog) {
  auto font = reinterpret_cast<HFONT>(SetWindowLongPtrA(dialog, DWLP_USER, 0));
  if (font) DeleteObject(font);
}

void FillTimeouts(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_POPUP_TIMEOUT);
  for (int seconds = kFirstTimeout; seconds <= kLastTimeout; ++seconds)
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_string(seconds).c_str()));
  // The entry of the timeout itself, not the first one it begins (2 is not "20"); a timeout
  // the list does not offer selects nothing, and OK keeps it.
  std::string timeout = std::to_string(DialogSettings->PopupTimeout);
  LRESULT entry = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(timeout.c_str()));
  if (entry != CB_ERR) SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
}

void FillEncodings(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_TEXT_ENCODING);
  for (const char* name : kEncodingNames)
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(DialogSettings->TextEncoding), 0);
}

// The chosen entry; none when the list is missing or has nothing chosen.
std::optional<unsigned> ChosenEncoding(HWND dialog) {
  LRESULT chosen = SendDlgItemMessageA(dialog, IDC_TEXT_ENCODING, CB_GETCURSEL, 0, 0);
  if (chosen < 0 || chosen >= static_cast<LRESULT>(std::size(kEncodingNames))) return {};
  return static_cast<unsigned>(chosen);
}

void OnInitDialog(HWND dialog) {
  SettingsRecord& settings = *DialogSettings;
  SetWindowTextA(dialog, kProductName);
  SetItemText(dialog, IDC_MAIN_GROUP,
              std::string(kProductName) + " v" + kPluginVersionText + " Configuration");

  Check(dialog, IDC_ENABLE, settings.Enabled);
  Check(dialog, IDC_ENABLE_POPUP, settings.PopupEnabled);
  EnableGeneralControls(dialog, settings.Enabled);
  EnablePopupControls(dialog, settings.Enabled && settings.PopupEnabled);

  Check(dialog, IDC_FLUSH_BUFFERS, settings.FlushFileBuffers);
  Check(dialog, IDC_INITIALIZE_OUTPUT, settings.InitializeOutput);
  Check(dialog, IDC_OVERWRITE, settings.WriteMode == 0);
  Check(dialog, IDC_APPEND, settings.WriteMode == 1);
  Check(dialog, IDC_PREPEND, settings.WriteMode == 2);

  FillEncodings(dialog);
  FillTimeouts(dialog);
  SetItemText(dialog, IDC_POPUP_FORMAT, settings.PopupFormat);
  Check(dialog, IDC_REPLACE_HYPHENS, settings.ReplaceHyphens);

  PendingVolume = settings.Volume;

  SpeechOffered = IsSpeechAvailable();
  if (SpeechOffered) {
    Check(dialog, IDC_ENABLE_SPEECH, settings.SpeechEnabled);
    SetItemText(dialog, IDC_SPEECH_FORMAT, settings.SpeechFormat);
    Check(dialog, IDC_PAUSE_PLAY, settings.PauseWhenSpeaking);
    Check(dialog, IDC_CHANGE_VOLUME, settings.ChangeVolumeWhenSpeaking);
    Enable(dialog, IDC_ENABLE_SPEECH, settings.Enabled);
    EnableSpeechControls(dialog, settings.SpeechEnabled && settings.Enabled);
  } else {
    SetItemText(dialog, IDC_SPEECH_FORMAT, "");
    settings.SpeechEnabled = false;
    Enable(dialog, IDC_ENABLE_SPEECH, false);
    EnableSpeechControls(dialog, false);
  }

  SetItemText(dialog, IDC_TEMPLATE_FILE, settings.TemplateFile);
  SetItemText(dialog, IDC_NOT_PLAYING_FILE, settings.NotPlayingFile);
  SetItemText(dialog, IDC_OUTPUT_FILE, settings.OutputFile);
  SetItemText(dialog, IDC_COVER_FILE, settings.CoverArtFile);
  SetItemText(dialog, IDC_COVER_MISSING, settings.CoverArtMissing);
  ShowSettingsFile(dialog, *DialogIniPath);
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
  record.lpstrFilter = pick.filter;
  record.lpstrFile = file;  // offers the current text as the initial name
  record.nMaxFile = sizeof file;
  record.lpstrTitle = pick.title;
  record.Flags = pick.flags;

  // The common dialogs move the process's current directory to the folder browsed; the
  // player's relative paths (and which notepad.exe a bare name finds) must not change.
  CurrentDirectoryKeeper keeper;
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
  // By its full path, or a notepad.exe in the current directory could be started instead; the
  // file name quoted, so that one with blanks stays one argument.
  char system[MAX_PATH] = {};
  UINT length = GetSystemDirectoryA(system, sizeof system);
  if (length == 0 || length >= sizeof system) return;
  std::string notepad = std::string(system, length) + kNotepad;
  std::string quoted = "\"" + path + "\"";
  ShellExecuteA(HostWindow(), "open", notepad.c_str(), quoted.c_str(), nullptr, SW_SHOWNORMAL);
}

// Writes the keys, all or none; false when they could not be, after telling the user which
// file it was. A cover file that names the output or template file is refused before anything
// is written.
bool Save(HWND dialog) {
  ConfigChoices c;
  c.enabled = Checked(dialog, IDC_ENABLE);
  c.flushBuffers = Checked(dialog, IDC_FLUSH_BUFFERS);
  c.overwrite = Checked(dialog, IDC_OVERWRITE);
  c.append = Checked(dialog, IDC_APPEND);
  c.prepend = Checked(dialog, IDC_PREPEND);
  c.initializeOutput = Checked(dialog, IDC_INITIALIZE_OUTPUT);
  c.templateFile = ItemText(dialog, IDC_TEMPLATE_FILE);
  c.notPlayingFile = ItemText(dialog, IDC_NOT_PLAYING_FILE);
  c.outputFile = ItemText(dialog, IDC_OUTPUT_FILE);
  c.coverArtFile = ItemText(dialog, IDC_COVER_FILE);
  c.coverArtMissing = ItemText(dialog, IDC_COVER_MISSING);
  // An image written over the output or the template would destroy it: nothing is saved.
  if (SamePath(c.coverArtFile, c.outputFile) || SamePath(c.coverArtFile, c.templateFile)) {
    MessageBoxA(dialog, kCoverRefusedText, kProductName, kCoverRefusedStyle);
    SetFocus(GetDlgItem(dialog, IDC_COVER_FILE));
    return false;
  }
  c.popupEnabled = Checked(dialog, IDC_ENABLE_POPUP);
  c.popupTimeout = ItemText(dialog, IDC_POPUP_TIMEOUT);
  c.popupFormat = ItemText(dialog, IDC_POPUP_FORMAT);
  c.replaceHyphens = Checked(dialog, IDC_REPLACE_HYPHENS);
  c.speechEnabled = Checked(dialog, IDC_ENABLE_SPEECH);
  c.speechFormat = ItemText(dialog, IDC_SPEECH_FORMAT);
  c.pause = Checked(dialog, IDC_PAUSE_PLAY);
  c.changeVolume = Checked(dialog, IDC_CHANGE_VOLUME);
  c.volume = PendingVolume;
  c.textEncoding = ChosenEncoding(dialog);
  c.speechOffered = SpeechOffered;
  if (!SaveSettings(*DialogIniPath, SavedKeys(c))) {
    std::string text = kNotSavedText + *DialogIniPath + kNotSavedAdvice;
    MessageBoxA(dialog, text.c_str(), kProductName, kNotSavedStyle);
    return false;
  }
  DialogSettings->Volume = PendingVolume;
  return true;
}

void OnCommand(HWND dialog, int id) {
  switch (id) {
    case IDOK:
      // The user's choices stay on the screen when they could not be kept.
      if (Save(dialog)) EndDialog(dialog, IDOK);
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
      RunVolumeDialog(dialog, DialogSettings->Volume, PendingVolume);
      return;
  }
  for (const FilePick& pick : kFilePicks)
    if (id == pick.button) return PickFile(dialog, pick);
  for (const NotepadEdit& edit : kNotepadEdits)
    if (id == edit.button) return EditInNotepad(dialog, edit);
}

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
    case WM_DESTROY:
      OnDestroy(dialog);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

INT_PTR RunConfigDialog(HWND owner, SettingsRecord& settings, const std::string& iniPath) {
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};  // the volume slider's
  InitCommonControlsEx(&classes);
  // A dialog opened from inside this one's loop gets its own; this one gets its own back.
  SettingsRecord* outerSettings = DialogSettings;
  const std::string* outerIniPath = DialogIniPath;
  DialogSettings = &settings;
  DialogIniPath = &iniPath;
  INT_PTR result =
      DialogBoxParamA(PluginModule(), MAKEINTRESOURCEA(IDD_CONFIG), owner, ConfigDialogProc, 0);
  DialogSettings = outerSettings;
  DialogIniPath = outerIniPath;
  return result;
}

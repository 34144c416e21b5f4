// The configuration dialog as the user meets it through config: driven for real from inside its
// own modal loop, with the common dialogs, Notepad, message boxes and profile writes recorded
// (and the first three answered) through the DLL's import table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "harness.h"

namespace {

using harness::DialogStep;
using harness::FileHolds;
using harness::Keys;
using harness::PluginTest;
using harness::Click;
using harness::ItemText;
using harness::SetItemText;
using harness::StoredValue;
using harness::WindowText;

constexpr char kCaption[] = "Tunecrier";

// The dialog's controls, as the player's user and the template know them.
constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kEnable = 1001;
constexpr int kTimeout = 1002;
constexpr int kEnablePopup = 1005;
constexpr int kTemplateFile = 1007;
constexpr int kNotPlayingFile = 1008;
constexpr int kOutputFile = 1009;
constexpr int kBrowseTemplate = 1010;
constexpr int kMainGroup = 1011;
constexpr int kBrowseNotPlaying = 1015;
constexpr int kBrowseOutput = 1016;
constexpr int kEditTemplate = 1017;
constexpr int kEditNotPlaying = 1018;
constexpr int kPausePlay = 1019;
constexpr int kChangeVolume = 1020;
constexpr int kFlushBuffers = 1021;
constexpr int kAppend = 1022;
constexpr int kInitializeOutput = 1023;
constexpr int kOverwrite = 1024;
constexpr int kPrepend = 1025;
constexpr int kPopupFormat = 1028;
constexpr int kReplaceHyphens = 1029;
constexpr int kSpeechFormat = 1031;
constexpr int kEnableSpeech = 1032;
constexpr int kTextEncoding = 1041;
constexpr int kCoverFile = 1061;
constexpr int kBrowseCover = 1063;
constexpr int kCoverMissing = 1064;
constexpr int kBrowseCoverMissing = 1066;

const std::vector<int> kGeneralControls = {1021, 1007, 1012, 1010, 1017, 1008, 1013, 1015, 1018,
                                           1009, 1014, 1016, 1026, 1024, 1022, 1025, 1023, 1005,
                                           1042, 1041};
const std::vector<int> kPopupControls = {1003, 1002, 1004, 1027, 1028, 1029};
const std::vector<int> kSpeechControls = {1030, 1031, 1006, 1019, 1020};
const std::vector<int> kNeverDisabled = {kEnable, kMainGroup, kOk, kCancel};

std::string Selected(HWND dialog) {
  int index = static_cast<int>(SendDlgItemMessageA(dialog, kTimeout, CB_GETCURSEL, 0, 0));
  if (index == CB_ERR) return "(none)";
  char text[64] = {};
  if (SendDlgItemMessageA(dialog, kTimeout, CB_GETLBTEXTLEN, index, 0) >= 64) return "(long)";
  SendDlgItemMessageA(dialog, kTimeout, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  return text;
}

std::vector<std::string> Entries(HWND dialog, int list) {
  std::vector<std::string> entries;
  int count = static_cast<int>(SendDlgItemMessageA(dialog, list, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[64] = {};
    if (SendDlgItemMessageA(dialog, list, CB_GETLBTEXTLEN, i, 0) >= 64) return {"(long)"};
    SendDlgItemMessageA(dialog, list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    entries.push_back(text);
  }
  return entries;
}

::testing::AssertionResult EnabledAs(HWND dialog, const std::vector<int>& ids, bool enabled) {
  std::string wrong;
  for (int id : ids) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) wrong.append(" ").append(std::to_string(id)).append("(missing)");
    else if ((IsWindowEnabled(control) != FALSE) != enabled)
      wrong.append(" ").append(std::to_string(id));
  }
  if (wrong.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected " << (enabled ? "enabled" : "disabled")
                                       << ", but not so:" << wrong;
}

// The checked ones among ids must be exactly `checked`.
::testing::AssertionResult CheckedAmong(HWND dialog, std::initializer_list<int> ids,
                                        std::initializer_list<int> checked) {
  std::vector<int> seen;
  for (int id : ids)
    if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) seen.push_back(id);
  if (seen == std::vector<int>(checked)) return ::testing::AssertionSuccess();
  auto shown = [](const std::vector<int>& list) {
    std::string text = "{";
    for (int id : list) text.append(" ").append(std::to_string(id));
    return text + " }";
  };
  return ::testing::AssertionFailure() << "checked " << shown(seen) << ", expected "
                                       << shown(checked);
}

// The profile writes seen, as key=value lines, against the expected ones in order; every
// write must go to section "Tunecrier" of a file in the INI file's folder (the copy that then
// replaces it). The call that writes out a cached file (all null) is not a key.
::testing::AssertionResult WroteInOrder(const Keys& expected, const std::string& iniPath) {
  std::string seen, wanted, misplaced;
  auto folder = [](const std::string& path) { return path.substr(0, path.rfind('\\') + 1); };
  for (const ProfileWrite& w : Calls.profileWrites) {
    if (w.keyNull && w.valueNull && w.section.empty()) continue;
    seen += "  " + w.key + "=" + harness::Shown(w.value) + "\n";
    if (w.section != "Tunecrier" || lstrcmpiA(folder(w.file).c_str(), folder(iniPath).c_str()) ||
        w.keyNull || w.valueNull)
      misplaced += "  " + w.key + " went to [" + w.section + "] of " + w.file + "\n";
  }
  for (const auto& [key, value] : expected) wanted += "  " + key + "=" + harness::Shown(value) + "\n";
  if (seen == wanted && misplaced.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "wrote\n" << seen << "expected\n" << wanted << misplaced;
}

std::string ValueOf(const std::string& key) {
  for (const ProfileWrite& w : Calls.profileWrites)
    if (w.key == key) return w.value;
  return "(not written)";
}

class ConfigDialogTest : public PluginTest {
 protected:
  ::testing::AssertionResult Configure(std::vector<DialogStep> steps) {
    return harness::RunDialogs([this] { player.Config(); }, std::move(steps));
  }
  // Config with one act on the dialog, which must end it.
  ::testing::AssertionResult Configure(const std::function<void(HWND)>& act) {
    return Configure({{kCaption, act}});
  }
  void StartWithoutSpeechEngine() {
    Start([](HMODULE) { Calls.progIdAnswer = ProgIdAnswer::Unknown; });
  }
  // Starts, plays track 0 and waits until the output file holds `text`.
  ::testing::AssertionResult StartAndAnnounce(const std::string& text) {
    StartWithoutSpeechEngine();
    player.Play(0);
    return harness::Eventually([&] { return sim::ReadAll(Path("out.txt")) == text; },
                               "the first announcement");
  }
  void Forget() {
    Calls.profileWrites.clear();
    Calls.timers.clear();
    Calls.fileOpens.clear();
    Calls.registeredMessages.clear();
    Calls.tray.clear();
    player.ClearLog();
  }
};

// ---------------------------------------------------------------------------------------------

class ConfigDialogOpening : public ConfigDialogTest {};

TEST_F(ConfigDialogOpening, ShowsTheSettingsInMemory) {
  WriteIni({{"Enabled", "1"},
            {"FlushFileBuffers", "1"},
            {"WriteMode", "1"},
            {"InitializeOutput", "0"},
            {"TemplateFile", "C:\\tc\\template.txt"},
            {"NotPlayingFile", "C:\\tc\\not playing.txt"},
            {"OutputFile", "C:\\tc\\out.txt"},
            {"PopupEnabled", "1"},
            {"PopupTimeout", "15"},
            {"PopupFormat", "%Artist% / %Title%"},
            {"ReplaceHyphens", "1"}});
  StartWithoutSpeechEngine();
  EXPECT_TRUE(Configure([](HWND dialog) {
    EXPECT_EQ(WindowText(dialog), "Tunecrier");
    EXPECT_EQ(ItemText(dialog, kMainGroup), "Tunecrier v2.2 Configuration");
    EXPECT_TRUE(CheckedAmong(dialog,
                             {kEnable, kFlushBuffers, kInitializeOutput, kEnablePopup,
                              kReplaceHyphens, kEnableSpeech},
                             {kEnable, kFlushBuffers, kEnablePopup, kReplaceHyphens}));
    EXPECT_TRUE(CheckedAmong(dialog, {kOverwrite, kAppend, kPrepend}, {kAppend}));
    EXPECT_EQ(ItemText(dialog, kTemplateFile), "C:\\tc\\template.txt");
    EXPECT_EQ(ItemText(dialog, kNotPlayingFile), "C:\\tc\\not playing.txt");
    EXPECT_EQ(ItemText(dialog, kOutputFile), "C:\\tc\\out.txt");
    EXPECT_EQ(ItemText(dialog, kPopupFormat), "%Artist% / %Title%");
    std::vector<std::string> entries;
    for (int seconds = 10; seconds <= 30; ++seconds) entries.push_back(std::to_string(seconds));
    EXPECT_EQ(Entries(dialog, kTimeout), entries);
    EXPECT_EQ(Selected(dialog), "15");
    Click(dialog, kCancel);
  }));
}

TEST_F(ConfigDialogOpening, ChoosesTheWriteModeAndTimeoutEntry) {
  struct Case {
    const char* writeMode;
    int radio;  // 0: none
    const char* timeout;
    const char* selected;
  };
  const Case cases[] = {{"0", kOverwrite, "15", "15"}, {"1", kAppend, "2", "(none)"},
                        {"2", kPrepend, "5", "(none)"}, {"3", 0, "0", "(none)"},
                        {"65538", kPrepend, "31", "(none)"}, {"0", kOverwrite, "100", "(none)"},
                        {"0", kOverwrite, "30", "30"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("WriteMode ") + c.writeMode + ", PopupTimeout " + c.timeout);
    WriteIni({{"Enabled", "1"}, {"WriteMode", c.writeMode}, {"PopupTimeout", c.timeout}});
    StartWithoutSpeechEngine();
    EXPECT_TRUE(Configure([&](HWND dialog) {
      if (c.radio)
        EXPECT_TRUE(CheckedAmong(dialog, {kOverwrite, kAppend, kPrepend}, {c.radio}));
      else
        EXPECT_TRUE(CheckedAmong(dialog, {kOverwrite, kAppend, kPrepend}, {}));
      EXPECT_EQ(Selected(dialog), c.selected);
      Click(dialog, kCancel);
    }));
    Stop();
  }
}

// ---------------------------------------------------------------------------------------------

class ConfigDialogSwitches : public ConfigDialogTest {};

TEST_F(ConfigDialogSwitches, OpenWithTheGroupsTheSettingsSay) {
  struct Case {
    const char* enabled;
    const char* popup;
    bool general, popupControls;
  };
  const Case cases[] = {{"1", "1", true, true}, {"1", "0", true, false},
                        {"0", "1", false, false}, {"0", "0", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("Enabled ") + c.enabled + ", PopupEnabled " + c.popup);
    WriteIni({{"Enabled", c.enabled}, {"PopupEnabled", c.popup}});
    StartWithoutSpeechEngine();
    EXPECT_TRUE(Configure([&](HWND dialog) {
      EXPECT_TRUE(EnabledAs(dialog, kGeneralControls, c.general));
      EXPECT_TRUE(EnabledAs(dialog, kPopupControls, c.popupControls));
      EXPECT_TRUE(EnabledAs(dialog, kNeverDisabled, true));
      Click(dialog, kCancel);
    }));
    Stop();
  }
}

TEST_F(ConfigDialogSwitches, MasterSwitchTakesEveryGroupAlongAndGivesEachItsOwnStateBack) {
  WriteIni({{"Enabled", "1"}, {"PopupEnabled", "1"}});
  StartWithoutSpeechEngine();
  EXPECT_TRUE(Configure([](HWND dialog) {
    Click(dialog, kEnable);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kEnable), BST_UNCHECKED);
    EXPECT_TRUE(EnabledAs(dialog, kGeneralControls, false)) << "after switching off";
    EXPECT_TRUE(EnabledAs(dialog, kPopupControls, false)) << "after switching off";
    EXPECT_TRUE(EnabledAs(dialog, kNeverDisabled, true)) << "after switching off";

    Click(dialog, kEnable);
    EXPECT_TRUE(EnabledAs(dialog, kGeneralControls, true)) << "after switching on";
    EXPECT_TRUE(EnabledAs(dialog, kPopupControls, true)) << "the popup switch is still on";

    Click(dialog, kEnablePopup);
    EXPECT_TRUE(EnabledAs(dialog, kPopupControls, false)) << "after the popup switch went off";
    EXPECT_TRUE(EnabledAs(dialog, kGeneralControls, true)) << "after the popup switch went off";
    Click(dialog, kEnable);
    Click(dialog, kEnable);
    EXPECT_TRUE(EnabledAs(dialog, kPopupControls, false)) << "the popup switch is still off";
    EXPECT_TRUE(EnabledAs(dialog, {kEnablePopup}, true));
    Click(dialog, kEnablePopup);
    EXPECT_TRUE(EnabledAs(dialog, kPopupControls, true)) << "after the popup switch went on";
    Click(dialog, kCancel);
  }));
}

TEST_F(ConfigDialogSwitches, DisabledPluginOffersEverythingOnceSwitchedOn) {
  WriteIni({{"Enabled", "0"}, {"PopupEnabled", "1"}});
  StartWithoutSpeechEngine();
  EXPECT_TRUE(Configure([](HWND dialog) {
    Click(dialog, kEnable);
    EXPECT_TRUE(EnabledAs(dialog, kGeneralControls, true));
    EXPECT_TRUE(EnabledAs(dialog, kPopupControls, true));
    Click(dialog, kCancel);
  }));
}

// ---------------------------------------------------------------------------------------------

class ConfigDialogOk : public ConfigDialogTest {};

TEST_F(ConfigDialogOk, WritesEveryKeyInOrderAndNeverThePollingInterval) {
  WriteIni({{"Enabled", "1"},
            {"WriteMode", "2"},
            {"PollingInterval", "7"},
            {"TemplateFile", "C:\\old\\template.txt"},
            {"NotPlayingFile", "C:\\old\\np.txt"},
            {"OutputFile", "C:\\old\\out.txt"},
            {"PopupEnabled", "1"},
            {"PopupTimeout", "12"},
            {"PopupFormat", "%Title%"},
            {"Volume", "40"},
            {"TextEncoding", "2"}});
  StartWithoutSpeechEngine();
  Forget();
  const std::string longPath = "C:\\" + std::string(597, 'a');  // 600 characters
  EXPECT_TRUE(Configure([&](HWND dialog) {
    EXPECT_EQ(Entries(dialog, kTextEncoding),
              (std::vector<std::string>{"ANSI", "UTF-8", "UTF-16 LE"}));
    EXPECT_EQ(SendDlgItemMessageA(dialog, kTextEncoding, CB_GETCURSEL, 0, 0), 2);
    SendDlgItemMessageA(dialog, kTextEncoding, CB_SETCURSEL, 1, 0);
    SetItemText(dialog, kTemplateFile, longPath);
    SetItemText(dialog, kOutputFile, "");
    Click(dialog, kFlushBuffers);
    Click(dialog, kInitializeOutput);
    Click(dialog, kOverwrite);
    Click(dialog, kReplaceHyphens);
    SendDlgItemMessageA(dialog, kTimeout, CB_SETCURSEL, 15, 0);  // "25"
    SetItemText(dialog, kPopupFormat, "%Artist%\\n%Title%");
    Click(dialog, kEnablePopup);
    Click(dialog, kOk);
  }));
  EXPECT_TRUE(WroteInOrder({{"Enabled", "1"},
                            {"FlushFileBuffers", "1"},
                            {"WriteMode", "0"},
                            {"InitializeOutput", "1"},
                            {"TemplateFile", longPath.substr(0, 511)},
                            {"NotPlayingFile", "C:\\old\\np.txt"},
                            {"OutputFile", ""},
                            {"CoverArtFile", ""},
                            {"CoverArtMissing", ""},
                            {"PopupEnabled", "0"},
                            {"PopupTimeout", "25"},
                            {"PopupFormat", "%Artist%\\n%Title%"},
                            {"ReplaceHyphens", "1"},
                            {"TextEncoding", "1"}},
                           IniPath()))
      << "without a speech engine the speech keys and Volume are not offered, nor written";
  EXPECT_EQ(StoredValue(IniPath(), "PollingInterval"), "7");
}

TEST_F(ConfigDialogOk, WritesSwitchesOffAndModesByTheirButtons) {
  struct Case {
    const char* writeMode;
    int click;  // a write mode button to click, or 0
    const char* written;
  };
  // Append wins over prepend. A mode no button stands for (a hand edit) checks none, and is
  // kept: written as overwrite, the next track would wipe the log it appends to.
  const Case cases[] = {{"3", 0, "(not written)"}, {"0", kAppend, "1"}, {"0", kPrepend, "2"},
                        {"1", 0, "1"}, {"2", 0, "2"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("WriteMode ") + c.writeMode + ", clicked " + std::to_string(c.click));
    WriteIni({{"Enabled", "1"}, {"FlushFileBuffers", "1"}, {"InitializeOutput", "1"},
              {"WriteMode", c.writeMode}, {"PopupTimeout", "5"}});
    StartWithoutSpeechEngine();
    Forget();
    EXPECT_TRUE(Configure([&](HWND dialog) {
      if (c.click) Click(dialog, c.click);
      Click(dialog, kFlushBuffers);
      Click(dialog, kInitializeOutput);
      Click(dialog, kEnable);  // switched off: the disabled controls are saved all the same
      Click(dialog, kOk);
    }));
    EXPECT_EQ(ValueOf("WriteMode"), c.written);
    if (!c.click) {
      EXPECT_EQ(StoredValue(IniPath(), "WriteMode"), c.writeMode);
    }
    EXPECT_EQ(ValueOf("Enabled"), "0");
    EXPECT_EQ(ValueOf("FlushFileBuffers"), "0");
    EXPECT_EQ(ValueOf("InitializeOutput"), "0");
    EXPECT_EQ(ValueOf("PopupTimeout"), "(not written)") << "the list has no entry 5";
    EXPECT_EQ(StoredValue(IniPath(), "PopupTimeout"), "5");
    Stop();
  }
}

TEST_F(ConfigDialogOk, ReloadsAndAnnouncesAboutTenMillisecondsLater) {
  WriteEnabledIni("first", "");
  harness::WriteBytes(Path("second.txt"), "second");
  player.version = 0x5000;
  ASSERT_TRUE(StartAndAnnounce("first"));
  Forget();
  EXPECT_TRUE(Configure([&](HWND dialog) {
    SetItemText(dialog, kTemplateFile, Path("second.txt"));
    Click(dialog, kOk);
  }));
  EXPECT_EQ(player.CountRequests(sim::IPC_PLAYING_FILE), 0)
      << "no playing notification the player did not send";
  std::vector<TimerCall> timers = Calls.TimersOn(player.window());
  ASSERT_FALSE(timers.empty()) << "an update is armed";
  EXPECT_TRUE(timers[0].set);
  EXPECT_EQ(timers[0].id, 0u);
  EXPECT_EQ(timers[0].period, 10u);
  EXPECT_TRUE(harness::Eventually([&] { return sim::ReadAll(Path("out.txt")) == "second"; },
                                  "the same track announced again from the new template"));
}

// The file changed since init too (a hand edit, another instance of the player): the dialog
// shows it as it is now, and OK neither reverts it nor leaves it unused.
TEST_F(ConfigDialogOk, LaterWritesGoWhereAndHowTheNewSettingsSay) {
  WriteEnabledIni("entry", "");
  harness::WriteBytes(Path("new-out.txt"), "old|");
  harness::WriteBytes(Path("second.txt"), "second");
  ASSERT_TRUE(StartAndAnnounce("entry"));
  WritePrivateProfileStringA("Tunecrier", "TemplateFile", Path("second.txt").c_str(),
                             IniPath().c_str());
  WritePrivateProfileStringA("Tunecrier", "PopupFormat", "%Title% (edited)", IniPath().c_str());
  EXPECT_TRUE(Configure([&](HWND dialog) {
    EXPECT_EQ(ItemText(dialog, kTemplateFile), Path("second.txt"));
    SetItemText(dialog, kOutputFile, Path("new-out.txt"));
    Click(dialog, kAppend);
    Click(dialog, kOk);
  }));
  EXPECT_EQ(StoredValue(IniPath(), "TemplateFile"), Path("second.txt"));
  EXPECT_EQ(StoredValue(IniPath(), "PopupFormat"), "%Title% (edited)");
  EXPECT_TRUE(harness::Eventually(
      [&] { return sim::ReadAll(Path("new-out.txt")) == "old|second"; },
      "the announcement from the file's template appended to the new output file"));
}

TEST_F(ConfigDialogOk, InPollingModeAnnouncesAtTheNextTick) {
  WriteEnabledIni("first", "", {{"PollingInterval", "2"}});
  harness::WriteBytes(Path("second.txt"), "second");
  player.version = 0x2900;
  StartWithoutSpeechEngine();
  player.Play(0);
  ASSERT_TRUE(harness::Eventually([&] { return sim::ReadAll(Path("out.txt")) == "first"; },
                                  "the first polled announcement"));
  Forget();
  EXPECT_TRUE(Configure([&](HWND dialog) {
    SetItemText(dialog, kTemplateFile, Path("second.txt"));
    Click(dialog, kOk);
  }));
  EXPECT_TRUE(FileHolds(Path("out.txt"), "first")) << "no update runs at once";
  EXPECT_EQ(player.CountRequests(sim::IPC_PLAYING_FILE), 0);
  std::vector<TimerCall> timers = Calls.TimersOn(player.window());
  ASSERT_EQ(timers.size(), 2u);
  EXPECT_FALSE(timers[0].set);
  EXPECT_EQ(timers[0].id, 11u);
  EXPECT_TRUE(timers[1].set);
  EXPECT_EQ(timers[1].id, 11u);
  EXPECT_EQ(timers[1].period, 2000u);
  EXPECT_TRUE(harness::Eventually([&] { return sim::ReadAll(Path("out.txt")) == "second"; },
                                  "the next tick announcing the same track again"));
}

// A one-shot update timer set after the polling timer leaves UpdateTimer naming itself; switching
// the plug-in off must stop the polling all the same.
TEST_F(ConfigDialogOk, SwitchedOffStopsPollingAfterAOneShotUpdate) {
  WriteEnabledIni("first", "", {{"PollingInterval", "2"}});
  player.version = 0x2900;
  StartWithoutSpeechEngine();
  player.Play(0);
  SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE);
  ASSERT_TRUE(harness::Eventually([&] { return sim::ReadAll(Path("out.txt")) == "first"; },
                                  "the announcement of the one-shot update"));
  Forget();
  EXPECT_TRUE(Configure([&](HWND dialog) {
    Click(dialog, kEnable);
    Click(dialog, kOk);
  }));
  std::vector<UINT_PTR> killed, set;
  for (const TimerCall& call : Calls.TimersOn(player.window()))
    (call.set ? set : killed).push_back(call.id);
  EXPECT_EQ(killed, std::vector<UINT_PTR>{11})
      << "the polling timer, the one update still armed, and none of the player's";
  EXPECT_TRUE(set.empty()) << "a disabled plug-in arms no update";
}

// The user closes the player while the dialog is open: quit and the unload come inside the
// dialog's loop, and its OK must not bring the plug-in back to life.
TEST_F(ConfigDialogOk, AfterTheUnloadSavesAndTouchesNothingInThePlayer) {
  WriteEnabledIni("x", "", {{"PopupEnabled", "1"}});
  StartWithoutSpeechEngine();
  EXPECT_TRUE(Configure([&](HWND dialog) {
    player.Unload();  // quit, then FreeLibrary
    Forget();
    Click(dialog, kReplaceHyphens);
    Click(dialog, kOk);
  }));
  EXPECT_EQ(ValueOf("ReplaceHyphens"), "1") << "the settings are saved";
  EXPECT_TRUE(Calls.tray.empty()) << "no tray icon comes back";
  EXPECT_EQ(player.CountRequests(sim::IPC_PLAYING_FILE), 0);
}

// An image saved over the output or template file would destroy it.
TEST_F(ConfigDialogOk, RefusesACoverFileThatIsTheOutputOrTemplateFile) {
  WriteEnabledIni("x", "");
  StartWithoutSpeechEngine();
  Forget();
  EXPECT_TRUE(Configure([&](HWND dialog) {
    for (const char* taken : {"OUT.TXT", "template.txt"}) {
      SetItemText(dialog, kCoverFile, Path(taken));
      Click(dialog, kOk);
      EXPECT_EQ(Calls.messageBoxes.size(), 1u) << taken;
      EXPECT_TRUE(Calls.profileWrites.empty()) << "nothing saved";
      EXPECT_TRUE(IsWindow(dialog)) << "the dialog stays open";
      Calls.messageBoxes.clear();
    }
    SetItemText(dialog, kCoverFile, Path("cover.png"));
    SetItemText(dialog, kCoverMissing, Path("none.png"));
    Click(dialog, kOk);
  }));
  EXPECT_EQ(StoredValue(IniPath(), "CoverArtFile"), Path("cover.png"));
  EXPECT_EQ(StoredValue(IniPath(), "CoverArtMissing"), Path("none.png"));
}

// ---------------------------------------------------------------------------------------------

// The popup can be the foreground window (a click on it activates it) when config comes; it
// goes away by itself while the dialog is open, and must not take the dialog with it.
TEST_F(ConfigDialogOk, OutlivesAPopupThatWasTheForegroundWindow) {
  WriteEnabledIni("x", "", {{"PopupEnabled", "1"}, {"PopupTimeout", "1"}});
  Start();
  player.Play(0);
  ASSERT_TRUE(harness::Eventually([] { return !Calls.dialogsMade.empty() && IsWindowVisible(Calls.dialogsMade[0].made); },
                         "the popup"));
  HWND popup = Calls.dialogsMade[0].made;
  SetForegroundWindow(popup);
  ASSERT_EQ(GetForegroundWindow(), popup);
  bool outlived = false;
  EXPECT_TRUE(Configure([&](HWND dialog) {
    sim::PumpUntil([&] { return !IsWindow(popup); }, 15000);  // the popup slides away meanwhile
    outlived = IsWindow(dialog) && IsWindowVisible(dialog);
    harness::SetItemText(dialog, kPopupFormat, "%Title%");
    Click(dialog, kOk);
  }));
  EXPECT_FALSE(IsWindow(popup));
  EXPECT_TRUE(outlived) << "the dialog went with the popup";
  EXPECT_EQ(harness::StoredValue(IniPath(), "PopupFormat"), "%Title%");
}

class ConfigDialogCancel : public ConfigDialogTest {};

TEST_F(ConfigDialogCancel, CancelAndTheCloseBoxWriteAndChangeNothing) {
  struct Case {
    const char* how;
    std::function<void(HWND)> end;
  };
  const Case cases[] = {{"Cancel", [](HWND dialog) { Click(dialog, kCancel); }},
                        {"the close box", [](HWND dialog) { SendMessageA(dialog, WM_CLOSE, 0, 0); }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    DeleteFileA(Path("out.txt").c_str());
    WriteEnabledIni("first", "", {{"PopupEnabled", "1"}, {"Volume", "20"}});
    std::string ini = sim::ReadAll(IniPath());
    player.version = 0x5000;
    ASSERT_TRUE(StartAndAnnounce("first"));
    Forget();
    EXPECT_TRUE(Configure([&](HWND dialog) {
      SetItemText(dialog, kTemplateFile, "C:\\elsewhere.txt");
      Click(dialog, kEnablePopup);
      Click(dialog, kEnable);
      c.end(dialog);
    }));
    EXPECT_TRUE(Calls.profileWrites.empty()) << Calls.profileWrites.size() << " writes";
    EXPECT_EQ(sim::ReadAll(IniPath()), ini);
    EXPECT_TRUE(Calls.TimersOn(player.window()).empty()) << "no update timer set or killed";
    EXPECT_TRUE(Calls.tray.empty()) << "the tray icon stays";
    EXPECT_TRUE(harness::FilesOpenedBut(IniPath()).empty()) << "no file read again";
    EXPECT_TRUE(Calls.registeredMessages.empty());
    EXPECT_EQ(player.CountRequests(sim::IPC_PLAYING_FILE), 0);
    Stop();
  }
}

// ---------------------------------------------------------------------------------------------

class ConfigDialogWithoutSpeechEngine : public ConfigDialogTest {};

TEST_F(ConfigDialogWithoutSpeechEngine, OffersNoSpeechAndKeepsItsStoredSettings) {
  WriteIni({{"Enabled", "1"},
            {"SpeechEnabled", "1"},
            {"SpeechFormat", "Now %Title%"},
            {"WhenSpeaking", "1"},
            {"Volume", "20"}});
  StartWithoutSpeechEngine();
  Forget();
  EXPECT_TRUE(Configure([](HWND dialog) {
    EXPECT_TRUE(EnabledAs(dialog, kSpeechControls, false));
    EXPECT_TRUE(EnabledAs(dialog, {kEnableSpeech}, false));
    EXPECT_TRUE(CheckedAmong(dialog, {kEnableSpeech, kPausePlay, kChangeVolume}, {}));
    EXPECT_EQ(ItemText(dialog, kSpeechFormat), "");
    Click(dialog, kEnable);
    Click(dialog, kEnable);
    EXPECT_TRUE(EnabledAs(dialog, kSpeechControls, false)) << "after the master switch";
    EXPECT_TRUE(EnabledAs(dialog, {kEnableSpeech}, false)) << "after the master switch";
    Click(dialog, kOk);
  }));
  for (const char* key : {"SpeechEnabled", "SpeechFormat", "WhenSpeaking", "Volume"})
    EXPECT_EQ(ValueOf(key), "(not written)") << key;
  EXPECT_EQ(StoredValue(IniPath(), "SpeechFormat"), "Now %Title%");
}

// ---------------------------------------------------------------------------------------------

class ConfigDialogWithSpeechEngine : public ConfigDialogTest {
 protected:
  // Starts with a speech engine registered as far as the plug-in can tell; false (and the
  // case skipped) while the plug-in does not look the engine up in a way a test can stage.
  bool StartWithSpeechEngine() {
    Start([](HMODULE) { Calls.progIdAnswer = ProgIdAnswer::Known; });
    return Calls.hooked.count("CLSIDFromProgID") != 0;
  }
};

constexpr char kNoSpeechStaging[] =
    "gen_tunecrier.dll does not import CLSIDFromProgID, so a speech engine cannot be staged for it";

TEST_F(ConfigDialogWithSpeechEngine, ShowsTheSpeechSettingsAndFollowsBothSwitches) {
  WriteIni({{"Enabled", "1"},
            {"SpeechEnabled", "1"},
            {"SpeechFormat", "Now %Title%"},
            {"WhenSpeaking", "1"}});
  if (!StartWithSpeechEngine()) GTEST_SKIP() << kNoSpeechStaging;
  EXPECT_TRUE(Configure([](HWND dialog) {
    EXPECT_TRUE(CheckedAmong(dialog, {kEnableSpeech, kPausePlay, kChangeVolume},
                             {kEnableSpeech, kChangeVolume}));
    EXPECT_EQ(ItemText(dialog, kSpeechFormat), "Now %Title%");
    EXPECT_TRUE(EnabledAs(dialog, kSpeechControls, true));
    EXPECT_TRUE(EnabledAs(dialog, {kEnableSpeech}, true));

    Click(dialog, kEnableSpeech);
    EXPECT_TRUE(EnabledAs(dialog, kSpeechControls, false)) << "after the speech switch went off";
    Click(dialog, kEnableSpeech);
    EXPECT_TRUE(EnabledAs(dialog, kSpeechControls, true)) << "after the speech switch went on";

    Click(dialog, kEnable);
    EXPECT_TRUE(EnabledAs(dialog, kSpeechControls, false)) << "after the master switch went off";
    EXPECT_TRUE(EnabledAs(dialog, {kEnableSpeech}, false)) << "after the master switch went off";
    Click(dialog, kEnable);
    EXPECT_TRUE(EnabledAs(dialog, kSpeechControls, true)) << "after the master switch went on";
    EXPECT_TRUE(EnabledAs(dialog, {kEnableSpeech}, true)) << "after the master switch went on";
    Click(dialog, kOk);
  }));
  EXPECT_EQ(ValueOf("SpeechEnabled"), "1");
  EXPECT_EQ(ValueOf("SpeechFormat"), "Now %Title%");
  EXPECT_EQ(ValueOf("WhenSpeaking"), "1");
}

TEST_F(ConfigDialogWithSpeechEngine, DisabledPluginKeepsTheSpeechSwitchOff) {
  WriteIni({{"Enabled", "0"}, {"SpeechEnabled", "1"}, {"WhenSpeaking", "0"}});
  if (!StartWithSpeechEngine()) GTEST_SKIP() << kNoSpeechStaging;
  EXPECT_TRUE(Configure([](HWND dialog) {
    EXPECT_TRUE(CheckedAmong(dialog, {kEnableSpeech, kPausePlay, kChangeVolume},
                             {kEnableSpeech, kPausePlay}));
    EXPECT_TRUE(EnabledAs(dialog, {kEnableSpeech}, false));
    EXPECT_TRUE(EnabledAs(dialog, kSpeechControls, false));
    Click(dialog, kEnable);
    EXPECT_TRUE(EnabledAs(dialog, {kEnableSpeech}, true));
    EXPECT_TRUE(EnabledAs(dialog, kSpeechControls, true));
    Click(dialog, kCancel);
  }));
}

TEST_F(ConfigDialogWithSpeechEngine, ChoosingChangeVolumeAsksForTheLevelAndPauseDoesNot) {
  WriteIni({{"Enabled", "1"}, {"SpeechEnabled", "1"}, {"WhenSpeaking", "1"}});
  if (!StartWithSpeechEngine()) GTEST_SKIP() << kNoSpeechStaging;
  int volumeDialogs = 0;
  EXPECT_TRUE(Configure({
      {kCaption, [](HWND dialog) { Click(dialog, kChangeVolume); }},  // chosen already
      {"Change Volume", [&](HWND volume) { ++volumeDialogs; Click(volume, kCancel); }},
      {kCaption,
       [&](HWND dialog) {
         Click(dialog, kPausePlay);
         EXPECT_TRUE(CheckedAmong(dialog, {kPausePlay, kChangeVolume}, {kPausePlay}));
         Click(dialog, kOk);
       }},
  }));
  EXPECT_EQ(volumeDialogs, 1);
  EXPECT_EQ(ValueOf("WhenSpeaking"), "0");
}

// ---------------------------------------------------------------------------------------------

class ConfigDialogBrowse : public ConfigDialogTest {};

constexpr char kFilter[] = "Text Files (*.TXT)\0*.TXT\0All Files (*.*)\0*.*\0";
constexpr char kImageFilter[] =
    "Images (*.jpg;*.jpeg;*.png)\0*.jpg;*.jpeg;*.png\0All Files (*.*)\0*.*\0";

// The filter list up to its closing double zero, or what there is within `limit` bytes.
std::string FilterList(const char* filter, std::size_t limit = 256) {
  if (!filter) return "(null)";
  std::size_t n = 0;
  while (n + 1 < limit && !(filter[n] == '\0' && filter[n + 1] == '\0')) ++n;
  return std::string(filter, n + 2);
}

TEST_F(ConfigDialogBrowse, OffersTheBoxTextAndTakesThePickedFile) {
  struct Case {
    int button, edit;
    bool save;
    const char* title;
    DWORD flags;
    std::string filter = std::string(kFilter, sizeof kFilter);
  };
  const std::string images(kImageFilter, sizeof kImageFilter);
  const Case cases[] = {
      {kBrowseTemplate, kTemplateFile, false, "Open Template File", 0x81804},
      {kBrowseNotPlaying, kNotPlayingFile, false, "Open \"Not Playing\" File", 0x881804},
      {kBrowseOutput, kOutputFile, true, "Save Output To", 0x880804},
      {kBrowseCover, kCoverFile, true, "Save Cover Art To", 0x880804, images},
      {kBrowseCoverMissing, kCoverMissing, false, "Open Image for Tracks Without Cover", 0x881804,
       images},
  };
  WriteIni({{"Enabled", "1"}});
  StartWithoutSpeechEngine();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    Calls.fileDialogs.clear();
    std::string title, filter;
    Calls.fileDialog = [&](bool, OPENFILENAMEA* record) {
      title = record->lpstrTitle ? record->lpstrTitle : "(null)";
      filter = FilterList(record->lpstrFilter);
      lstrcpynA(record->lpstrFile, "C:\\picked\\file.txt", record->nMaxFile);
      return TRUE;
    };
    EXPECT_TRUE(Configure([&](HWND dialog) {
      SetItemText(dialog, c.edit, "C:\\offered name.txt");
      Click(dialog, c.button);
      EXPECT_EQ(ItemText(dialog, c.edit), "C:\\picked\\file.txt");
      Click(dialog, kCancel);
    }));
    ASSERT_EQ(Calls.fileDialogs.size(), 1u);
    const FileDialogCall& call = Calls.fileDialogs[0];
    EXPECT_EQ(call.save, c.save);
    EXPECT_EQ(call.initialName, "C:\\offered name.txt");
    const OPENFILENAMEA& r = call.record;
    EXPECT_EQ(r.lStructSize, 76u);
    EXPECT_EQ(r.hwndOwner, player.window()) << "owned by the player's window";
    EXPECT_EQ(r.hInstance, player.module());
    EXPECT_EQ(r.nMaxFile, 512u);
    EXPECT_EQ(r.Flags, c.flags);
    EXPECT_EQ(title, c.title);
    EXPECT_EQ(filter, c.filter) << harness::Shown(filter);
    EXPECT_EQ(r.nFilterIndex, 0u);
    EXPECT_EQ(r.lpstrCustomFilter, nullptr);
    EXPECT_EQ(r.lpstrInitialDir, nullptr);
    EXPECT_EQ(r.lpstrDefExt, nullptr);
    EXPECT_EQ(r.lpstrFileTitle, nullptr);
    EXPECT_EQ(r.lpfnHook, nullptr);
  }
}

TEST_F(ConfigDialogBrowse, InvalidNameAsksAgainWithAnEmptyName) {
  struct Case {
    const char* what;
    bool cancelSecond;
    const char* boxAfter;
  };
  const Case cases[] = {{"second dialog cancelled", true, ""},
                        {"second dialog picks", false, "C:\\picked.txt"}};
  WriteIni({{"Enabled", "1"}});
  StartWithoutSpeechEngine();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Calls.fileDialogs.clear();
    Calls.fileDialog = [&](bool, OPENFILENAMEA* record) {
      if (Calls.fileDialogs.size() == 1) {
        Calls.fileDialogError = FNERR_INVALIDFILENAME;
        return FALSE;
      }
      if (c.cancelSecond) return FALSE;
      lstrcpynA(record->lpstrFile, "C:\\picked.txt", record->nMaxFile);
      return TRUE;
    };
    EXPECT_TRUE(Configure([&](HWND dialog) {
      SetItemText(dialog, kTemplateFile, "C:\\bad|name?.txt");
      Click(dialog, kBrowseTemplate);
      EXPECT_EQ(ItemText(dialog, kTemplateFile), c.boxAfter);
      Click(dialog, kCancel);
    }));
    ASSERT_EQ(Calls.fileDialogs.size(), 2u);
    EXPECT_EQ(Calls.fileDialogs[0].initialName, "C:\\bad|name?.txt");
    EXPECT_EQ(Calls.fileDialogs[1].initialName, "");
    EXPECT_EQ(std::memcmp(&Calls.fileDialogs[0].record, &Calls.fileDialogs[1].record, 76), 0)
        << "the second dialog gets the same record";
  }
}

TEST_F(ConfigDialogBrowse, CancelOrFailureKeepsTheText) {
  struct Case {
    const char* what;
    DWORD error;
  };
  // A buffer too small for the chosen name comes back holding the size it needs.
  const Case cases[] = {{"cancelled", 0}, {"name too long", FNERR_BUFFERTOOSMALL}};
  WriteIni({{"Enabled", "1"}});
  StartWithoutSpeechEngine();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Calls.fileDialogs.clear();
    Calls.fileDialog = [&](bool, OPENFILENAMEA* record) {
      if (c.error == FNERR_BUFFERTOOSMALL) {
        WORD needed = 600;
        std::memcpy(record->lpstrFile, &needed, sizeof needed);
      }
      Calls.fileDialogError = c.error;
      return FALSE;
    };
    EXPECT_TRUE(Configure([&](HWND dialog) {
      SetItemText(dialog, kOutputFile, "C:\\kept.txt");
      Click(dialog, kBrowseOutput);
      EXPECT_EQ(ItemText(dialog, kOutputFile), "C:\\kept.txt");
      Click(dialog, kCancel);
    }));
    EXPECT_EQ(Calls.fileDialogs.size(), 1u) << "no second dialog";
  }
}

// The real dialogs move the process's current directory to the folder browsed.
TEST_F(ConfigDialogBrowse, LeavesThePlayersCurrentDirectoryAsItWas) {
  WriteIni({{"Enabled", "1"}});
  StartWithoutSpeechEngine();
  char start[MAX_PATH] = {}, after[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof start, start);
  ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
  Calls.fileDialog = [](bool, OPENFILENAMEA*) { return SetCurrentDirectoryA("C:\\"); };
  EXPECT_TRUE(Configure([&](HWND dialog) {
    Click(dialog, kBrowseOutput);
    GetCurrentDirectoryA(sizeof after, after);
    Click(dialog, kCancel);
  }));
  SetCurrentDirectoryA(start);
  EXPECT_EQ(Calls.fileDialogs.size(), 1u);
  EXPECT_EQ(std::string(after) + "\\", dir);
}

// ---------------------------------------------------------------------------------------------

class ConfigDialogEdit : public ConfigDialogTest {};

TEST_F(ConfigDialogEdit, EmptyPathWarnsAndStartsNothing) {
  struct Case {
    int button, edit;
    const char* warning;
  };
  const Case cases[] = {{kEditTemplate, kTemplateFile, "A template file has not been specified."},
                        {kEditNotPlaying, kNotPlayingFile,
                         "A \"Not Playing\" file has not been specified."}};
  WriteIni({{"Enabled", "1"}, {"TemplateFile", "C:\\t.txt"}, {"NotPlayingFile", "C:\\n.txt"}});
  StartWithoutSpeechEngine();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.warning);
    Calls.messageBoxes.clear();
    Calls.shellExecutes.clear();
    EXPECT_TRUE(Configure([&](HWND dialog) {
      SetItemText(dialog, c.edit, "");
      Click(dialog, c.button);
      Click(dialog, kCancel);
    }));
    ASSERT_EQ(Calls.messageBoxes.size(), 1u);
    EXPECT_EQ(Calls.messageBoxes[0].owner, player.window());
    EXPECT_EQ(Calls.messageBoxes[0].text, c.warning);
    EXPECT_EQ(Calls.messageBoxes[0].caption, "Not Specified");
    EXPECT_EQ(Calls.messageBoxes[0].type, 0x30u);
    EXPECT_TRUE(Calls.shellExecutes.empty());
  }
}

TEST_F(ConfigDialogEdit, PathOpensInNotepadAndTheDialogStays) {
  struct Case {
    int button, edit;
  };
  const Case cases[] = {{kEditTemplate, kTemplateFile}, {kEditNotPlaying, kNotPlayingFile}};
  WriteIni({{"Enabled", "1"}});
  StartWithoutSpeechEngine();
  const std::string path = "C:\\My Music\\now playing.txt";
  char folder[MAX_PATH] = {};
  GetSystemDirectoryA(folder, sizeof folder);
  const std::string system = folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    Calls.messageBoxes.clear();
    Calls.shellExecutes.clear();
    EXPECT_TRUE(Configure({{kCaption,
                            [&](HWND dialog) {
                              SetItemText(dialog, c.edit, path);
                              Click(dialog, c.button);
                            }},
                           {kCaption, [](HWND dialog) { Click(dialog, kCancel); }}}));
    ASSERT_EQ(Calls.shellExecutes.size(), 1u);
    const ShellExecuteCall& call = Calls.shellExecutes[0];
    EXPECT_EQ(call.owner, player.window());
    EXPECT_EQ(call.verb, "open");
    EXPECT_EQ(call.file, system + "\\notepad.exe") << "by its full path";
    EXPECT_EQ(call.parameters, "\"" + path + "\"");
    EXPECT_TRUE(call.directoryNull);
    EXPECT_EQ(call.show, SW_SHOWNORMAL);
    EXPECT_TRUE(Calls.messageBoxes.empty());
  }
}

// ---------------------------------------------------------------------------------------------

// One control or the dialog itself as its template in the DLL describes it.
struct TemplateItem {
  DWORD style = 0;
  DWORD exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  std::string kind;  // window class, in capitals: class names ignore case
  std::string text;
};

struct DialogTemplate {
  bool extended = false;
  TemplateItem dialog;  // kind: the font as "points face"
  std::vector<TemplateItem> controls;
};

std::string Shown(const TemplateItem& item) {
  char line[512];
  std::snprintf(line, sizeof line, "%d %s \"%s\" style %08lX ex %08lX at %d,%d %dx%d", item.id,
                item.kind.c_str(), item.text.c_str(), item.style, item.exStyle, item.x, item.y,
                item.cx, item.cy);
  return line;
}

class TemplateReader {
 public:
  TemplateReader(const BYTE* at, const BYTE* end) : at_(at), end_(end) {}
  bool ok() const { return ok_; }
  WORD Word() {
    if (at_ + 2 > end_) return ok_ = false, 0;
    WORD w = static_cast<WORD>(at_[0] | at_[1] << 8);
    at_ += 2;
    return w;
  }
  DWORD Dword() {
    DWORD low = Word();
    return low | static_cast<DWORD>(Word()) << 16;
  }
  short Short() { return static_cast<short>(Word()); }
  std::string String() {
    std::string text;
    for (WORD c = Word(); ok_ && c != 0; c = Word()) text += c < 0x80 ? static_cast<char>(c) : '?';
    return text;
  }
  // A name or a number: 0xFFFF followed by an ordinal, the system's class atoms by name.
  std::string NameOrOrdinal() {
    WORD first = Word();
    if (first == 0) return "";
    if (first == 0xFFFF) {
      WORD ordinal = Word();
      const char* classes[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
      if (ordinal >= 0x80 && ordinal <= 0x85) return classes[ordinal - 0x80];
      return "#" + std::to_string(ordinal);
    }
    at_ -= 2;
    return String();
  }
  void Align(const BYTE* base) {
    while ((at_ - base) % 4) ++at_;
  }

 private:
  const BYTE* at_;
  const BYTE* end_;
  bool ok_ = true;
};

::testing::AssertionResult ReadTemplate(HMODULE module, int id, DialogTemplate* out) {
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
  if (!found) return ::testing::AssertionFailure() << "no dialog template " << id;
  auto* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  TemplateReader r(base, base + SizeofResource(module, found));
  DialogTemplate t;
  TemplateItem& d = t.dialog;
  int count = 0;
  WORD version = r.Word(), signature = r.Word();
  t.extended = version == 1 && signature == 0xFFFF;
  if (t.extended) {
    r.Dword();  // help id
    d.exStyle = r.Dword();
    d.style = r.Dword();
  } else {
    d.style = version | static_cast<DWORD>(signature) << 16;
    d.exStyle = r.Dword();
  }
  count = r.Word();
  d.x = r.Short(), d.y = r.Short(), d.cx = r.Short(), d.cy = r.Short();
  if (!r.NameOrOrdinal().empty()) return ::testing::AssertionFailure() << "a menu in " << id;
  d.kind = r.NameOrOrdinal();
  d.text = r.String();
  if (d.style & DS_SETFONT) {
    std::string points = std::to_string(r.Word());
    if (t.extended) r.Dword();  // weight, italic, character set
    d.kind += (d.kind.empty() ? "" : " ") + points + " " + r.String();
  }
  for (int i = 0; i < count && r.ok(); ++i) {
    r.Align(base);
    TemplateItem c;
    if (t.extended) {
      r.Dword();  // help id
      c.exStyle = r.Dword();
      c.style = r.Dword();
    } else {
      c.style = r.Dword();
      c.exStyle = r.Dword();
    }
    c.x = r.Short(), c.y = r.Short(), c.cx = r.Short(), c.cy = r.Short();
    c.id = t.extended ? static_cast<int>(r.Dword()) : r.Word();
    c.kind = r.NameOrOrdinal();
    CharUpperA(c.kind.data());
    c.text = r.NameOrOrdinal();
    WORD extra = r.Word();
    for (WORD b = 0; b < extra; b += 2) r.Word();
    t.controls.push_back(c);
  }
  if (!r.ok()) return ::testing::AssertionFailure() << "template " << id << " ends too soon";
  *out = t;
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ControlsAre(const std::vector<TemplateItem>& seen,
                                       const std::vector<TemplateItem>& expected) {
  std::string differences;
  for (std::size_t i = 0; i < std::max(seen.size(), expected.size()); ++i) {
    std::string a = i < seen.size() ? Shown(seen[i]) : "(none)";
    std::string b = i < expected.size() ? Shown(expected[i]) : "(none)";
    if (a != b) differences += "\n  control " + std::to_string(i + 1) + ": " + a + "\n   expected: " + b;
  }
  if (differences.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "in tab order:" << differences;
}

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kTab = WS_TABSTOP;
constexpr DWORD kPush = kChild | BS_PUSHBUTTON | kTab;
constexpr DWORD kCheck = kChild | BS_AUTOCHECKBOX | kTab;
constexpr DWORD kRadio = kChild | BS_AUTORADIOBUTTON;
constexpr DWORD kFirstRadio = kRadio | WS_GROUP | kTab;
constexpr DWORD kPathBox = kChild | ES_AUTOHSCROLL | WS_BORDER | kTab;
constexpr DWORD kFrame = kChild | BS_GROUPBOX;
constexpr DWORD kLabel = kChild | SS_LEFT;

class DialogTemplates : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    module = LoadLibraryExA(DllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
  }
  void TearDown() override {
    if (module) FreeLibrary(module);
    PluginTest::TearDown();
  }
  HMODULE module = nullptr;
};

TEST_F(DialogTemplates, ConfigurationDialogIsAPlainTemplateWithEveryControl) {
  DialogTemplate t;
  ASSERT_TRUE(ReadTemplate(module, 102, &t));
  EXPECT_FALSE(t.extended);
  EXPECT_EQ(Shown(t.dialog), Shown({0x80C800C0, 0, 20, 20, 320, 266, 0, "8 MS Sans Serif", ""}));
  EXPECT_TRUE(ControlsAre(t.controls, {
      {kChild | BS_DEFPUSHBUTTON | kTab, 0, 236, 238, 38, 14, 1, "BUTTON", "&OK"},
      {kPush, 0, 278, 238, 38, 14, 2, "BUTTON", "&Cancel"},
      {kCheck, 0, 10, 241, 38, 10, 1001, "BUTTON", "&Enable"},
      {kPathBox, 0, 68, 20, 150, 12, 1007, "EDIT", ""},
      {kPush, 0, 220, 20, 40, 12, 1010, "BUTTON", "&Browse..."},
      {kPush, 0, 264, 20, 40, 12, 1017, "BUTTON", "E&dit"},
      {kPathBox, 0, 68, 38, 150, 12, 1008, "EDIT", ""},
      {kPush, 0, 220, 38, 40, 12, 1015, "BUTTON", "B&rowse..."},
      {kPush, 0, 264, 38, 40, 12, 1018, "BUTTON", "Ed&it"},
      {kPathBox, 0, 68, 56, 150, 12, 1009, "EDIT", ""},
      {kPush, 0, 220, 56, 40, 12, 1016, "BUTTON", "Br&owse..."},
      {kPathBox, 0, 68, 204, 150, 12, 1061, "EDIT", ""},
      {kPush, 0, 220, 204, 40, 12, 1063, "BUTTON", "Bro&wse..."},
      {kPathBox, 0, 68, 220, 150, 12, 1064, "EDIT", ""},
      {kPush, 0, 220, 220, 40, 12, 1066, "BUTTON", "Browse..."},
      {kPathBox, 0, 68, 73, 150, 12, 1028, "EDIT", ""},
      {kCheck, 0, 224, 75, 73, 10, 1029, "BUTTON", "Replace &Hyphens"},
      {kPathBox, 0, 68, 90, 150, 12, 1031, "EDIT", ""},
      {kCheck, 0, 224, 91, 65, 10, 1032, "BUTTON", "Enable &Speech"},
      {kFirstRadio, 0, 38, 118, 51, 10, 1019, "BUTTON", "Pa&use Play"},
      {kRadio, 0, 37, 130, 66, 10, 1020, "BUTTON", "Change Volu&me"},
      {kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_GROUP | kTab, 0, 124, 122, 26, 82, 1002,
       "COMBOBOX", ""},
      {kFirstRadio, 0, 224, 120, 46, 10, 1024, "BUTTON", "O&verwrite"},
      {kRadio, 0, 224, 132, 41, 10, 1022, "BUTTON", "&Append"},
      {kRadio, 0, 224, 144, 43, 10, 1025, "BUTTON", "Prepe&nd"},
      {kLabel | WS_GROUP, 0, 224, 158, 66, 8, 1042, "STATIC", "Te&xt encoding:"},
      {kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_GROUP | kTab, 0, 224, 168, 66, 60, 1041,
       "COMBOBOX", ""},
      {kCheck | WS_GROUP, 0, 10, 148, 57, 10, 1021, "BUTTON", "&Flush Buffers"},
      {kCheck, 0, 70, 148, 77, 10, 1023, "BUTTON", "Ini&tialize Output File"},
      {kCheck, 0, 150, 148, 61, 10, 1005, "BUTTON", "Enable &Popup"},
      {kFrame, 0, 118, 108, 76, 34, 1003, "BUTTON", "Popup Box Timeout"},
      {kLabel, 0, 152, 124, 29, 8, 1004, "STATIC", "Seconds"},
      {kFrame, 0, 4, 8, 312, 182, 1011, "BUTTON", "Tunecrier x.x Configuration"},
      {kLabel, 0, 22, 22, 45, 8, 1012, "STATIC", " Template file:"},
      {kLabel, 0, 11, 40, 56, 8, 1013, "STATIC", "\"Not Playing\" file:"},
      {kLabel, 0, 30, 58, 37, 8, 1014, "STATIC", " Output file:"},
      {kFrame, 0, 4, 192, 312, 44, 1060, "BUTTON", "Cover Art"},
      {kLabel, 0, 31, 206, 36, 8, 1062, "STATIC", "Cover file:"},
      {kLabel, 0, 16, 222, 51, 8, 1065, "STATIC", "Without cover:"},
      {kFrame, 0, 32, 108, 76, 34, 1006, "BUTTON", "When Speaking"},
      {kFrame, 0, 220, 108, 78, 76, 1026, "BUTTON", "Output File Mode"},
      {kLabel, 0, 20, 75, 47, 8, 1027, "STATIC", "Popup Format:"},
      {kLabel, 0, 16, 92, 51, 8, 1030, "STATIC", "Speech Format:"},
      {kLabel | SS_NOPREFIX | SS_PATHELLIPSIS, 0, 4, 256, 312, 8, 1043, "STATIC", ""},
  }));
}

TEST_F(DialogTemplates, VolumeDialogIsAnExtendedTemplateWithASlider) {
  DialogTemplate t;
  ASSERT_TRUE(ReadTemplate(module, 110, &t));
  EXPECT_TRUE(t.extended);
  EXPECT_EQ(Shown(t.dialog),
            Shown({0x80C000C0, 0, 0, 0, 190, 107, 0, "8 MS Sans Serif", "Change Volume"}));
  EXPECT_TRUE(ControlsAre(t.controls, {
      {kChild | BS_DEFPUSHBUTTON | kTab, 0, 104, 90, 38, 14, 1, "BUTTON", "OK"},
      {kPush, 0, 147, 90, 38, 14, 2, "BUTTON", "Cancel"},
      {kChild | 0x0001 | 0x0004 | kTab, WS_EX_DLGMODALFRAME, 12, 48, 166, 22, 1033,
       "MSCTLS_TRACKBAR32", "Slider1"},  // TBS_AUTOTICKS | TBS_TOP, horizontal
      {kLabel, 0, 10, 16, 170, 18, 1034, "STATIC",
       "Set the volume level that Winamp should be set to when a speech operation is in "
       "progress."},
      {kLabel, 0, 88, 72, 18, 8, 1035, "STATIC", "100%"},
      {kLabel, 0, 18, 39, 10, 8, 1037, "STATIC", "0%"},
      {kLabel, 0, 90, 39, 14, 8, 1038, "STATIC", "50%"},
      {kLabel, 0, 159, 39, 18, 8, 1039, "STATIC", "100%"},
      {kFrame, 0, 4, 2, 182, 84, 1040, "BUTTON", "Set Volume"},
  }));
}

}  // namespace

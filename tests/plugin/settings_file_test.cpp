// Where the settings live: beside the DLL while the plug-in may write there, else in the
// player's settings folder. Writes to a settings file fail through the DLL's import table
// (the tests run as root, so file modes cannot stand in for rights); the simulator names a
// settings folder of the test's own.
#include <gtest/gtest.h>

#include <set>

#include "harness.h"

namespace {

using harness::FileMissing;
using harness::ItemText;
using harness::StoredValue;

constexpr int kTemplateFile = 1007;
constexpr int kSettingsFile = 1043;

int FontHeight(HWND window) {
  LOGFONTA font = {};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
}

class SettingsFileTest : public harness::PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    CreateDirectoryA(Path("player").c_str(), nullptr);
    player.iniDirectory = sim::Wide(Path("player"));
  }
  std::string PlayerIni() const { return Path("player\\gen_tunecrier.ini"); }
  // Starts the plug-in with every write to these files failing.
  void StartWith(const std::set<std::string>& unwritable) {
    Start([unwritable](HMODULE) { Calls.unwritableFiles = unwritable; });
  }
  ::testing::AssertionResult Configure(const std::function<void(HWND)>& act) {
    return harness::RunDialogs([this] { player.Config(); }, {{"Tunecrier", act}});
  }
  // Loads the copy of the DLL at `dll` (made from this case's), with the recorders installed
  // and then `beforeInit`.
  void StartFrom(const std::wstring& dll, const std::function<void(HMODULE)>& beforeInit = {}) {
    ASSERT_TRUE(CopyFileW(sim::Wide(DllPath()).c_str(), dll.c_str(), FALSE));
    ASSERT_TRUE(player.Load(dll, [&](HMODULE module) {
      InstallRecorders(module);
      if (beforeInit) beforeInit(module);
    }));
    started = true;
  }
  std::vector<LPARAM> FolderRequests() const {
    std::vector<LPARAM> asked;
    for (LPARAM code : player.Requests())
      if (code == sim::IPC_GETINIDIRECTORY || code == sim::IPC_GETINIDIRECTORYW)
        asked.push_back(code);
    return asked;
  }
};

TEST_F(SettingsFileTest, WhereTheyCanBeWrittenBesideTheDllTheProbeLeavesNoFileThere) {
  Start();
  EXPECT_TRUE(FileMissing(IniPath()));
  EXPECT_TRUE(FolderRequests().empty()) << "the player is not asked for its folder";
}

TEST_F(SettingsFileTest, OtherwiseTheyGoToAndComeBackFromThePlayersFolder) {
  struct Case {
    unsigned version;
    std::wstring folder;  // in this case's folder
    std::vector<LPARAM> asked;
  };
  const Case cases[] = {
      // Cyrillic, which the code page (1252) cannot spell: only the wide answer reaches it.
      {0x5058, L"\x0438\x0433\x0440\x043E\x043A", {sim::IPC_GETINIDIRECTORYW}},
      // A 5.x player before the wide request (it would answer 1) is asked the narrow one only.
      {0x5057, L"5.57", {sim::IPC_GETINIDIRECTORY}},
      {0x2900, L"2.9", {sim::IPC_GETINIDIRECTORY}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    std::wstring folder = sim::Wide(dir) + c.folder;
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    player.version = c.version;
    player.iniDirectory = folder;
    std::string chosen = "C:\\" + std::to_string(c.version) + ".txt";
    player.ClearLog();
    StartWith({IniPath()});
    EXPECT_EQ(FolderRequests(), c.asked);
    std::string shown;
    EXPECT_TRUE(Configure([&](HWND dialog) {
      shown = ItemText(dialog, kSettingsFile);
      EXPECT_LT(FontHeight(GetDlgItem(dialog, kSettingsFile)), FontHeight(dialog));
      harness::SetItemText(dialog, kTemplateFile, chosen);
      harness::Click(dialog, IDOK);
    }));
    EXPECT_TRUE(Calls.messageBoxes.empty());
    EXPECT_TRUE(Calls.liveObjects.empty()) << "the small font goes with the dialog";
    std::wstring ini = folder + L"\\gen_tunecrier.ini";
    EXPECT_NE(GetFileAttributesW(ini.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(StoredValue(shown.substr(shown.find(": ") + 2), "TemplateFile"), chosen) << shown;
    Stop();
    StartWith({IniPath()});
    EXPECT_TRUE(Configure([&](HWND dialog) {
      EXPECT_EQ(ItemText(dialog, kTemplateFile), chosen);
      harness::Click(dialog, IDCANCEL);
    }));
    Stop();
  }
}

TEST_F(SettingsFileTest, AnIniBesideTheDllIsWhereThePlayersFileStartsOnce) {
  WriteEnabledIni("seeded", "", {{"PollingInterval", "7"}});
  StartWith({IniPath()});
  player.Play(0);
  EXPECT_TRUE(harness::Eventually([&] { return sim::ReadAll(Path("out.txt")) == "seeded"; },
                                  "the announcement by the settings copied"));
  EXPECT_EQ(StoredValue(PlayerIni(), "PollingInterval"), "7") << "a key the dialog never writes";
  Stop();
  WriteIni({{"Enabled", "0"}});  // changed beside the DLL later: not copied again
  harness::WriteBytes(Path("out.txt"), "");
  StartWith({IniPath()});
  player.Play(0);
  EXPECT_TRUE(harness::Eventually([&] { return sim::ReadAll(Path("out.txt")) == "seeded"; },
                                  "the announcement by the player's file"));
}

TEST_F(SettingsFileTest, ConfigMovesAwayFromAFileMadeReadOnlySinceInit) {
  WriteIni({{"PollingInterval", "7"}});
  Start();
  Calls.unwritableFiles = {IniPath()};
  EXPECT_TRUE(Configure([&](HWND dialog) {
    EXPECT_EQ(ItemText(dialog, kSettingsFile), "Settings file: " + PlayerIni());
    harness::Click(dialog, IDOK);
  }));
  EXPECT_TRUE(Calls.messageBoxes.empty());
  EXPECT_EQ(StoredValue(PlayerIni(), "PollingInterval"), "7");
  EXPECT_EQ(StoredValue(PlayerIni(), "Enabled"), "0");
}

TEST_F(SettingsFileTest, ASaveThatFailsSaysSoAndTheDialogStaysOpen) {
  struct Case {
    const char* what;
    unsigned version;
  };
  const Case cases[] = {{"the player's folder cannot be written either", 0x5000},
                        {"a player before 2.9 cannot name its folder", 0x28FF}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    player.version = c.version;
    player.ClearLog();
    StartWith({IniPath(), PlayerIni()});
    EXPECT_EQ(FolderRequests().empty(), c.version < 0x2900);
    EXPECT_TRUE(Configure([&](HWND dialog) {
      harness::Click(dialog, IDOK);
      ASSERT_EQ(Calls.messageBoxes.size(), 1u);
      EXPECT_EQ(Calls.messageBoxes[0].owner, dialog);
      EXPECT_NE(Calls.messageBoxes[0].text.find(IniPath()), std::string::npos);
      EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays open";
      harness::Click(dialog, IDCANCEL);
    }));
    Stop();
  }
}

// A save is all the keys or none: the fifth key failing to go in (a full disk) leaves the file
// byte for byte as it was, and the dialog says so.
TEST_F(SettingsFileTest, ASaveThatFailsHalfwayLeavesTheFileAsItWas) {
  WriteIni({{"Enabled", "1"}, {"WriteMode", "1"}, {"TemplateFile", "C:\\before.txt"},
            {"PollingInterval", "7"}});
  std::string before = sim::ReadAll(IniPath());
  Start();
  EXPECT_TRUE(Configure([&](HWND dialog) {
    Calls.failProfileWriteNumber = Calls.Count("WritePrivateProfileStringA") + 5;
    harness::Click(dialog, 1001);  // switched off
    harness::SetItemText(dialog, kTemplateFile, "C:\\after.txt");
    harness::Click(dialog, IDOK);
    EXPECT_EQ(Calls.messageBoxes.size(), 1u);
    harness::Click(dialog, IDCANCEL);
  }));
  EXPECT_EQ(harness::Shown(sim::ReadAll(IniPath())), harness::Shown(before));
  WIN32_FIND_DATAA found;
  EXPECT_EQ(FindFirstFileA(Path("*.tmp").c_str(), &found), INVALID_HANDLE_VALUE)
      << "a copy left behind: " << found.cFileName;
}

// A player without a manifest has file virtualisation on: a write to a protected folder lands in
// the user's VirtualStore, where no other user and no elevated player finds it, and the file
// beside the DLL seems writable all the same.
TEST_F(SettingsFileTest, UnderFileVirtualisationAProtectedFolderCountsAsUnwritable) {
  char programs[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableA("ProgramFiles", programs, sizeof programs);
  ASSERT_TRUE(length > 0 && length < sizeof programs);
  std::string dirName = dir.substr(0, dir.size() - 1);
  std::string guarded =
      std::string(programs) + "\\" + dirName.substr(dirName.rfind('\\') + 1) + "\\";
  ASSERT_TRUE(CreateDirectoryA(guarded.c_str(), nullptr)) << guarded;
  struct Case {
    const char* what;
    std::string folder;
    bool virtualized;
    std::string expected;
  };
  const Case cases[] = {
      {"virtualised, beside the DLL in a folder of the user's", dir, true, IniPath()},
      {"not virtualised, in the programs folder", guarded, false, guarded + "gen_tunecrier.ini"},
      {"virtualised, in the programs folder", guarded, true, PlayerIni()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string dll = c.folder + "gen_tunecrier.dll";
    if (c.folder == dir)
      Start([&](HMODULE) { Calls.virtualizedToken = c.virtualized; });
    else
      StartFrom(sim::Wide(dll), [&](HMODULE) { Calls.virtualizedToken = c.virtualized; });
    EXPECT_TRUE(Configure([&](HWND dialog) {
      EXPECT_EQ(ItemText(dialog, kSettingsFile), "Settings file: " + c.expected);
      harness::Click(dialog, IDCANCEL);
    }));
    Stop();
  }
  DeleteFileA((guarded + "gen_tunecrier.dll").c_str());
  RemoveDirectoryA(guarded.c_str());
}

// "D:\Музыка\Winamp" under code page 1252: the narrow module name has question marks there.
TEST_F(SettingsFileTest, BesideADllInAFolderTheCodePageCannotSpell) {
  std::wstring folder = sim::Wide(dir) + L"\x041C\x0443\x0437\x044B\x043A\x0430\\";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  WriteEnabledIni("found beside", "");
  ASSERT_TRUE(MoveFileW(sim::Wide(IniPath()).c_str(), (folder + L"gen_tunecrier.ini").c_str()));
  StartFrom(folder + L"gen_tunecrier.dll");
  player.Play(0);
  EXPECT_TRUE(harness::Eventually(
      [&] { return sim::ReadAll(Path("out.txt")) == "found beside"; },
      "the announcement by the settings beside the DLL"));
  EXPECT_TRUE(FileMissing(PlayerIni())) << "nothing moved to the player's folder";
  Stop();
  DeleteFileW((folder + L"gen_tunecrier.dll").c_str());
  DeleteFileW((folder + L"gen_tunecrier.ini").c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

// What every plug-in test stands on: a fresh folder per case with its own copy of the DLL
// (the INI file lives beside it), the player simulator, files, and waiting by pumping
// messages. Checks return AssertionResult so that a failure names the caller's line and says
// what was seen.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "files.h"
#include "import_hook.h"
#include "player.h"

namespace harness {

using Keys = std::vector<std::pair<std::string, std::string>>;

std::string ExeDir();                     // with a trailing backslash
void WriteBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Bytes shown so that zero bytes and line breaks can be read in a failure message.
std::string Shown(const std::string& bytes);

::testing::AssertionResult FileHolds(const std::string& path, const std::string& expected);
::testing::AssertionResult FileMissing(const std::string& path);
// The files the plug-in opened (CreateFileA) since the recorders were reset, but the settings
// file at `iniPath`, which init and config open to find out whether they may write it.
std::vector<std::string> FilesOpenedBut(const std::string& iniPath);
// A key's value in the plug-in's section of the INI file at `iniPath`; "(missing)" if none.
std::string StoredValue(const std::string& iniPath, const char* key);

// A track with every metadata field filled and a length of 1:02:05.
sim::Track TaggedTrack();

class PluginTest : public ::testing::Test {
 protected:
  PluginTest();
  void SetUp() override;
  void TearDown() override;

  // The folder of this case, with a trailing backslash, and a path in it.
  std::string dir;
  std::string Path(const std::string& name) const { return dir + name; }
  std::string DllPath() const { return Path("gen_tunecrier.dll"); }
  std::string IniPath() const { return Path("gen_tunecrier.ini"); }
  // The names of the files in the case's folder (a temporary file left behind shows here).
  std::set<std::string> Files() const;

  // Writes the INI file's [Tunecrier] section with these keys, in this order.
  void WriteIni(const Keys& keys);
  // An INI file with the plug-in enabled, writing out.txt from template.txt (holding
  // templateText) and notplaying.txt (holding notPlayingText), plus `more` keys.
  void WriteEnabledIni(const std::string& templateText, const std::string& notPlayingText,
                       const Keys& more = {});

  // Loads the plug-in with the recorders installed, then `beforeInit`.
  void Start(const std::function<void(HMODULE)>& beforeInit = {});
  void Stop(bool keepLoaded = false);

  sim::Player player;
  bool started = false;
};

// A top-level window of the test's own, as another program would have, counting the
// "TunecrierOutputFileUpdated" broadcasts it receives.
class BroadcastListener {
 public:
  BroadcastListener();
  ~BroadcastListener();
  BroadcastListener(const BroadcastListener&) = delete;
  BroadcastListener& operator=(const BroadcastListener&) = delete;
  int count = 0;
  std::function<void()> onBroadcast;  // runs as each broadcast arrives

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND window_ = nullptr;
  UINT message_ = 0;
};

// Waits (pumping messages) until done() holds; fails with `what` after timeoutMs.
::testing::AssertionResult Eventually(const std::function<bool()>& done, const std::string& what,
                                      DWORD timeoutMs = 15000);

// One step of driving a modal dialog: once a visible, enabled, captioned window of this thread
// bears `caption`, act on it.
struct DialogStep {
  std::string caption;
  std::function<void(HWND)> act;
};

// Calls open(), which runs a modal dialog, and carries out the steps in order from a timer
// inside the dialog's own message loop. An act may open a nested modal dialog; the steps go on
// inside that one's loop. When a step's window does not come within timeoutMs, or a dialog is
// still open that long after the last step, every dialog of this thread is ended with IDCANCEL
// and the result says which step was waiting.
::testing::AssertionResult RunDialogs(const std::function<void()>& open,
                                      std::vector<DialogStep> steps, DWORD timeoutMs = 30000);

// Texts of windows and dialog controls, for checks and for typing into edit boxes.
std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string& text);

// Clicks a button as the user does (BM_CLICK): an auto check box or radio button changes, and
// the dialog gets the button's command.
void Click(HWND dialog, int id);
// Sends the dialog the command a click on the control would send, even if it is disabled.
void CommandFrom(HWND dialog, int id);

}  // namespace harness

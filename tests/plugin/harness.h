// What every plug-in test stands on: a fresh folder per case with its own copy of the DLL
// (the INI file lives beside it), the player simulator, files, and waiting by pumping
// messages. Checks return AssertionResult so that a failure names the caller's line and says
// what was seen.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "import_hook.h"
#include "sim/player.h"

namespace harness {

using Keys = std::vector<std::pair<std::string, std::string>>;

std::string ExeDir();                     // with a trailing backslash
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Bytes shown so that zero bytes and line breaks can be read in a failure message.
std::string Shown(const std::string& bytes);

::testing::AssertionResult FileHolds(const std::string& path, const std::string& expected);
::testing::AssertionResult FileMissing(const std::string& path);

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

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND window_ = nullptr;
  UINT message_ = 0;
};

// Waits (pumping messages) until done() holds; fails with `what` after timeoutMs.
::testing::AssertionResult Eventually(const std::function<bool()>& done, const std::string& what,
                                      DWORD timeoutMs = 15000);

}  // namespace harness

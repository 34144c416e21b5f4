// Init, config and quit as the player calls them: the hook on its window, the timers, the
// files read and written at the edges of the plug-in's life.
#include <gtest/gtest.h>

#include <set>

#include "harness.h"

namespace {

using harness::FileHolds;
using harness::FileMissing;
using harness::Keys;
using harness::PluginTest;

WNDPROC ProcedureOf(HWND window) {
  return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
}

std::vector<UINT_PTR> TimersSet(HWND window) {
  std::vector<UINT_PTR> ids;
  for (const TimerCall& call : Calls.TimersOn(window))
    if (call.set) ids.push_back(call.id);
  return ids;
}

class InitTest : public PluginTest {};

TEST_F(InitTest, DisabledInstallsTheHookAndNothingElse) {
  WriteIni({{"Enabled", "0"},
            {"TemplateFile", Path("template.txt")},
            {"NotPlayingFile", Path("notplaying.txt")},
            {"OutputFile", Path("out.txt")},
            {"InitializeOutput", "1"},
            {"PopupEnabled", "1"}});
  harness::WriteBytes(Path("out.txt"), "keep");
  player.version = 0x2900;  // a polled player: an enabled plug-in would set its timer
  Start();
  EXPECT_NE(ProcedureOf(player.window()), sim::Player::OwnProcedure()) << "the hook is installed";
  EXPECT_EQ(Calls.Count("CreateFileA"), 0) << "no file is read";
  EXPECT_TRUE(Calls.registeredMessages.empty());
  EXPECT_EQ(Calls.Count("Shell_NotifyIconA"), 0);
  EXPECT_TRUE(TimersSet(player.window()).empty());

  player.Play(0);
  SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE);  // does nothing either
  EXPECT_TRUE(TimersSet(player.window()).empty());
  EXPECT_EQ(player.CountRequests(sim::IPC_PLAYING_FILE), 1) << "it still reaches the player";
  Stop();
  EXPECT_TRUE(FileHolds(Path("out.txt"), "keep")) << "quit writes nothing while disabled";
}

TEST_F(InitTest, PolledPlayerGetsTimerElevenAtThePollingInterval) {
  struct Case {
    const char* interval;
    UINT period;
  };
  const Case cases[] = {{nullptr, 5000}, {"2", 2000}, {"30", 30000}, {"1", 5000},
                        {"31", 5000},    {"-3", 5000}, {"abc", 5000}, {"", 5000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.interval ? c.interval : "(missing)");
    Keys keys;
    if (c.interval) keys.push_back({"PollingInterval", c.interval});
    WriteEnabledIni("x", "", keys);
    player.version = 0x4FFF;  // one below 5.0 is polled
    Start();
    std::vector<TimerCall> timers = Calls.TimersOn(player.window());
    ASSERT_EQ(timers.size(), 1u);
    EXPECT_TRUE(timers[0].set);
    EXPECT_EQ(timers[0].id, 11u);
    EXPECT_EQ(timers[0].period, c.period);
    Stop();
  }
}

TEST_F(InitTest, NotifyingPlayerGetsNoTimerUntilItNotifies) {
  WriteEnabledIni("x", "");
  player.version = 0x5000;
  Start();
  EXPECT_TRUE(TimersSet(player.window()).empty());
  EXPECT_EQ(Calls.registeredMessages, std::vector<std::string>{"TunecrierOutputFileUpdated"});
  SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE);
  EXPECT_EQ(TimersSet(player.window()), std::vector<UINT_PTR>{0});
  ASSERT_FALSE(Calls.timers.empty());
  EXPECT_EQ(Calls.timers.back().period, 10u);
}

TEST_F(InitTest, InitializeOutputEmptiesAnExistingOutputFileAndCreatesNone) {
  WriteEnabledIni("x", "", {{"InitializeOutput", "1"}});
  harness::WriteBytes(Path("out.txt"), "yesterday's track");
  Start();
  EXPECT_TRUE(FileHolds(Path("out.txt"), ""));
  Stop();

  DeleteFileA(Path("out.txt").c_str());
  Start();
  EXPECT_TRUE(FileMissing(Path("out.txt")));
  Stop();

  WriteIni({{"Enabled", "1"}, {"InitializeOutput", "1"}, {"OutputFile", ""}});
  Start();
  for (const FileOpen& open : Calls.fileOpens) ADD_FAILURE() << "opened " << open.path;
}

class QuitTest : public PluginTest {};

TEST_F(QuitTest, GivesThePlayerItsWindowProcedureBack) {
  Start();
  ASSERT_NE(ProcedureOf(player.window()), sim::Player::OwnProcedure());
  Stop(/*keepLoaded=*/true);
  EXPECT_EQ(ProcedureOf(player.window()), sim::Player::OwnProcedure());
}

LRESULT CALLBACK LaterHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(QuitTest, LeavesAProcedureInstalledOverTheHookAlone) {
  Start();
  WNDPROC hook = ProcedureOf(player.window());
  SetWindowLongPtrA(player.window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LaterHook));
  Stop(/*keepLoaded=*/true);
  EXPECT_EQ(ProcedureOf(player.window()), LaterHook);
  // Put the chain back together so that the window can be destroyed safely later.
  SetWindowLongPtrA(player.window(), GWLP_WNDPROC,
                    reinterpret_cast<LONG_PTR>(sim::Player::OwnProcedure()));
  (void)hook;
}

TEST_F(QuitTest, LeavesNoUpdateTimerArmed) {
  WriteEnabledIni("x", "");
  player.version = 0x2900;
  Start();
  SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE);
  Stop(/*keepLoaded=*/true);
  std::set<UINT_PTR> killed;
  for (const TimerCall& call : Calls.TimersOn(player.window()))
    if (!call.set) killed.insert(call.id);
  for (UINT_PTR id = 0; id <= 11; ++id) EXPECT_TRUE(killed.count(id)) << "timer " << id;
}

TEST_F(QuitTest, WritesTheNotPlayingTextUnlessDisabled) {
  WriteEnabledIni("%FullTitle%", "Nothing is playing");
  harness::WriteBytes(Path("out.txt"), "old");
  Start();
  Stop();
  EXPECT_TRUE(FileHolds(Path("out.txt"), "Nothing is playing"));

  WriteIni({{"Enabled", "0"},
            {"NotPlayingFile", Path("notplaying.txt")},
            {"OutputFile", Path("out.txt")}});
  harness::WriteBytes(Path("out.txt"), "old");
  Start();
  Stop();
  EXPECT_TRUE(FileHolds(Path("out.txt"), "old"));
}

TEST_F(QuitTest, AnEmptyNotPlayingTextWritesNothing) {
  WriteEnabledIni("%FullTitle%", "");
  Start();
  Stop();
  EXPECT_TRUE(FileMissing(Path("out.txt")));
}

}  // namespace

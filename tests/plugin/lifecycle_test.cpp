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
  EXPECT_TRUE(harness::FilesOpenedBut(IniPath()).empty()) << "no file is read";
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
  for (const std::string& path : harness::FilesOpenedBut(IniPath()))
    ADD_FAILURE() << "opened " << path;
}

class QuitTest : public PluginTest {};

TEST_F(QuitTest, GivesThePlayerItsWindowProcedureBack) {
  Start();
  ASSERT_NE(ProcedureOf(player.window()), sim::Player::OwnProcedure());
  Stop(/*keepLoaded=*/true);
  EXPECT_EQ(ProcedureOf(player.window()), sim::Player::OwnProcedure());
}

// Another program's subclass, installed over the hook, passing every message on to it.
WNDPROC UnderLaterHook = nullptr;
LRESULT CALLBACK LaterHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(UnderLaterHook, window, message, wParam, lParam);
}

// That subclass calls into the hook for as long as the window lives, also after the player
// has unloaded the plug-in: the module must stay, and the hook only pass messages on.
TEST_F(QuitTest, AProcedureOverTheHookKeepsItsChainAndTheModule) {
  WriteEnabledIni("x", "");
  Start();
  UnderLaterHook = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(player.window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LaterHook)));
  Stop();
  EXPECT_EQ(ProcedureOf(player.window()), LaterHook);
  EXPECT_NE(GetModuleHandleA(DllPath().c_str()), nullptr) << "the module is still mapped";
  Calls.timers.clear();
  player.ClearLog();
  player.Play(0);  // a new title and the playing notification, through both procedures
  EXPECT_EQ(player.CountRequests(sim::IPC_PLAYING_FILE), 1) << "passed on to the player";
  EXPECT_TRUE(Calls.timers.empty()) << "nothing is armed after quit";
  // Put the chain back together so that the window can be destroyed without it.
  SetWindowLongPtrA(player.window(), GWLP_WNDPROC,
                    reinterpret_cast<LONG_PTR>(sim::Player::OwnProcedure()));
}

// The player unloads its plug-ins inside its own handling of the exit command, which came
// through the hook: the hook's frame is still on the stack when quit and FreeLibrary return.
TEST_F(QuitTest, AnUnloadInsideAMessageThroughTheHookKeepsTheModule) {
  WriteEnabledIni("x", "");
  Start();
  player.onMessage = [&](const sim::Message& m) {
    if (m.message == WM_COMMAND && m.wParam == sim::WINAMP_FILE_QUIT) Stop();
  };
  SendMessageA(player.window(), WM_COMMAND, sim::WINAMP_FILE_QUIT, 0);
  player.onMessage = nullptr;
  EXPECT_EQ(ProcedureOf(player.window()), sim::Player::OwnProcedure()) << "the hook is out";
  EXPECT_NE(GetModuleHandleA(DllPath().c_str()), nullptr) << "the module is still mapped";
}

std::wstring WideTitle(HWND window) {
  wchar_t title[256] = {};
  int length = GetWindowTextW(window, title, 256);
  return std::wstring(title, length > 0 ? length : 0);
}

// A Unicode player window: its texts must not pass the code page on their way through the
// hook, nor after quit has taken the hook out.
TEST_F(QuitTest, AUnicodePlayerWindowKeepsATitleTheCodePageCannotSpell) {
  WriteEnabledIni("x", "");
  sim::Player wide(0x5000, sim::WindowKind::Unicode);
  ASSERT_TRUE(wide.Load(DllPath(), InstallRecorders));
  const std::wstring title = L"\u65E5\u672C - \u0416\u0436 - Winamp";
  SetWindowTextW(wide.window(), title.c_str());
  EXPECT_EQ(WideTitle(wide.window()), title) << "with the plug-in loaded";
  wide.Unload();
  SetWindowTextW(wide.window(), (L"1. " + title).c_str());
  EXPECT_EQ(WideTitle(wide.window()), L"1. " + title) << "after quit";
}

// The player may own timers of the same numbers as the plug-in's updates.
TEST_F(QuitTest, KillsTheUpdateTimersItArmedAndNoOther) {
  WriteEnabledIni("x", "");
  player.version = 0x2900;
  Start();  // polling: timer 11
  SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE);  // timer 0
  Stop(/*keepLoaded=*/true);
  std::set<UINT_PTR> killed;
  for (const TimerCall& call : Calls.TimersOn(player.window()))
    if (!call.set) killed.insert(call.id);
  EXPECT_EQ(killed, (std::set<UINT_PTR>{0, 11}));
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

// Something thrown inside the plug-in (here memory running out, caught at its edge) must leave
// no kernel handle behind once the player has unloaded it: the runtime's locks included.
TEST_F(QuitTest, AnExceptionWhileLoadedLeavesNoLockAfterUnloading) {
  WriteEnabledIni("Now playing: %FullTitle%", "");
  player.playlist = {sim::Track{}};
  player.playlist[0].title = "A title that the string cannot hold inside itself";
  Start();
  Calls.failAllocationAfter = "SetTimer";
  player.Play(0);
  ASSERT_TRUE(sim::PumpUntil([] { return Calls.allocationsFailed == 1; }, 15000));
  Stop();
  EXPECT_TRUE(Calls.liveSemaphores.empty()) << Calls.liveSemaphores.size() << " left open";
}

// A player may load and unload the plug-in again and again in one session: each load must give
// back the TLS slots it took (a process has some 1,080, and a load that finds none fails).
TEST_F(QuitTest, LoadingAgainAndAgainKeepsNoTlsSlot) {
  WriteEnabledIni("x", "");
  auto lowestFreeSlot = [] {
    const DWORD slot = TlsAlloc();
    TlsFree(slot);
    return slot;
  };
  Start();
  Stop();
  const DWORD before = lowestFreeSlot();
  for (int i = 0; i < 20; ++i) {
    Start();
    Stop();
  }
  EXPECT_EQ(lowestFreeSlot(), before);
}

// Init again in the same mapping of the module (another reference held it over the unload):
// nothing of the earlier run may carry over.
class InitAfterQuit : public PluginTest {
 protected:
  void Notify() { SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE); }
};

TEST_F(InitAfterQuit, StartsWithNoPopupTextAndNoStopHandled) {
  WriteEnabledIni("x", "stopped", {{"PopupEnabled", "1"}, {"InitializeOutput", "1"}});
  Start();
  HMODULE held = LoadLibraryA(DllPath().c_str());
  player.Play(0);
  ASSERT_TRUE(harness::Eventually([&] { return sim::ReadAll(Path("out.txt")) == "x"; },
                                  "the announcement"));
  Stop();  // while playing: "stopped" is written
  Start();  // empties the output file
  SendMessageA(player.window(), WM_APP + 1, 0, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(Calls.dialogsMade.empty()) << "the earlier run's popup shown again";

  player.Stop();
  Notify();  // the stop is handled: "stopped" written
  ASSERT_TRUE(harness::Eventually(
      [&] { return sim::ReadAll(Path("out.txt")) == "stopped"; }, "the stop"));
  Stop();
  Start();
  Stop();
  EXPECT_TRUE(FileHolds(Path("out.txt"), "stopped")) << "quit writes the text after a new init";
  FreeLibrary(held);
}

// The cover file may change between the runs (here another program deletes it): the new run
// writes it as if it had never seen it.
TEST_F(InitAfterQuit, WritesTheCoverFileAgain) {
  harness::WriteBytes(Path("missing.png"), "placeholder");
  WriteEnabledIni("x", "", {{"CoverArtFile", Path("cover.img")},
                            {"CoverArtMissing", Path("missing.png")}});
  Start();
  HMODULE held = LoadLibraryA(DllPath().c_str());
  Stop();  // writes the placeholder
  DeleteFileA(Path("cover.img").c_str());
  Start();
  Notify();  // the stop is handled
  EXPECT_TRUE(harness::Eventually(
      [&] { return FileHolds(Path("cover.img"), "placeholder"); }, "the placeholder"));
  Stop();
  FreeLibrary(held);
}

// A subclass below the hook that takes itself out by putting back what it replaced takes the
// hook out with it; quit then keeps the module, and the next init must put the hook back.
WNDPROC UnderCarelessHook = nullptr;
LRESULT CALLBACK CarelessHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(UnderCarelessHook, window, message, wParam, lParam);
}

TEST_F(InitAfterQuit, PutsBackAHookThatASubclassBelowItTookOut) {
  WriteEnabledIni("x", "");
  UnderCarelessHook = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(player.window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CarelessHook)));
  Start();
  SetWindowLongPtrA(player.window(), GWLP_WNDPROC,
                    reinterpret_cast<LONG_PTR>(UnderCarelessHook));
  Stop();
  Start();
  player.Play(0);
  EXPECT_TRUE(harness::Eventually([&] { return sim::ReadAll(Path("out.txt")) == "x"; },
                                  "the track announced through the hook"));
  Stop();
  EXPECT_EQ(ProcedureOf(player.window()), sim::Player::OwnProcedure());
}

TEST_F(QuitTest, AnEmptyNotPlayingTextWritesNothing) {
  WriteEnabledIni("%FullTitle%", "");
  Start();
  Stop();
  EXPECT_TRUE(FileMissing(Path("out.txt")));
}

}  // namespace

// The tray icon as the shell sees it (every Shell_NotifyIconA call recorded, none made): the
// record it is given, the tooltip at track changes and stops, the double-clicks the player's
// window receives for it, the shell's restart, and the icon handle's life.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "harness.h"

namespace {

using harness::Eventually;
using harness::FileHolds;
using harness::Keys;

constexpr UINT kTrayMessage = WM_APP + 1;
constexpr UINT kAllValid = NIF_MESSAGE | NIF_ICON | NIF_TIP;

std::string Tip(const NOTIFYICONDATAA& record) {
  return std::string(record.szTip, strnlen(record.szTip, sizeof record.szTip));
}

std::vector<TrayCall> TrayCalls(DWORD message) {
  std::vector<TrayCall> calls;
  for (const TrayCall& call : Calls.tray)
    if (call.message == message) calls.push_back(call);
  return calls;
}

// The 488 bytes beyond the fields an add sets must all be zero.
::testing::AssertionResult AddRecordIsClean(const NOTIFYICONDATAA& r, HWND player) {
  auto fail = [](const char* what) { return ::testing::AssertionFailure() << what; };
  if (r.cbSize != 488) return fail("cbSize is not 488: ") << r.cbSize;
  if (r.hWnd != player) return fail("the icon does not belong to the player's window");
  if (r.uID != 0) return fail("uID ") << r.uID;
  if (r.uFlags != kAllValid) return fail("uFlags ") << r.uFlags;
  if (r.uCallbackMessage != kTrayMessage) return fail("callback message ") << r.uCallbackMessage;
  if (!r.hIcon) return fail("no icon handle");
  if (Tip(r) != "Tunecrier") return fail("tip \"") << Tip(r) << "\"";
  for (std::size_t i = Tip(r).size(); i < sizeof r.szTip; ++i)
    if (r.szTip[i] != 0) return fail("tip byte ") << i << " is not zero";
  if (r.dwState || r.dwStateMask || r.uTimeout || r.dwInfoFlags)
    return fail("state, timeout or info flags set");
  for (char c : r.szInfo)
    if (c) return fail("szInfo is not empty");
  for (char c : r.szInfoTitle)
    if (c) return fail("szInfoTitle is not empty");
  return ::testing::AssertionSuccess();
}

class TrayTest : public harness::PluginTest {
 protected:
  // The plug-in enabled, writing "x" for each announcement, appended, so that every
  // announcement shows in out.txt; the popup as `popup` says.
  void StartTray(bool popup = true, unsigned version = 0x5000, const Keys& more = {}) {
    Keys keys = {{"PopupEnabled", popup ? "1" : "0"},
                 {"PopupTimeout", "30"},
                 {"PopupFormat", "Now playing"},
                 {"WriteMode", "1"},
                 {"PollingInterval", "2"}};
    keys.insert(keys.end(), more.begin(), more.end());
    WriteEnabledIni("x", "stopped", keys);
    DeleteFileA(Path("out.txt").c_str());  // each start counts its announcements afresh
    player.version = version;
    Start([](HMODULE) { Calls.realTray = false; });
  }

  ::testing::AssertionResult Announced(int times) {
    return Eventually([&] { return sim::ReadAll(Path("out.txt")) == std::string(times, 'x'); },
                      "out.txt holds " + std::to_string(times) + " announcements");
  }

  LRESULT TrayEvent(LPARAM event) {
    return SendMessageA(player.window(), kTrayMessage, 0, event);
  }
};

class TrayIcon : public TrayTest {};

TEST_F(TrayIcon, IsAddedAtInitWithTheWholeRecordAndASmallIcon) {
  StartTray();
  ASSERT_EQ(Calls.tray.size(), 1u);
  EXPECT_EQ(Calls.tray[0].message, static_cast<DWORD>(NIM_ADD));
  EXPECT_TRUE(AddRecordIsClean(Calls.tray[0].record, player.window()));
  EXPECT_NE(std::find(Calls.registeredMessages.begin(), Calls.registeredMessages.end(),
                      "TaskbarCreated"),
            Calls.registeredMessages.end());
  std::vector<ImageLoad> icons;
  for (const ImageLoad& load : Calls.imageLoads)
    if (load.type == IMAGE_ICON) icons.push_back(load);
  ASSERT_EQ(icons.size(), 1u);
  EXPECT_EQ(icons[0].id, 105);
  EXPECT_EQ(icons[0].cx, 16);
  EXPECT_EQ(icons[0].cy, 16);
  EXPECT_FALSE(icons[0].flags & LR_SHARED) << "a private copy, destroyed by the plug-in";
  EXPECT_EQ(icons[0].made, Calls.tray[0].record.hIcon);
}

TEST_F(TrayIcon, QuitRemovesItAndDestroysItsHandle) {
  StartTray();
  ASSERT_EQ(Calls.tray.size(), 1u);
  HICON icon = Calls.tray[0].record.hIcon;
  Stop();
  ASSERT_EQ(Calls.tray.size(), 2u);
  EXPECT_EQ(Calls.tray[1].message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(Calls.tray[1].record.hWnd, player.window());
  EXPECT_EQ(Calls.tray[1].record.uID, 0u);
  EXPECT_EQ(Calls.tray[1].record.cbSize, 488u);
  EXPECT_EQ(Calls.liveObjects.count(icon), 0u) << "the icon handle is destroyed";
  EXPECT_EQ(Calls.Count("DestroyIcon"), 1);
}

TEST_F(TrayIcon, NoneAtAllWithThePopupOff) {
  StartTray(/*popup=*/false);
  player.Play(0);
  ASSERT_TRUE(Announced(1));
  SendMessageA(player.window(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  Stop();
  EXPECT_TRUE(TrayCalls(NIM_ADD).empty());
  EXPECT_TRUE(TrayCalls(NIM_DELETE).empty());
  EXPECT_TRUE(TrayCalls(NIM_MODIFY).empty()) << "a playing track sets no tip without the popup";
  EXPECT_EQ(Calls.Count("LoadImageA"), 0);
}

class TrayTooltip : public TrayTest {};

TEST_F(TrayTooltip, TakesThePlayersWholeTitleWithOnlyTheTipFlag) {
  StartTray();
  player.Play(0);
  ASSERT_TRUE(Announced(1));
  std::vector<TrayCall> modifies = TrayCalls(NIM_MODIFY);
  ASSERT_EQ(modifies.size(), 1u);
  const NOTIFYICONDATAA& r = modifies[0].record;
  EXPECT_EQ(r.cbSize, 488u);
  EXPECT_EQ(r.hWnd, player.window());
  EXPECT_EQ(r.uFlags, static_cast<UINT>(NIF_TIP));
  EXPECT_EQ(Tip(r), "1. Artist - Song - Winamp") << "the title with its number and suffix";
  EXPECT_EQ(r.szInfo[0], 0);
  EXPECT_EQ(r.szInfoTitle[0], 0);
}

TEST_F(TrayTooltip, KeepsTheFirst127BytesOfALongTitle) {
  player.playlist[0].artist = std::string(200, 'A');
  StartTray();
  player.Play(0);
  ASSERT_TRUE(Announced(1));
  std::vector<TrayCall> modifies = TrayCalls(NIM_MODIFY);
  ASSERT_EQ(modifies.size(), 1u);
  std::string title = player.Title();
  ASSERT_GT(title.size(), 200u);
  EXPECT_EQ(Tip(modifies[0].record), title.substr(0, 127));
  EXPECT_EQ(modifies[0].record.szTip[127], 0);
}

TEST_F(TrayTooltip, ReadsTunecrierOnceStoppedAlsoWithThePopupOff) {
  for (bool popup : {true, false}) {
    SCOPED_TRACE(popup ? "popup on" : "popup off");
    StartTray(popup, /*version=*/0x2900);  // a polled player: the poll sees the stop
    player.Play(0);
    ASSERT_TRUE(Announced(1));
    player.Stop();
    ASSERT_TRUE(Eventually([&] { return sim::ReadAll(Path("out.txt")) == "xstopped"; },
                           "the stop is handled"));
    std::vector<TrayCall> modifies = TrayCalls(NIM_MODIFY);
    ASSERT_FALSE(modifies.empty());
    EXPECT_EQ(Tip(modifies.back().record), "Tunecrier");
    EXPECT_EQ(modifies.back().record.uFlags, static_cast<UINT>(NIF_TIP));
    EXPECT_EQ(modifies.size(), popup ? 2u : 1u) << "the title, then the stop";
    EXPECT_EQ(TrayCalls(NIM_ADD).size(), popup ? 1u : 0u);
    Stop();
  }
}

class TrayDoubleClick : public TrayTest {};

TEST_F(TrayDoubleClick, LeftShowsTheLastPopupOnlyWithATrackAndText) {
  StartTray(true, /*version=*/0x2900);
  player.Play(0);
  EXPECT_EQ(TrayEvent(WM_LBUTTONDBLCLK), 1);
  EXPECT_TRUE(Calls.dialogsMade.empty()) << "nothing was announced yet";

  ASSERT_TRUE(Announced(1));
  ASSERT_EQ(Calls.dialogsMade.size(), 1u);
  EXPECT_EQ(TrayEvent(WM_LBUTTONDBLCLK), 1);
  ASSERT_EQ(Calls.dialogsMade.size(), 2u) << "shown again while playing";
  ASSERT_EQ(Calls.textDraws.size(), 2u);
  EXPECT_EQ(Calls.textDraws[1].text, "Now playing");

  player.Pause();
  EXPECT_EQ(TrayEvent(WM_LBUTTONDBLCLK), 1);
  EXPECT_EQ(Calls.dialogsMade.size(), 3u) << "shown again while paused";

  player.playState = sim::kStopped;  // stopped, before the next poll has seen it
  EXPECT_EQ(TrayEvent(WM_LBUTTONDBLCLK), 1);
  EXPECT_EQ(Calls.dialogsMade.size(), 3u) << "not while stopped";

  player.Stop();
  ASSERT_TRUE(Eventually([&] { return sim::ReadAll(Path("out.txt")) == "xstopped"; },
                         "the stop is handled"));
  player.playState = sim::kPlaying;  // loaded again, before the next poll announces it
  EXPECT_EQ(TrayEvent(WM_LBUTTONDBLCLK), 1);
  EXPECT_EQ(Calls.dialogsMade.size(), 3u) << "the stop emptied the popup text";

  EXPECT_EQ(player.CountMessages(kTrayMessage), 0) << "never reaches the player's procedure";
}

TEST_F(TrayDoubleClick, LeftShowsThePopupForItsDisplayTime) {
  StartTray(true, /*version=*/0x2900, {});
  player.Play(0);
  ASSERT_TRUE(Announced(1));
  TrayEvent(WM_LBUTTONDBLCLK);
  ASSERT_EQ(Calls.dialogsMade.size(), 2u);
  HWND popup = Calls.dialogsMade[1].made;
  ASSERT_TRUE(Eventually(
      [&] {
        for (const TimerCall& call : Calls.TimersOn(popup))
          if (call.set && call.id == 2) return true;
        return false;
      },
      "the popup comes to rest", 30000));
  for (const TimerCall& call : Calls.TimersOn(popup))
    if (call.set && call.id == 2) {
      EXPECT_EQ(call.period, 30000u) << "PopupTimeout 30";
    }
}

TEST_F(TrayDoubleClick, RightAnnouncesTheTrackAnewAndPassesTheClickOn) {
  StartTray();
  player.Play(0);
  ASSERT_TRUE(Announced(1));
  ASSERT_EQ(Calls.dialogsMade.size(), 1u);

  player.ClearLog();
  TrayEvent(WM_RBUTTONDBLCLK);
  EXPECT_EQ(player.CountMessages(kTrayMessage), 1) << "the double-click reaches the player";
  ASSERT_TRUE(Announced(2));
  EXPECT_EQ(player.CountRequests(3003), 0) << "no playing notification the player did not send";
  ASSERT_TRUE(Eventually([&] { return Calls.dialogsMade.size() == 2; }, "a new popup"));
  EXPECT_EQ(TrayCalls(NIM_MODIFY).size(), 2u) << "the tooltip is set again";

  player.Stop();
  player.ClearLog();
  std::size_t timers = Calls.timers.size();
  TrayEvent(WM_RBUTTONDBLCLK);
  EXPECT_EQ(player.CountRequests(3003), 0) << "nothing is announced while stopped";
  EXPECT_EQ(Calls.timers.size(), timers) << "no update is armed";
  EXPECT_EQ(player.CountMessages(kTrayMessage), 1) << "but the player still gets it";
}

TEST_F(TrayDoubleClick, OtherMouseEventsPassToThePlayerUntouched) {
  StartTray();
  player.Play(0);
  ASSERT_TRUE(Announced(1));
  player.ClearLog();
  std::size_t timers = Calls.timers.size(), dialogs = Calls.dialogsMade.size();
  for (LPARAM event : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP}) TrayEvent(event);
  EXPECT_EQ(player.CountMessages(kTrayMessage), 4);
  EXPECT_EQ(player.Requests(), std::vector<LPARAM>{}) << "not even the play state is asked";
  EXPECT_EQ(Calls.timers.size(), timers);
  EXPECT_EQ(Calls.dialogsMade.size(), dialogs);
}

class TaskbarRestart : public TrayTest {};

TEST_F(TaskbarRestart, AddsTheIconAgainAndAnnouncesAnew) {
  StartTray();
  player.Play(0);
  ASSERT_TRUE(Announced(1));
  UINT created = RegisterWindowMessageA("TaskbarCreated");
  for (int restart = 1; restart <= 2; ++restart) {
    SCOPED_TRACE(restart);
    SendMessageA(player.window(), created, 0, 0);
    std::vector<TrayCall> adds = TrayCalls(NIM_ADD);
    ASSERT_EQ(adds.size(), static_cast<std::size_t>(1 + restart));
    EXPECT_TRUE(AddRecordIsClean(adds.back().record, player.window()));
    ASSERT_TRUE(Announced(1 + restart));
    std::vector<TrayCall> modifies = TrayCalls(NIM_MODIFY);
    ASSERT_FALSE(modifies.empty());
    EXPECT_EQ(Tip(modifies.back().record), "1. Artist - Song - Winamp");
    // Each add loads a new icon; the one before it is destroyed.
    for (std::size_t i = 0; i + 1 < adds.size(); ++i)
      EXPECT_EQ(Calls.liveObjects.count(adds[i].record.hIcon), 0u) << "icon of add " << i;
    EXPECT_EQ(Calls.liveObjects.count(adds.back().record.hIcon), 1u);
  }
  EXPECT_EQ(player.CountMessages(created), 2) << "the message goes on to the player";
}

TEST_F(TaskbarRestart, MemoryRunningOutAsTheIconComesBackLeavesNoIconBehind) {
  StartTray(true, 0x5000, {{"TextEncoding", "1"}});
  player.Play(0);
  ASSERT_TRUE(Announced(1));
  Calls.failAllocationAfter = "RegisterWindowMessageA";
  SendMessageA(player.window(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  ASSERT_EQ(Calls.allocationsFailed, 1);
  Stop();
  EXPECT_TRUE(Calls.liveObjects.empty()) << Calls.liveObjects.size() << " objects left alive";
}

TEST_F(TaskbarRestart, ChangesNothingWithThePopupOff) {
  StartTray(/*popup=*/false);
  player.Play(0);
  ASSERT_TRUE(Announced(1));
  std::size_t timers = Calls.timers.size();
  UINT created = RegisterWindowMessageA("TaskbarCreated");
  SendMessageA(player.window(), created, 0, 0);
  EXPECT_TRUE(Calls.tray.empty());
  EXPECT_EQ(Calls.timers.size(), timers) << "no update is armed";
  EXPECT_EQ(player.CountMessages(created), 1);
}

}  // namespace

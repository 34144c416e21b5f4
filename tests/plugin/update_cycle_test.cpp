// The update cycle as the player drives it: each new track is written and broadcast, a stop
// writes the "Not Playing" text once, a pause or an unchanged title does nothing, a track
// whose length is not known yet is retried after a notification and not after a tick; the
// notification, with the file it names, goes on to whatever subclassed the window later.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

using harness::BroadcastListener;
using harness::Eventually;
using harness::FileHolds;
using harness::FileMissing;
using harness::Keys;
using harness::PluginTest;

sim::Track MakeTrack(const std::string& artist, const std::string& title) {
  sim::Track track;
  track.artist = artist;
  track.title = title;
  track.file = "C:\\Music\\" + artist + " - " + title + ".mp3";
  return track;
}

class UpdateTest : public PluginTest {
 protected:
  UpdateTest() { player.playlist = {MakeTrack("Artist", "Song"), MakeTrack("Band", "Tune")}; }

  // The player's own playing notification, as it sends it when a file starts.
  void Notify() { SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE); }
  int Updates() const { return player.CountRequests(sim::IPC_ISPLAYING); }
  // Waits until the update cycle has run `n` times in all since the log was cleared.
  ::testing::AssertionResult UpdatesRan(int n) {
    return Eventually([&] { return Updates() >= n; },
                      "update number " + std::to_string(n) + " (seen " +
                          std::to_string(Updates()) + ")");
  }
  ::testing::AssertionResult Written(const std::string& expected) {
    return Eventually([&] { return sim::ReadAll(Path("out.txt")) == expected; },
                      "out.txt holding " + harness::Shown(expected) + "; it holds " +
                          harness::Shown(sim::ReadAll(Path("out.txt"))));
  }

  // Appends "%FullTitle%;" for each announcement and "NP;" for each stop.
  void StartAppending(const Keys& more = {}) {
    Keys keys = {{"WriteMode", "1"}};
    keys.insert(keys.end(), more.begin(), more.end());
    WriteEnabledIni("%FullTitle%;", "NP;", keys);
    Start();
  }
};

class NotifiedUpdateTest : public UpdateTest {};

TEST_F(NotifiedUpdateTest, EachNewTrackIsWrittenAndBroadcastOnce) {
  BroadcastListener listener;
  StartAppending();
  player.Play(0);
  ASSERT_TRUE(Written("Artist - Song;"));
  EXPECT_EQ(listener.count, 1);
  player.Play(1);
  ASSERT_TRUE(Written("Artist - Song;Band - Tune;"));
  EXPECT_EQ(listener.count, 2);

  std::vector<TimerCall> timers = Calls.TimersOn(player.window());
  ASSERT_EQ(timers.size(), 4u) << "a one-shot timer set and killed per notification";
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(timers[i].set, i % 2 == 0) << "call " << i;
    EXPECT_EQ(timers[i].id, 0u) << "call " << i;
  }
  EXPECT_EQ(timers[0].period, 10u);
}

TEST_F(NotifiedUpdateTest, ATitleDifferingOnlyInCaseIsNoChange) {
  BroadcastListener listener;
  StartAppending();
  player.Play(0);
  ASSERT_TRUE(Written("Artist - Song;"));
  player.SetTitle("1. ARTIST - song - WINAMP");
  Notify();
  ASSERT_TRUE(UpdatesRan(2));
  EXPECT_TRUE(FileHolds(Path("out.txt"), "Artist - Song;"));
  EXPECT_EQ(listener.count, 1);
  EXPECT_EQ(player.CountRequests(sim::IPC_GETOUTPUTTIME), 1) << "the second update ends early";
}

TEST_F(NotifiedUpdateTest, AStopIsWrittenOnceWithoutBroadcast) {
  BroadcastListener listener;
  StartAppending();
  player.Play(0);
  ASSERT_TRUE(Written("Artist - Song;"));
  player.Stop();
  Notify();
  ASSERT_TRUE(Written("Artist - Song;NP;"));
  Notify();
  ASSERT_TRUE(UpdatesRan(3));
  EXPECT_TRUE(FileHolds(Path("out.txt"), "Artist - Song;NP;")) << "the second stop writes nothing";
  EXPECT_EQ(listener.count, 1) << "no broadcast follows the \"Not Playing\" text";

  player.Play(0);
  ASSERT_TRUE(Written("Artist - Song;NP;Artist - Song;")) << "the same track after a stop";
  EXPECT_EQ(listener.count, 2);
  Stop();
  EXPECT_TRUE(FileHolds(Path("out.txt"), "Artist - Song;NP;Artist - Song;NP;"))
      << "quit writes the stop that was not handled";
}

TEST_F(NotifiedUpdateTest, QuitAfterAHandledStopWritesNothing) {
  StartAppending();
  player.Play(0);
  ASSERT_TRUE(Written("Artist - Song;"));
  player.Stop();
  Notify();
  ASSERT_TRUE(Written("Artist - Song;NP;"));
  Stop();
  EXPECT_TRUE(FileHolds(Path("out.txt"), "Artist - Song;NP;"));
}

TEST_F(NotifiedUpdateTest, APauseDoesNothing) {
  BroadcastListener listener;
  StartAppending();
  player.Play(0);
  ASSERT_TRUE(Written("Artist - Song;"));
  player.Pause();
  player.ClearLog();
  Notify();
  ASSERT_TRUE(UpdatesRan(1));
  EXPECT_EQ(player.Requests(), (std::vector<LPARAM>{sim::IPC_PLAYING_FILE, sim::IPC_ISPLAYING}))
      << "nothing is asked beyond the play state";
  EXPECT_EQ(player.CountMessages(WM_GETTEXT), 0);
  EXPECT_TRUE(FileHolds(Path("out.txt"), "Artist - Song;"));
  EXPECT_EQ(listener.count, 1);

  player.Play(0);  // resumes under the same title: no change
  ASSERT_TRUE(UpdatesRan(2));
  EXPECT_TRUE(FileHolds(Path("out.txt"), "Artist - Song;"));
}

// A procedure put on the player's window after the plug-in's, as a plug-in loaded later would:
// the file name each playing notification carries.
WNDPROC ProcedureBelow = nullptr;
std::vector<std::string> NotifiedFiles;
LRESULT CALLBACK SubclassAbove(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER && lParam == sim::IPC_PLAYING_FILE)
    NotifiedFiles.push_back(wParam ? reinterpret_cast<const char*>(wParam) : "(null)");
  return CallWindowProcA(ProcedureBelow, window, message, wParam, lParam);
}

TEST_F(NotifiedUpdateTest, TheNotificationCarriesThePlayingFileOnPastThePlugIn) {
  StartAppending();
  NotifiedFiles.clear();
  ProcedureBelow = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
      player.window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassAbove)));
  player.Play(1);
  ASSERT_TRUE(Written("Band - Tune;"));
  SetWindowLongPtrA(player.window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ProcedureBelow));
  EXPECT_EQ(NotifiedFiles, std::vector<std::string>{"C:\\Music\\Band - Tune.mp3"});
}

TEST_F(NotifiedUpdateTest, TheSongTitleDropsNumberAndSuffix) {
  StartAppending();
  player.SetTitle("12. Artist - Song - Winamp");
  player.playState = sim::kPlaying;
  Notify();
  ASSERT_TRUE(Written("Artist - Song;"));
  player.SetTitle("Artist - Song - Winamp");
  Notify();
  ASSERT_TRUE(Written("Artist - Song;- Song;"));
  player.SetTitle("NoBlanks");
  Notify();
  ASSERT_TRUE(Written("Artist - Song;- Song;NoBlanks;"));
}

TEST_F(NotifiedUpdateTest, WithoutAnOutputFileNothingIsWrittenOrBroadcast) {
  BroadcastListener listener;
  harness::WriteBytes(Path("template.txt"), "%FullTitle%");
  WriteIni({{"Enabled", "1"}, {"TemplateFile", Path("template.txt")}, {"OutputFile", ""}});
  Start();
  std::size_t opened = Calls.fileOpens.size();
  player.ClearLog();
  player.Play(0);
  ASSERT_TRUE(UpdatesRan(1));
  EXPECT_EQ(Calls.fileOpens.size(), opened) << "no file is opened";
  EXPECT_EQ(listener.count, 0);
  EXPECT_EQ(player.CountRequests(sim::IPC_GETPLAYLISTFILE), 1) << "the template is still expanded";
}

TEST_F(NotifiedUpdateTest, AnEmptyTemplateEmptiesTheOutputFile) {
  BroadcastListener listener;
  WriteEnabledIni("", "");
  harness::WriteBytes(Path("out.txt"), "old");
  Start();
  player.Play(0);
  ASSERT_TRUE(Eventually([&] { return listener.count == 1; }, "the broadcast"));
  EXPECT_TRUE(FileHolds(Path("out.txt"), ""));
}

class UnknownLengthTest : public UpdateTest {};

TEST_F(UnknownLengthTest, ANotificationRetriesOnTimersOneToTenThenGivesUp) {
  BroadcastListener listener;
  StartAppending();
  player.Play(0);
  ASSERT_TRUE(Written("Artist - Song;"));
  Calls.timers.clear();
  player.ClearLog();

  player.unknownLengthQueries = 11;
  player.Play(1);
  ASSERT_TRUE(Eventually(
      [&] { return !Calls.timers.empty() && !Calls.timers.back().set && Calls.timers.back().id == 10; },
      "timer 10 killed"));
  EXPECT_EQ(player.CountRequests(sim::IPC_GETOUTPUTTIME), 11);

  std::vector<TimerCall> timers = Calls.TimersOn(player.window());
  ASSERT_EQ(timers.size(), 22u);
  for (UINT_PTR id = 0; id <= 10; ++id) {
    const TimerCall& set = timers[2 * id];
    const TimerCall& kill = timers[2 * id + 1];
    EXPECT_TRUE(set.set && set.id == id) << "call " << 2 * id << " sets timer " << set.id;
    EXPECT_EQ(set.period, id == 0 ? 10u : 200u) << "timer " << id;
    EXPECT_TRUE(!kill.set && kill.id == id) << "call " << 2 * id + 1 << " kills timer " << kill.id;
    if (id > 1) {
      EXPECT_GE(set.tick - timers[2 * id - 2].tick, 150u) << "timer " << id;
    }
  }
  EXPECT_TRUE(FileHolds(Path("out.txt"), "Artist - Song;")) << "nothing is announced";
  EXPECT_EQ(listener.count, 1);

  // Giving up forgot the last title: the first track, shown again, is announced again.
  player.SetTitle(sim::Player::TitleFor(0, player.playlist[0]));
  Notify();
  ASSERT_TRUE(Written("Artist - Song;Artist - Song;"));
}

TEST_F(UnknownLengthTest, ALengthThatArrivesOnARetryIsAnnounced) {
  StartAppending();
  player.unknownLengthQueries = 3;
  player.Play(1);
  ASSERT_TRUE(Written("Band - Tune;"));
  EXPECT_EQ(player.CountRequests(sim::IPC_GETOUTPUTTIME), 4);
  std::vector<UINT_PTR> set;
  for (const TimerCall& call : Calls.TimersOn(player.window()))
    if (call.set) set.push_back(call.id);
  EXPECT_EQ(set, (std::vector<UINT_PTR>{0, 1, 2, 3}));
}

class PolledUpdateTest : public UpdateTest {
 protected:
  PolledUpdateTest() { player.version = 0x2900; }
};

TEST_F(PolledUpdateTest, ATickWithoutALengthWaitsForTheNextTick) {
  player.Play(0);
  player.unknownLengthQueries = 1;
  StartAppending({{"PollingInterval", "2"}});
  EXPECT_EQ(Updates(), 0) << "init runs no update";
  ASSERT_TRUE(Written("Artist - Song;"));
  EXPECT_EQ(Updates(), 2) << "the first tick gave up, the second announced";
  EXPECT_EQ(player.CountRequests(sim::IPC_GETOUTPUTTIME), 2);
  for (const TimerCall& call : Calls.TimersOn(player.window()))
    EXPECT_EQ(call.id, 11u) << "no retry timer";
}

TEST_F(PolledUpdateTest, ATickWithTheSameTitleAsksOnlyThePlayStateAndTheTitle) {
  player.Play(0);
  StartAppending({{"PollingInterval", "2"}});
  EXPECT_TRUE(FileMissing(Path("out.txt")));
  ASSERT_TRUE(Written("Artist - Song;"));
  player.ClearLog();
  ASSERT_TRUE(UpdatesRan(1));
  EXPECT_EQ(player.Requests(), std::vector<LPARAM>{sim::IPC_ISPLAYING});
  EXPECT_EQ(player.CountMessages(WM_GETTEXT), 1);
  EXPECT_TRUE(FileHolds(Path("out.txt"), "Artist - Song;"));
}

}  // namespace

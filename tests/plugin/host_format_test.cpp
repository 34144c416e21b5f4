// Formatting through the player (request 297): the format text the player receives, the
// answers of the plug-in's tag callback and what each costs, how long answers stay valid,
// and players that format nothing, leave their answer unterminated or terminate it one past
// the size they were told.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

using harness::Keys;
using harness::PluginTest;
using harness::TaggedTrack;
using harness::Shown;

class HostFormatTest : public PluginTest {
 protected:
  HostFormatTest() {
    sim::Track other;
    other.file = "C:\\Music\\Other.mp3";
    player.playlist = {other, TaggedTrack(), other};
  }

  // Loads the plug-in with the popup formatted through the player, plays entry 1 and waits
  // until the update has run to its end (the output file is written last).
  void FormatPopup(const std::string& format, const Keys& more = {}) {
    Keys keys = {{"PopupEnabled", "1"}, {"PopupFormat", format}};
    keys.insert(keys.end(), more.begin(), more.end());
    std::string out = Path("out.txt");
    DeleteFileA(out.c_str());
    WriteEnabledIni("", "", keys);
    Start();
    player.ClearLog();
    player.Play(1);
    if (player.version < 0x5000)
      SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE);
    EXPECT_TRUE(harness::Eventually([&] { return harness::FileExists(out); }, "the update"));
  }

  // The requests the player received while the callback answered question `i`.
  std::vector<LPARAM> RequestsFor(std::size_t i) const {
    std::vector<LPARAM> codes;
    const sim::FieldAnswer& a = player.fieldAnswers.at(i);
    for (std::size_t m = a.logFrom; m < a.logTo; ++m)
      if (player.log[m].message == WM_USER) codes.push_back(player.log[m].lParam);
    return codes;
  }

  ::testing::AssertionResult Answered(std::size_t i, const std::string& name,
                                      const std::string& value,
                                      const std::vector<LPARAM>& requests) const {
    if (i >= player.fieldAnswers.size())
      return ::testing::AssertionFailure() << "only " << player.fieldAnswers.size()
                                           << " questions were asked, not " << i + 1;
    const sim::FieldAnswer& a = player.fieldAnswers[i];
    std::vector<LPARAM> seen = RequestsFor(i);
    if (a.name == name && a.answered && a.value == value && seen == requests)
      return ::testing::AssertionSuccess();
    std::string codes;
    for (LPARAM c : seen) codes += " " + std::to_string(c);
    return ::testing::AssertionFailure()
           << "question " << i << " '" << a.name << "' got "
           << (a.answered ? Shown(a.value) : std::string("null")) << " costing requests ["
           << codes << " ], expected '" << name << "' = " << Shown(value);
  }
};

class FormatWithHostTest : public HostFormatTest {};

TEST_F(FormatWithHostTest, ThePlayerGetsALineFeedForBackslashN) {
  FormatPopup("%FullTitle%\\nLength: %Length% D:\\New Music");
  EXPECT_EQ(player.formatRequests,
            std::vector<std::string>{"%FullTitle%\nLength: %Length% D:\\New Music"})
      << "only a backslash and a small n stand for a line feed";
  EXPECT_TRUE(Answered(0, "FullTitle", "Artist - Song", {}));
  EXPECT_TRUE(Answered(1, "Length", "1:02:05", {sim::IPC_GETOUTPUTTIME}));
  EXPECT_EQ(player.fieldAnswers.size(), 2u);
}

TEST_F(FormatWithHostTest, OlderPlayersFormatOnlyTheSpeechText) {
  const Keys speech = {{"SpeechEnabled", "1"}, {"SpeechFormat", "Now %Artist%\\n$if(%Album%,a,b)"}};
  player.version = 0x4FFF;
  FormatPopup("%PlaylistLength%", speech);
  EXPECT_EQ(player.formatRequests, std::vector<std::string>{"Now %Artist%\n$if(%Album%,a,b)"});
  EXPECT_EQ(player.CountRequests(sim::IPC_GETLISTLENGTH), 1) << "the popup text is expanded here";
  Stop();

  player.version = 0x5000;
  FormatPopup("%PlaylistLength%", speech);
  EXPECT_EQ(player.formatRequests,
            (std::vector<std::string>{"%PlaylistLength%", "Now %Artist%\n$if(%Album%,a,b)"}))
      << "the popup first, then the speech";
}

TEST_F(FormatWithHostTest, APlayerThatFormatsBadlyDoesNotStopTheUpdate) {
  player.formatsTitles = false;
  FormatPopup("%FullTitle%");
  EXPECT_TRUE(player.fieldAnswers.empty());
  Stop();

  player.formatsTitles = true;
  player.terminateAnswers = false;  // fills all it is told of and leaves no terminator
  FormatPopup("%FullTitle%|%Length%");
  EXPECT_TRUE(Answered(1, "Length", "1:02:05", {sim::IPC_GETOUTPUTTIME}));
}

TEST_F(FormatWithHostTest, APlayerThatTerminatesPastTheSizeToldStaysInTheBuffer) {
  // The player fills the size it is told and puts its zero after it: inside the buffer of 2096
  // only if it is told 2095.
  player.terminatorPastSize = true;
  player.playlist[1].artist = std::string(1500, 'x');
  for (const char* encoding : {"0", "1"}) {
    SCOPED_TRACE(encoding);
    FormatPopup("%FullTitle%%FullTitle%", {{"TextEncoding", encoding}});
    ASSERT_FALSE(Calls.textDraws.empty());
    const TextDraw& drawn = Calls.textDraws.back();
    EXPECT_EQ(drawn.text.size() + drawn.wideText.size(), 2095u);
    Stop();
  }
}

class ResolveHostTagTest : public HostFormatTest {};

TEST_F(ResolveHostTagTest, NamesMatchInAnyLetterCase) {
  FormatPopup("%FULLTITLE%|%FullTitle%|%fulltitle%|%WinampVersion%|%PLUGINVERSION%|%LeNgTh%");
  EXPECT_TRUE(Answered(0, "FULLTITLE", "Artist - Song", {}));
  EXPECT_TRUE(Answered(1, "FullTitle", "Artist - Song", {}));
  EXPECT_TRUE(Answered(2, "fulltitle", "Artist - Song", {}));
  EXPECT_TRUE(Answered(3, "WinampVersion", "5.00", {}));
  EXPECT_TRUE(Answered(4, "PLUGINVERSION", "2.2", {}));
  EXPECT_TRUE(Answered(5, "LeNgTh", "1:02:05", {sim::IPC_GETOUTPUTTIME}));
}

TEST_F(ResolveHostTagTest, EveryNameWithWhatItCosts) {
  FormatPopup("%longlength%%playlistlength%%playlistentry%%filename%%title%%artist%%album%"
              "%year%%year2%%tracknumber%%genre%%comment%%bitrate%%vbr%%samplerate%%mode%");
  const std::vector<LPARAM> file = {sim::IPC_GETLISTPOS, sim::IPC_GETPLAYLISTFILE};
  auto field = [&](LPARAM code) {
    std::vector<LPARAM> codes = file;
    codes.push_back(code);
    return codes;
  };
  EXPECT_TRUE(Answered(0, "longlength", "1 Hour, 2 Minutes, 5 Seconds", {sim::IPC_GETOUTPUTTIME}));
  EXPECT_TRUE(Answered(1, "playlistlength", "3", {sim::IPC_GETLISTLENGTH}));
  EXPECT_TRUE(Answered(2, "playlistentry", "2", file));
  EXPECT_TRUE(Answered(3, "filename", "C:\\Music\\Tagged.mp3", file));
  EXPECT_TRUE(Answered(4, "title", "MTitle", field(296)));
  EXPECT_TRUE(Answered(5, "artist", "MArtist", field(296)));
  EXPECT_TRUE(Answered(6, "album", "MAlbum", field(290)));
  EXPECT_TRUE(Answered(7, "year", "1985", field(296)));
  EXPECT_TRUE(Answered(8, "year2", "19 85", field(296)));
  EXPECT_TRUE(Answered(9, "tracknumber", "07", field(296)));
  EXPECT_TRUE(Answered(10, "genre", "Jazz", field(296)));
  EXPECT_TRUE(Answered(11, "comment", "Fine", field(296)));
  EXPECT_TRUE(Answered(12, "bitrate", "320", field(296)));
  EXPECT_TRUE(Answered(13, "vbr", "1", field(296)));
  EXPECT_TRUE(Answered(14, "samplerate", "48000", field(296))) << "no multiplication here";
  EXPECT_TRUE(Answered(15, "mode", "Stereo", field(296)));
  std::vector<std::string> fields;
  for (const sim::InfoRequest& r : player.infoRequests) {
    fields.push_back(r.field);
    EXPECT_EQ(r.file, "C:\\Music\\Tagged.mp3");
  }
  EXPECT_EQ(fields, (std::vector<std::string>{"title", "artist", "album", "year", "year",
                                              "track", "genre", "comment", "bitrate", "vbr",
                                              "srate", "stereo"}));
  EXPECT_EQ(player.answersChangedEarly, 0) << "every answer stays as it was until the end";
}

TEST_F(ResolveHostTagTest, TimeAndDatesAskThePlayerNothing) {
  FormatPopup("%time%|%longdate%|%shortdate%");
  ASSERT_EQ(player.fieldAnswers.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(player.fieldAnswers[i].answered);
    EXPECT_FALSE(player.fieldAnswers[i].value.empty()) << player.fieldAnswers[i].name;
    EXPECT_TRUE(RequestsFor(i).empty()) << player.fieldAnswers[i].name;
  }
  EXPECT_NE(player.fieldAnswers[1].value, player.fieldAnswers[2].value);
}

TEST_F(ResolveHostTagTest, AnUnknownNameGetsNullAfterPositionAndFileName) {
  FormatPopup("%foo%|%year 2%|%fulltitle2%");
  ASSERT_EQ(player.fieldAnswers.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_FALSE(player.fieldAnswers[i].answered) << player.fieldAnswers[i].name;
    EXPECT_EQ(RequestsFor(i), (std::vector<LPARAM>{sim::IPC_GETLISTPOS, sim::IPC_GETPLAYLISTFILE}))
        << player.fieldAnswers[i].name;
  }
  EXPECT_TRUE(player.infoRequests.empty());
}

TEST_F(ResolveHostTagTest, ModeIsStereoOnlyForAStereoFieldOfOne) {
  for (const char* stereo : {"0", "2", "", "absent", "1"}) {
    if (std::string(stereo) == "absent") player.playlist[1].meta.erase("stereo");
    else player.playlist[1].meta["stereo"] = stereo;
    FormatPopup("%MODE%");
    ASSERT_FALSE(player.fieldAnswers.empty());
    EXPECT_EQ(player.fieldAnswers[0].value, std::string(stereo) == "1" ? "Stereo" : "Mono")
        << "stereo field " << stereo;
    Stop();
  }
}

}  // namespace

// Announcing in Unicode (TextEncoding 1 and 2): a track whose tags and file name hold CJK,
// Cyrillic, an accented letter and a character beyond the first plane, taken through the
// player's wide requests and seen in the output file's bytes, the popup's DrawTextW, the tray's
// wide record and (speech_test.cpp) the voice; a player without wide requests, and the code page
// setting, which keeps today's bytes. The player's window here is an ANSI one, so its title
// holds what the code page spells.
#include <gtest/gtest.h>

#include <cwchar>

#include "harness.h"

namespace {

using harness::Eventually;
using harness::FileHolds;
using harness::Keys;

const std::string kArtist = "Beyoncé & 坂本龍一";
const std::string kTitle = "Мумий Тролль 🎵";
const std::string kAlbum = "Ёлка 🎵";
const std::string kFile = "C:\\Music\\Мумий Тролль 🎵.mp3";

// What a text becomes on its way through the code page: the player's ANSI answer, read back.
std::string ThroughCodePage(const std::string& utf8) {
  return sim::Utf8(sim::Wide(sim::Ansi(utf8)));
}

// The song title cut from the window's, which went through the code page.
const std::string kSong = ThroughCodePage(kArtist + " - " + kTitle);

// The template is UTF-8 itself (no mark): its own ж must come through too.
const std::string kTemplate = "%Title%|%Artist%|%Album%|%FileName%|%FullTitle%|ж\r\n";
// Its expansion for the track, with `song` as the window's song title.
std::string Expanded(const std::string& song) {
  return kTitle + "|" + kArtist + "|" + kAlbum + "|" + kFile + "|" + song + "|ж\r\n";
}
const std::string kExpanded = Expanded(kSong);

sim::Track UnicodeTrack() {
  sim::Track track;
  track.file = kFile;
  track.artist = kArtist;
  track.title = kTitle;
  track.meta = {{"artist", kArtist}, {"title", kTitle}, {"album", kAlbum}};
  return track;
}

// UTF-8 as UTF-16 little-endian bytes.
std::string Utf16Le(const std::string& utf8) {
  std::wstring wide = sim::Wide(utf8);
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

std::vector<LPARAM> kWideRequests = {sim::IPC_GETPLAYLISTFILEW, sim::IPC_GET_EXTENDED_FILE_INFOW,
                                     sim::IPC_GET_EXTENDED_FILE_INFOW_HOOKABLE,
                                     sim::IPC_FORMAT_TITLE_EXTENDED};

int WideRequestCount(const sim::Player& player) {
  int count = 0;
  for (LPARAM code : kWideRequests) count += player.CountRequests(code);
  return count;
}

class UnicodeTest : public harness::PluginTest {
 protected:
  UnicodeTest() { player.playlist = {UnicodeTrack()}; }

  // Enabled with this encoding and template, writing out.txt in `mode`; plays the track and
  // waits for the output file to hold `bytes`.
  ::testing::AssertionResult Writes(const std::string& encoding, const std::string& mode,
                                    const std::string& bytes, const Keys& more = {}) {
    Keys keys = {{"TextEncoding", encoding}, {"WriteMode", mode}};
    keys.insert(keys.end(), more.begin(), more.end());
    WriteEnabledIni(kTemplate, "", keys);
    Start();
    player.Play(0);
    if (player.version < 0x5000)
      SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE);
    if (Eventually([&] { return sim::ReadAll(Path("out.txt")) == bytes; }, "the output"))
      return ::testing::AssertionSuccess();
    return FileHolds(Path("out.txt"), bytes);
  }
};

TEST_F(UnicodeTest, Utf8AndUtf16FilesHoldEveryCharacterTheTagsHave) {
  ASSERT_TRUE(Writes("1", "0", kExpanded));
  EXPECT_GT(player.CountRequests(sim::IPC_GET_EXTENDED_FILE_INFOW), 0) << "the album";
  EXPECT_GT(player.CountRequests(sim::IPC_GET_EXTENDED_FILE_INFOW_HOOKABLE), 0);
  Stop();
  // Prepended to a file that starts with the UTF-16 mark: the new text goes in after it.
  harness::WriteBytes(Path("out.txt"), "\xFF\xFE" + Utf16Le("old"));
  ASSERT_TRUE(Writes("2", "2", "\xFF\xFE" + Utf16Le(kExpanded + "old")));
}

TEST_F(UnicodeTest, PopupAndTooltipShowTheWideTexts) {
  // A window title longer than the tooltip's 127 units.
  sim::Track track = UnicodeTrack();
  track.title = std::string(60, 'x');
  for (int i = 0; i < 100; ++i) track.title += "é";
  player.playlist = {track};
  ASSERT_TRUE(Writes("1", "0", Expanded(ThroughCodePage(kArtist + " - " + track.title)),
                     {{"PopupEnabled", "1"}, {"PopupFormat", "%Artist%\\n%Album%"}}));
  ASSERT_TRUE(Eventually([] { return Calls.Count("DrawTextW") > 0; }, "the popup's text"));
  EXPECT_EQ(Calls.Count("DrawTextA"), 0);
  EXPECT_EQ(sim::Utf8(Calls.textDraws.back().wideText), kArtist + "\n" + kAlbum)
      << "the player's wide formatter with our wide answers";
  EXPECT_GT(player.CountRequests(sim::IPC_FORMAT_TITLE_EXTENDED), 0);

  ASSERT_FALSE(Calls.tray.empty());
  EXPECT_EQ(Calls.Count("Shell_NotifyIconA"), 0);
  const NOTIFYICONDATAW& record = Calls.tray.back().wideRecord;
  EXPECT_EQ(record.cbSize, 936u);
  EXPECT_EQ(record.uFlags, static_cast<UINT>(NIF_TIP));
  EXPECT_EQ(std::wstring(record.szTip, wcsnlen(record.szTip, 128)),
            sim::Wide(player.Title()).substr(0, 127));
}

TEST_F(UnicodeTest, TitlesCompareWideWithoutRegardToCase) {
  ASSERT_TRUE(Writes("1", "1", kExpanded));
  // É and é differ to a byte-wise or code-page comparison, not to a wide one.
  player.ClearLog();
  player.SetTitle("1. BEYONCÉ & 坂本龍一 - МУМИЙ ТРОЛЛЬ 🎵 - Winamp");
  SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE);
  ASSERT_TRUE(Eventually([&] { return player.CountRequests(sim::IPC_ISPLAYING) > 0; },
                         "the update after the change of case"));
  player.SetTitle("1. Beyoncé - Other - Winamp");
  SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE);
  const std::string twice = kExpanded + Expanded("Beyoncé - Other");
  EXPECT_TRUE(Eventually([&] { return sim::ReadAll(Path("out.txt")) == twice; },
                         "the new title announced, the change of case not"));
}

// A Unicode player window (as from 5.x on): its title reaches %FullTitle% whole, and the
// tooltip cut before the surrogate pair that its 127th unit would split.
TEST_F(UnicodeTest, AUnicodeWindowsTitleReachesTheFileAndTheTooltip) {
  sim::Player wide(0x5000, sim::WindowKind::Unicode);
  sim::Track track = UnicodeTrack();
  const std::size_t before = sim::Wide("1. " + kArtist + " - ").size();
  track.title = std::string(126 - before, 'x') + "🎵yy";
  wide.playlist = {track};
  WriteEnabledIni("%FullTitle%", "", {{"TextEncoding", "1"}, {"PopupEnabled", "1"}});
  ASSERT_TRUE(wide.Load(DllPath(), [](HMODULE module) {
    InstallRecorders(module);
    Calls.realTray = false;
  }));
  wide.Play(0);
  EXPECT_TRUE(Eventually(
      [&] { return sim::ReadAll(Path("out.txt")) == kArtist + " - " + track.title; },
      "the song title in the output file"));
  ASSERT_FALSE(Calls.tray.empty());
  const NOTIFYICONDATAW& record = Calls.tray.back().wideRecord;
  EXPECT_EQ(std::wstring(record.szTip, wcsnlen(record.szTip, 128)),
            sim::Wide(wide.Title()).substr(0, 126));
  wide.Unload();
}

TEST_F(UnicodeTest, PlayersWithoutWideRequestsAnswerInTheCodePage) {
  const std::string expected =
      ThroughCodePage(kTitle) + "|" + ThroughCodePage(kArtist) + "|" + ThroughCodePage(kAlbum) +
      "|" + ThroughCodePage(kFile) + "|" + kSong + "|ж\r\n";
  ASSERT_NE(expected, kExpanded) << "the code page here spells every character";
  // A 5.x player that does not know them (it answers 1, or 0) is asked the ANSI way after all.
  player.answersWide = false;
  for (LRESULT unknown : {1, 0}) {
    SCOPED_TRACE(unknown);
    player.unknownAnswer = unknown;
    DeleteFileA(Path("out.txt").c_str());
    ASSERT_TRUE(Writes("1", "0", expected));
    Stop();
  }
  // A player before 5.0 is not asked at all.
  player.version = 0x2900;
  player.ClearLog();
  DeleteFileA(Path("out.txt").c_str());
  ASSERT_TRUE(Writes("1", "0", expected));
  EXPECT_EQ(WideRequestCount(player), 0);
}

TEST_F(UnicodeTest, CodePageSettingKeepsTodaysBytes) {
  // The window's title through the code page, the tags as the ANSI requests answer them, and
  // the template's ж as the two bytes the file holds.
  const std::string expected = sim::Ansi(kTitle) + "|" + sim::Ansi(kArtist) + "|" +
                               sim::Ansi(kAlbum) + "|" + sim::Ansi(kFile) + "|" +
                               sim::Ansi(kSong) + "|ж\r\n";
  ASSERT_TRUE(Writes("0", "0", expected));
  EXPECT_EQ(WideRequestCount(player), 0);
}

}  // namespace

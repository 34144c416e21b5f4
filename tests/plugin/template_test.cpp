// The plug-in's own %Tag% expander, seen in the output file: every tag on both sides of
// version 2.9, the order of substitution, text that is not a tag, zero bytes, what each
// expansion costs the player, and players that answer badly.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "harness.h"

namespace {

using namespace std::string_literals;
using harness::Eventually;
using harness::PluginTest;
using harness::TaggedTrack;
using harness::Shown;

class TemplateTest : public PluginTest {
 protected:
  TemplateTest() {
    sim::Track other = TaggedTrack();
    other.file = "C:\\Music\\First.mp3";
    other.meta.clear();
    player.playlist = {other, TaggedTrack(), other};
  }

  // Loads the plug-in with `text` as its template, plays entry `entry`, and returns what the
  // output file then holds; unloads again.
  ::testing::AssertionResult Expands(const std::string& text, const std::string& expected,
                                     int entry = 1) {
    std::string seen;
    if (!Expand(text, entry, &seen))
      return ::testing::AssertionFailure() << "nothing written for " << Shown(text);
    if (seen == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << Shown(text) << " at version " << std::hex
                                         << player.version << " gave " << Shown(seen)
                                         << ", expected " << Shown(expected);
  }

  bool Expand(const std::string& text, int entry, std::string* seen) {
    std::string out = Path("out.txt");
    DeleteFileA(out.c_str());
    WriteEnabledIni(text, "");
    Start();
    player.ClearLog();
    player.Play(entry);
    // Older players do not notify; the hook takes the notification from any player.
    if (player.version < 0x5000)
      SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE);
    bool written = sim::PumpUntil([&] { return harness::FileExists(out); }, 60000);
    *seen = sim::ReadAll(out);
    Stop();
    return written;
  }

  std::vector<LPARAM> CodesOfInfoRequests() const {
    std::vector<LPARAM> codes;
    for (const sim::InfoRequest& r : player.infoRequests) codes.push_back(r.code);
    return codes;
  }
  std::vector<std::string> FieldsOfInfoRequests() const {
    std::vector<std::string> fields;
    for (const sim::InfoRequest& r : player.infoRequests) fields.push_back(r.field);
    return fields;
  }
};

const char kEveryTag[] =
    "%FullTitle%|%Length%|%LongLength%|%PlaylistLength%|%PlaylistEntry%|%FileName%|"
    "%Title%|%Artist%|%Album%|%Year%|%TrackNumber%|%Genre%|%Comment%|%Bitrate%|%VBR%|"
    "%Samplerate%|%Mode%|%WinampVersion%|%PluginVersion%";

class ExpandTemplateTest : public TemplateTest {};

TEST_F(ExpandTemplateTest, EveryTagFromVersion29On) {
  for (unsigned version : {0x2900u, 0x5000u}) {
    player.version = version;
    std::string versionText = version == 0x2900 ? "2.90" : "5.00";
    EXPECT_TRUE(Expands(kEveryTag,
                        "Artist - Song|1:02:05|1 Hour, 2 Minutes, 5 Seconds|3|2|"
                        "C:\\Music\\Tagged.mp3|MTitle|MArtist|MAlbum|1985|07|Jazz|Fine|320|1|"
                        "48000|Stereo|" + versionText + "|2.2"));
    EXPECT_EQ(FieldsOfInfoRequests(),
              (std::vector<std::string>{"title", "artist", "album", "year", "track", "genre",
                                        "comment", "bitrate", "vbr", "srate", "stereo"}));
    EXPECT_EQ(CodesOfInfoRequests(), (std::vector<LPARAM>{296, 296, 290, 296, 296, 296, 296,
                                                          296, 296, 296, 296}));
    for (const sim::InfoRequest& r : player.infoRequests)
      EXPECT_EQ(r.file, "C:\\Music\\Tagged.mp3") << r.field;
  }
}

TEST_F(ExpandTemplateTest, OlderPlayersGivePlaybackInfoAndLeaveMetadataTags) {
  player.version = 0x2800;
  EXPECT_TRUE(Expands(kEveryTag,
                      "Artist - Song|1:02:05|1 Hour, 2 Minutes, 5 Seconds|3|2|"
                      "C:\\Music\\Tagged.mp3|%Title%|%Artist%|%Album%|%Year%|%TrackNumber%|"
                      "%Genre%|%Comment%|128|%VBR%|44000|Stereo|2.80|2.2"));
  EXPECT_TRUE(player.infoRequests.empty());
  for (int channels : {1, 0, 2}) {
    player.playlist[1].channels = channels;
    EXPECT_TRUE(Expands("%Mode%", channels == 1 ? "Mono" : "Stereo")) << channels << " channels";
  }
}

TEST_F(ExpandTemplateTest, ModeComesFromTheStereoField) {
  player.version = 0x2900;
  for (const char* stereo : {"1", "0", "2", "", "absent"}) {
    if (std::string(stereo) == "absent") player.playlist[1].meta.erase("stereo");
    else player.playlist[1].meta["stereo"] = stereo;
    EXPECT_TRUE(Expands("%Mode%", std::string(stereo) == "1" ? "Stereo" : "Mono"))
        << "stereo field " << stereo;
  }
}

TEST_F(ExpandTemplateTest, TagsMatchInAnyCaseEveryTime) {
  player.playlist[1].length = 225;
  EXPECT_TRUE(Expands("Now: %fulltitle% [%LENGTH%] %Length% %lEnGtH%",
                      "Now: Artist - Song [3:45] 3:45 3:45"));
  EXPECT_TRUE(Expands("%FullTitle%\\nLength: %Length%", "Artist - Song\nLength: 3:45"));
  EXPECT_TRUE(Expands("%PlaylistEntry% of %playlistlength%", "1 of 3", 0));
}

TEST_F(ExpandTemplateTest, OtherTextIsCopiedAsItStands) {
  EXPECT_TRUE(Expands("%Foo% 100% $if(%Album%,yes,no) %% % %Full Title%\r\nend",
                      "%Foo% 100% $if(MAlbum,yes,no) %% % %Full Title%\r\nend"));
  EXPECT_TRUE(Expands("D:\\New Music\\n", "D:\\New Music\n"))
      << "only a backslash and a small n stand for a line feed";
}

TEST_F(ExpandTemplateTest, ValuesMeetOnlyTheLaterSteps) {
  player.playlist[1].length = 61;
  player.Play(1);
  player.SetTitle("2. %Artist% %FullTitle% %Length%\\n - Winamp");
  player.playState = sim::kPlaying;
  // The title comes in at step 2: the later %Artist% and %Length% steps see it, the earlier
  // "\n" step and its own step do not.
  std::string out = Path("out.txt");
  WriteEnabledIni("%FullTitle%", "");
  Start();
  SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE);
  ASSERT_TRUE(Eventually([&] { return harness::FileExists(out); }, "the output file"));
  EXPECT_TRUE(harness::FileHolds(out, "MArtist %FullTitle% 1:01\\n"));
}

TEST_F(ExpandTemplateTest, AZeroByteHidesLaterTagsFromThePresenceTest) {
  std::string text = "%Length% %FullTitle%\0%Length% %Artist% %FullTitle% %FileName% "
                     "%WinampVersion% %PluginVersion% \\n|"s;
  EXPECT_TRUE(Expands(text, "1:02:05 Artist - Song\0" "1:02:05 %Artist% Artist - Song "
                            "C:\\Music\\Tagged.mp3 5.00 2.2 \n|"s));
}

TEST_F(ExpandTemplateTest, VersionTextOfThePlayer) {
  struct Case {
    unsigned version;
    const char* text;
  };
  for (const Case& c : {Case{0x5000, "5.00"}, Case{0x2900, "2.90"}, Case{0x5094, "5.094"},
                        Case{0x5A03, "5.A3"}, Case{0x5666, "5.666"}}) {
    player.version = c.version;
    EXPECT_TRUE(Expands("%WinampVersion%", c.text));
  }
}

// What the user's formats show for every second from `from` to `to`.
std::set<std::string> TimesBetween(const SYSTEMTIME& from, const SYSTEMTIME& to, DWORD flags,
                                   bool date) {
  std::set<std::string> shown;
  ULARGE_INTEGER at, end;
  FILETIME file;
  SystemTimeToFileTime(&from, &file);
  at.LowPart = file.dwLowDateTime;
  at.HighPart = file.dwHighDateTime;
  SystemTimeToFileTime(&to, &file);
  end.LowPart = file.dwLowDateTime;
  end.HighPart = file.dwHighDateTime;
  constexpr ULONGLONG kSecond = 10000000;  // FILETIME counts 100 ns
  for (int i = 0; i < 600 && at.QuadPart <= end.QuadPart + kSecond; ++i, at.QuadPart += kSecond) {
    file.dwLowDateTime = at.LowPart;
    file.dwHighDateTime = at.HighPart;
    SYSTEMTIME st;
    FileTimeToSystemTime(&file, &st);
    char text[256] = {};
    if (date) GetDateFormatA(LOCALE_USER_DEFAULT, flags, &st, nullptr, text, sizeof text);
    else GetTimeFormatA(LOCALE_USER_DEFAULT, flags, &st, nullptr, text, sizeof text);
    shown.insert(text);
  }
  return shown;
}

std::string Shown(const std::set<std::string>& texts) {
  std::string all;
  for (const std::string& t : texts) all += (all.empty() ? "" : ", ") + t;
  return all;
}

TEST_F(ExpandTemplateTest, TimeAndDatesInTheUserFormats) {
  SYSTEMTIME before, after;
  GetLocalTime(&before);
  std::string seen;
  ASSERT_TRUE(Expand("%Time%|%LongDate%|%SHORTDATE%", 1, &seen));
  GetLocalTime(&after);
  std::size_t bar1 = seen.find('|'), bar2 = seen.find('|', bar1 + 1);
  ASSERT_NE(bar2, std::string::npos) << Shown(seen);
  std::string time = seen.substr(0, bar1);
  std::string longDate = seen.substr(bar1 + 1, bar2 - bar1 - 1);
  std::string shortDate = seen.substr(bar2 + 1);
  std::set<std::string> times = TimesBetween(before, after, 0, false);
  std::set<std::string> longDates = TimesBetween(before, after, DATE_LONGDATE, true);
  std::set<std::string> shortDates = TimesBetween(before, after, DATE_SHORTDATE, true);
  EXPECT_TRUE(times.count(time)) << "time " << time << ", the clock showed " << Shown(times);
  EXPECT_TRUE(longDates.count(longDate)) << longDate << " not among " << Shown(longDates);
  EXPECT_TRUE(shortDates.count(shortDate)) << shortDate << " not among " << Shown(shortDates);
  EXPECT_FALSE(time.empty());
  EXPECT_NE(longDate, shortDate);
}

// The clock's wide formatters, for a user locale whose dates hold a letter that the system's
// code page (1252) spells and the locale's own (1251, say, where the ANSI formatters answer in
// it) does not.
int WINAPI ClockW(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR out, int chars) {
  lstrcpynW(out, L"d\u00E9cembre", chars);
  return lstrlenW(out) + 1;
}

TEST_F(ExpandTemplateTest, TimeAndDatesReachTheCodePageOfTheSystemNotTheLocale) {
  if (GetACP() != 1252) GTEST_SKIP() << "the expected bytes are those of code page 1252";
  WriteEnabledIni("%Time%|%LongDate%|%ShortDate%", "");
  Start([](HMODULE module) {
    for (const char* function : {"GetTimeFormatW", "GetDateFormatW"})
      ASSERT_TRUE(HookImport(module, "kernel32.dll", function, reinterpret_cast<void*>(ClockW)));
  });
  player.Play(1);
  ASSERT_TRUE(Eventually([&] { return harness::FileExists(Path("out.txt")); }, "the output file"));
  EXPECT_TRUE(
      harness::FileHolds(Path("out.txt"), "d\xE9" "cembre|d\xE9" "cembre|d\xE9" "cembre"));
}

class ExpansionCostTest : public TemplateTest {};

TEST_F(ExpansionCostTest, ATextWithoutTagsAsksForPositionAndFileNameOnly) {
  EXPECT_TRUE(Expands("no tags here", "no tags here"));
  EXPECT_EQ(player.Requests(),
            (std::vector<LPARAM>{sim::IPC_PLAYING_FILE, sim::IPC_ISPLAYING, sim::IPC_GETOUTPUTTIME,
                                 sim::IPC_GETLISTPOS, sim::IPC_GETPLAYLISTFILE}))
      << "the notification, the update's own two requests, then the expansion's";
  EXPECT_TRUE(player.infoRequests.empty());
}

TEST_F(ExpansionCostTest, EachPresentTagAsksOnItsOwnAndAbsentOnesNotAtAll) {
  EXPECT_TRUE(Expands("%Length% %LongLength% %Length%", "1:02:05 1 Hour, 2 Minutes, 5 Seconds 1:02:05"));
  EXPECT_EQ(player.CountRequests(sim::IPC_GETOUTPUTTIME), 3) << "the update's, then one per tag";
  EXPECT_EQ(player.CountRequests(sim::IPC_GETLISTLENGTH), 0);
  EXPECT_EQ(player.CountRequests(sim::IPC_GETINFO), 0);

  EXPECT_TRUE(Expands("%Title%", "MTitle"));
  EXPECT_EQ(FieldsOfInfoRequests(), std::vector<std::string>{"title"});

  player.version = 0x2800;
  EXPECT_TRUE(Expands("%Samplerate%", "44000"));
  EXPECT_EQ(player.CountRequests(sim::IPC_GETINFO), 1);
}

class PlayerAnswerTest : public TemplateTest {};

TEST_F(PlayerAnswerTest, ANullFileNameIsTheEmptyName) {
  player.nullFileName = true;
  EXPECT_TRUE(Expands("[%FileName%][%Artist%][%Album%]", "[][][]"));
  ASSERT_EQ(player.infoRequests.size(), 2u);
  for (const sim::InfoRequest& r : player.infoRequests) {
    EXPECT_FALSE(r.fileNull) << r.field << ": the player is handed a text, never null";
    EXPECT_EQ(r.file, "");
  }
}

TEST_F(PlayerAnswerTest, AnAnswerWithoutTerminatorEndsWithItsBuffer) {
  player.terminateAnswers = false;
  player.playlist[1].meta["artist"] = "Ab";
  std::string filled;
  while (filled.size() < 2048) filled += "Ab";
  EXPECT_TRUE(Expands("<%Artist%>", "<" + filled + ">"));
}

// A player (or whoever answers first) may hand over a file name that runs into memory nobody
// may read: the name is then no answer, never a crash.
TEST_F(PlayerAnswerTest, AFileNameRunningIntoUnreadableMemoryIsNoName) {
  char* pages = static_cast<char*>(VirtualAlloc(nullptr, 8192, MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  DWORD old = 0;
  VirtualProtect(pages + 4096, 4096, PAGE_NOACCESS, &old);
  struct Case {
    const char* what;
    int fromEnd;        // where the answer points, counted back from the unreadable page
    bool nameAtTheEnd;  // the page ends with "ab" (or L"ab") and its zero, else with 'x's
    const char* expected;
  };
  const Case cases[] = {{"unreadable", 0, false, "[]"},
                        {"no terminator before unreadable memory", 16, false, "[]"},
                        {"an odd address before unreadable memory", 15, false, "[]"},
                        {"a name just in front of it", 0, true, "[ab]"}};
  for (bool wide : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (wide ? ", wide" : ""));
      std::memset(pages, 'x', 4096);
      int nameBytes = wide ? 6 : 3;
      if (c.nameAtTheEnd) std::memcpy(pages + 4096 - nameBytes, wide ? static_cast<const void*>(L"ab") : "ab", nameBytes);
      char* answerAt = pages + 4096 - (c.nameAtTheEnd ? nameBytes : c.fromEnd);
      player.answersFirst = [&](WPARAM, LPARAM code, LRESULT* answer) {
        if (code != sim::IPC_GETPLAYLISTFILE && code != sim::IPC_GETPLAYLISTFILEW) return false;
        *answer = reinterpret_cast<LRESULT>(answerAt);
        return true;
      };
      std::string out = Path("out.txt");
      DeleteFileA(out.c_str());
      WriteEnabledIni("[%FileName%]", "", {{"TextEncoding", wide ? "1" : "0"}});
      Start();
      player.Play(1);
      ASSERT_TRUE(Eventually([&] { return harness::FileExists(out); }, "the output file"));
      EXPECT_EQ(sim::ReadAll(out), c.expected);
      Stop();
    }
  }
  player.answersFirst = nullptr;
  VirtualFree(pages, 0, MEM_RELEASE);
}

TEST_F(PlayerAnswerTest, AVeryLongTitleIsCutToTheWindowTextRoom) {
  std::string title = "1. " + std::string(4997, 'x');
  player.Play(1);
  player.SetTitle(title);
  std::string out = Path("out.txt");
  WriteEnabledIni("<%FullTitle%>", "");
  Start();
  SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE);
  ASSERT_TRUE(Eventually([&] { return harness::FileExists(out); }, "the output file"));
  EXPECT_TRUE(harness::FileHolds(out, "<" + std::string(2047 - 3, 'x') + ">"));
}

TEST_F(PlayerAnswerTest, TagsThatHoldLaterTagsGrowNoFurtherThanTheLimit) {
  // Tags as long as the player answers them (2,047 bytes), made to multiply at the later steps:
  // in full, 152 MB. The step that would pass 1 MB and every later one are left out.
  std::string title, artist, expected;
  for (int i = 0; i < 255; ++i) title += "%Artist%";
  for (int i = 0; i < 292; ++i) artist += "%Album%";
  for (int i = 0; i < 255 * 292; ++i) expected += "%Album%";
  player.playlist[1].meta["title"] = title;
  player.playlist[1].meta["artist"] = artist;
  player.playlist[1].meta["album"] = std::string(2047, 'a');
  std::string seen;
  ASSERT_TRUE(Expand("%Title%|%PluginVersion%", 1, &seen));
  EXPECT_EQ(seen.size(), expected.size() + 16);
  EXPECT_TRUE(seen == expected + "|%PluginVersion%") << "not the text before the Album step";

  // A template of its own size may grow to 64 times that: 140 KB to 2 MB.
  player.playlist[1].meta["album"] = std::string(100, 'a');
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "%Album%";
  ASSERT_TRUE(Expand(many, 1, &seen));
  EXPECT_EQ(seen.size(), 20000u * 100);
}

TEST_F(PlayerAnswerTest, ATenMegabyteTemplateFullOfTags) {
  const std::string unit = "<%Artist%|%length%|%PLAYLISTENTRY%|%FullTitle%>\n";
  const std::string done = "<MArtist|1:02:05|2|Artist - Song>\n";
  std::string text, expected;
  while (text.size() < 10 * 1024 * 1024) {
    text += unit;
    expected += done;
  }
  std::string seen;
  ASSERT_TRUE(Expand(text, 1, &seen));
  EXPECT_EQ(seen.size(), expected.size());
  EXPECT_TRUE(seen == expected) << "the text differs from the expected expansion";
  EXPECT_EQ(player.CountRequests(sim::IPC_GETOUTPUTTIME), 2)
      << "one request per tag, not per place";
}

}  // namespace

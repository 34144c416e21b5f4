// The text forms of the formatters: track lengths, "year2", the song title, channel words.
#include <gtest/gtest.h>

#include <climits>

#include "format/tag_forms.h"

namespace {

TEST(LengthForms, ShortFormShowsHoursOnlyWhenThereAreAny) {
  EXPECT_EQ(ShortLength(3600 + 2 * 60 + 5), "1:02:05");
  EXPECT_EQ(ShortLength(225), "3:45");
  EXPECT_EQ(ShortLength(5), "0:05");
  EXPECT_EQ(ShortLength(0), "0:00");
  EXPECT_EQ(ShortLength(3599), "59:59");
  EXPECT_EQ(ShortLength(36000), "10:00:00");
  EXPECT_EQ(ShortLength(-1), "0:-1") << "the player's unknown length";
}

TEST(LengthForms, LongFormCountsOneInTheSingular) {
  EXPECT_EQ(LongLength(3600 + 60 + 1), "1 Hour, 1 Minute, 1 Second");
  EXPECT_EQ(LongLength(2 * 3600 + 5), "2 Hours, 0 Minutes, 5 Seconds");
  EXPECT_EQ(LongLength(3600 + 2 * 60 + 5), "1 Hour, 2 Minutes, 5 Seconds");
  EXPECT_EQ(LongLength(60), "1 Minute, 0 Seconds");
  EXPECT_EQ(LongLength(0), "0 Minutes, 0 Seconds");
  EXPECT_EQ(LongLength(-1), "0 Minutes, -1 Seconds");
}

TEST(LengthForms, ExtremeNumbersKeepTheirSignInEveryPart) {
  EXPECT_EQ(ShortLength(INT_MIN), "-596523:-14:-8");
  EXPECT_EQ(ShortLength(INT_MAX), "596523:14:07");
  EXPECT_EQ(LongLength(INT_MIN), "-596523 Hours, -14 Minutes, -8 Seconds");
  EXPECT_EQ(ShortLength(-3725), "-1:-2:-5");
}

TEST(Year2, SplitsYearsStrictlyBetween1900And2000) {
  EXPECT_EQ(Year2("1985"), "19 85");
  EXPECT_EQ(Year2("1901"), "19 01");
  EXPECT_EQ(Year2("1999"), "19 99");
  EXPECT_EQ(Year2("1900"), "1900");
  EXPECT_EQ(Year2("2000"), "2000");
  EXPECT_EQ(Year2("2005"), "2005");
  EXPECT_EQ(Year2("19"), "19");
  EXPECT_EQ(Year2("2"), "2 ") << "shorter than two characters: the blank goes at the end";
  EXPECT_EQ(Year2(""), "");
  EXPECT_EQ(Year2("1985-06-01"), "19 85-06-01");
}

TEST(Year2, NeverSplitsACharacterOfSeveralBytes) {
  const std::string utf8 = "1\xEF\xBC\x99\xEF\xBC\x98\xEF\xBC\x95";  // 1, then fullwidth 985
  const std::string cp932 = "1\x82\x58\x82\x57\x82\x54";
  EXPECT_EQ(Year2(utf8), utf8);
  EXPECT_EQ(Year2(cp932), cp932);
}

TEST(SongTitle, DropsThePlayerSuffixAndThePlaylistNumber) {
  EXPECT_EQ(SongTitle("12. Artist - Song - Winamp"), "Artist - Song");
  EXPECT_EQ(SongTitle("Artist - Song - Winamp"), "- Song") << "the first word always goes";
  EXPECT_EQ(SongTitle("1. A - B - Winamp - Winamp"), "A - B") << "the first suffix counts";
  EXPECT_EQ(SongTitle(" - Winamp"), "- Winamp") << "a suffix at the very start stays";
  EXPECT_EQ(SongTitle("3. Song - winamp"), "Song - winamp") << "the suffix is case-sensitive";
  EXPECT_EQ(SongTitle("Untitled"), "Untitled");
  EXPECT_EQ(SongTitle(""), "");
}

TEST(ChannelWords, StereoOnlyForItsOwnMark) {
  EXPECT_STREQ(StereoFieldText("1"), "Stereo");
  EXPECT_STREQ(StereoFieldText("0"), "Mono");
  EXPECT_STREQ(StereoFieldText("2"), "Mono");
  EXPECT_STREQ(StereoFieldText(""), "Mono");
  EXPECT_STREQ(StereoFieldText("1 "), "Mono");
  EXPECT_STREQ(ChannelsText(1), "Mono");
  EXPECT_STREQ(ChannelsText(2), "Stereo");
  EXPECT_STREQ(ChannelsText(0), "Stereo");
}

}  // namespace

// The speech volume scale: levels of the settings (0..64) on the player's volume (0..255).
#include <gtest/gtest.h>

#include <climits>

#include "speech/volume.h"

namespace {

TEST(SpeechVolumeScale, KnownLevelsGiveTheirPlayerVolumes) {
  struct Case {
    unsigned level, volume;
  };
  const Case cases[] = {{0, 0},    {1, 4},    {8, 32},   {14, 56},  {15, 60},
                        {16, 65},  {17, 69},  {24, 97},  {31, 125}, {32, 130},
                        {33, 132}, {48, 192}, {63, 252}, {64, 255}};
  for (const Case& c : cases)
    EXPECT_EQ(HostVolumeFromLevel(c.level), c.volume) << "level " << c.level;
}

TEST(SpeechVolumeScale, RisesStrictlyFromSilenceToFullVolume) {
  EXPECT_EQ(HostVolumeFromLevel(0), 0u);
  for (unsigned level = 1; level <= 64; ++level) {
    EXPECT_GT(HostVolumeFromLevel(level), HostVolumeFromLevel(level - 1)) << "level " << level;
    EXPECT_LE(HostVolumeFromLevel(level), 255u) << "level " << level;
  }
  EXPECT_EQ(HostVolumeFromLevel(64), 255u);
}

TEST(SpeechVolumeScale, LevelsPastTheTopStayAtFullVolume) {
  for (unsigned level : {65u, 100u, 1000u, UINT_MAX / 4 + 1, UINT_MAX})
    EXPECT_EQ(HostVolumeFromLevel(level), 255u) << "level " << level;
}

}  // namespace

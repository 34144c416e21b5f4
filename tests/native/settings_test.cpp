// Loading the settings: defaults, conversions and bounds, with the file's texts supplied by
// a map instead of the profile-string functions.
#include <gtest/gtest.h>

#include <map>

#include "settings/parse.h"

namespace {

SettingsRecord Load(const std::map<std::string, std::string>& file, unsigned version = 0x5000) {
  return ParseSettings(
      [&](const char* key, const char* fallback) {
        auto it = file.find(key);
        return it == file.end() ? std::string(fallback) : it->second;
      },
      version);
}

TEST(SettingsLoad, MissingFileGivesTheDefaults) {
  SettingsRecord s = Load({});
  EXPECT_FALSE(s.Enabled);
  EXPECT_FALSE(s.FlushFileBuffers);
  EXPECT_EQ(s.WriteMode, 0);
  EXPECT_FALSE(s.InitializeOutput);
  EXPECT_EQ(s.TemplateFile, "");
  EXPECT_EQ(s.PollingInterval, 5u);
  EXPECT_FALSE(s.PopupEnabled);
  EXPECT_EQ(s.PopupTimeout, 10);
  EXPECT_EQ(s.PopupFormat, "%FullTitle%\\nLength: %Length%");
  EXPECT_FALSE(s.ReplaceHyphens);
  EXPECT_FALSE(s.SpeechEnabled);
  EXPECT_TRUE(s.PauseWhenSpeaking);
  EXPECT_FALSE(s.ChangeVolumeWhenSpeaking);
  EXPECT_EQ(s.Volume, 14u);
}

TEST(SettingsLoad, TheSpeechFormatDefaultDependsOnThePlayerVersion) {
  EXPECT_EQ(Load({}, 0x2900).SpeechFormat, "Now playing, %Artist%, %Title%");
  EXPECT_EQ(Load({}, 0x4FFF).SpeechFormat, "Now playing, %Artist%, %Title%");
  EXPECT_EQ(Load({}, 0x5000).SpeechFormat,
            "Now playing, %Artist%, %Title%. $if(%Album%,From the %Year% album %Album%,)");
  EXPECT_EQ(Load({{"SpeechFormat", "Mine"}}, 0x5000).SpeechFormat, "Mine");
}

TEST(SettingsLoad, PresentButEmptyValuesAreNotDefaults) {
  SettingsRecord s = Load({{"PopupTimeout", ""}, {"Volume", ""}, {"PollingInterval", ""},
                           {"PopupFormat", ""}, {"WriteMode", ""}, {"Enabled", ""}});
  EXPECT_EQ(s.PopupTimeout, 0);
  EXPECT_EQ(s.Volume, 0u);
  EXPECT_EQ(s.PollingInterval, 5u);
  EXPECT_EQ(s.PopupFormat, "%FullTitle%\\nLength: %Length%");
  EXPECT_EQ(s.WriteMode, 0);
  EXPECT_FALSE(s.Enabled);
}

TEST(SettingsLoad, PollingIntervalOutsideTwoToThirtyBecomesFive) {
  const std::pair<const char*, unsigned> cases[] = {
      {"1", 5}, {"31", 5}, {"-3", 5}, {"abc", 5}, {"2", 2}, {"30", 30}, {" 7x", 7}};
  for (auto [text, expected] : cases)
    EXPECT_EQ(Load({{"PollingInterval", text}}).PollingInterval, expected) << text;
}

TEST(SettingsLoad, VolumeAboveSixtyFourBecomesFourteen) {
  const std::pair<const char*, unsigned> cases[] = {
      {"64", 64}, {"65", 14}, {"-1", 14}, {"0", 0}, {"", 0}, {"4294967295", 14}};
  for (auto [text, expected] : cases)
    EXPECT_EQ(Load({{"Volume", text}}).Volume, expected) << text;
}

TEST(SettingsLoad, WriteModeKeepsItsLowSixteenBits) {
  EXPECT_EQ(Load({{"WriteMode", "65538"}}).WriteMode, 2);
  EXPECT_EQ(Load({{"WriteMode", "3"}}).WriteMode, 3);
  EXPECT_EQ(Load({{"WriteMode", "-1"}}).WriteMode, 0xFFFF);
}

TEST(SettingsLoad, SwitchesAreOnWhenTheirNumberIsNotZero) {
  EXPECT_TRUE(Load({{"Enabled", "1"}}).Enabled);
  EXPECT_TRUE(Load({{"Enabled", "-2"}}).Enabled);
  EXPECT_TRUE(Load({{"Enabled", " +7"}}).Enabled);
  EXPECT_FALSE(Load({{"Enabled", "yes"}}).Enabled);
  EXPECT_FALSE(Load({{"Enabled", "0"}}).Enabled);
}

TEST(SettingsLoad, OnlyExactlyOneMeansChangeVolumeWhenSpeaking) {
  const std::pair<const char*, bool> cases[] = {
      {"1", true}, {"0", false}, {"2", false}, {"true", false}, {" 1", false}, {"01", false}};
  for (auto [text, volume] : cases) {
    SettingsRecord s = Load({{"WhenSpeaking", text}});
    EXPECT_EQ(s.ChangeVolumeWhenSpeaking, volume) << text;
    EXPECT_NE(s.PauseWhenSpeaking, s.ChangeVolumeWhenSpeaking) << text;
  }
}

TEST(SettingsLoad, TextEncodingIsOneOrTwoOrElseTheCodePage) {
  const std::pair<const char*, Encoding> cases[] = {
      {"1", Encoding::kUtf8}, {"2", Encoding::kUtf16}, {" 2x", Encoding::kUtf16},
      {"0", Encoding::kAnsi}, {"3", Encoding::kAnsi},  {"-1", Encoding::kAnsi},
      {"", Encoding::kAnsi},  {"utf8", Encoding::kAnsi}};
  EXPECT_EQ(Load({}).TextEncoding, Encoding::kAnsi);
  for (auto [text, encoding] : cases)
    EXPECT_EQ(Load({{"TextEncoding", text}}).TextEncoding, encoding) << text;
}

TEST(SettingNumber, ReadsLikeAtoiWithoutOverflowing) {
  EXPECT_EQ(SettingNumber(""), 0);
  EXPECT_EQ(SettingNumber("  \t42abc"), 42);
  EXPECT_EQ(SettingNumber("-17"), -17);
  EXPECT_EQ(SettingNumber("+-1"), 0);
  EXPECT_EQ(SettingNumber("2147483647"), 2147483647);
  EXPECT_EQ(SettingNumber("4294967296"), 0) << "wraps at 32 bits";
  EXPECT_EQ(SettingNumber("99999999999999999999999"), SettingNumber("99999999999999999999999"));
}

}  // namespace

// An image written over the output or template file would destroy it; the names compare as the
// file system does, without case and with either slash.
TEST(SettingsLoad, ACoverFileThatIsTheOutputOrTemplateFileIsNotUsed) {
  EXPECT_EQ(Load({{"OutputFile", "C:\\Stream\\now.txt"}, {"CoverArtFile", "c:/stream/NOW.TXT"}})
                .CoverArtFile,
            "");
  EXPECT_EQ(Load({{"TemplateFile", "C:\\t.txt"}, {"CoverArtFile", "C:\\T.txt"}}).CoverArtFile, "");
  EXPECT_EQ(Load({{"OutputFile", "C:\\now.txt"}, {"CoverArtFile", "C:\\now.png"},
                  {"CoverArtMissing", "C:\\none.png"}})
                .CoverArtFile,
            "C:\\now.png");
}

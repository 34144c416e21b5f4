// The configuration dialogs' window-free forms: the volume percentage and the keys OK writes.
#include <gtest/gtest.h>

#include "config_ui/setting_forms.h"

namespace {

TEST(VolumePercentage, RoundsDownOverTheWholeScale) {
  const std::pair<unsigned, unsigned> levels[] = {{0, 0},   {1, 1},   {8, 12},  {14, 21},
                                                  {16, 25}, {32, 50}, {48, 75}, {63, 98},
                                                  {64, 100}};
  for (const auto& [level, percent] : levels) EXPECT_EQ(VolumePercent(level), percent) << level;
  for (unsigned level = 1; level <= kMaxVolumeLevel; ++level)
    EXPECT_GE(VolumePercent(level), VolumePercent(level - 1)) << level;
}

TEST(VolumePercentage, LabelIsTheNumberAndAPercentSign) {
  EXPECT_EQ(VolumeLabel(0), "0%");
  EXPECT_EQ(VolumeLabel(14), "21%");
  EXPECT_EQ(VolumeLabel(64), "100%");
}

std::string Value(const std::vector<SavedKey>& keys, const std::string& key) {
  for (const auto& [name, value] : keys)
    if (key == name) return value;
  return "(missing)";
}

TEST(SavedKeys, EveryKeyOnceInTheFilesOrderWithoutThePollingInterval) {
  ConfigChoices c;
  c.enabled = true;
  c.overwrite = true;
  c.templateFile = "C:\\t.txt";
  c.notPlayingFile = "C:\\n.txt";
  c.outputFile = "C:\\o.txt";
  c.popupTimeout = "12";
  c.popupFormat = "%Title%";
  c.speechFormat = "Now %Title%";
  c.volume = 64;
  std::vector<std::string> names;
  for (const auto& [name, value] : SavedKeys(c)) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "Enabled", "FlushFileBuffers", "WriteMode", "InitializeOutput",
                       "TemplateFile", "NotPlayingFile", "OutputFile", "CoverArtFile",
                       "CoverArtMissing", "PopupEnabled",
                       "PopupTimeout", "PopupFormat", "ReplaceHyphens", "SpeechEnabled",
                       "SpeechFormat", "WhenSpeaking", "Volume"}));
  std::vector<SavedKey> keys = SavedKeys(c);
  EXPECT_EQ(Value(keys, "Enabled"), "1");
  EXPECT_EQ(Value(keys, "FlushFileBuffers"), "0");
  EXPECT_EQ(Value(keys, "TemplateFile"), "C:\\t.txt");
  EXPECT_EQ(Value(keys, "NotPlayingFile"), "C:\\n.txt");
  EXPECT_EQ(Value(keys, "OutputFile"), "C:\\o.txt");
  EXPECT_EQ(Value(keys, "PopupTimeout"), "12");
  EXPECT_EQ(Value(keys, "PopupFormat"), "%Title%");
  EXPECT_EQ(Value(keys, "SpeechFormat"), "Now %Title%");
  EXPECT_EQ(Value(keys, "Volume"), "64");
}

TEST(SavedKeys, WriteModeAndWhenSpeakingByTheirButtons) {
  struct Case {
    bool first, second;
    const char* writeMode;
    const char* whenSpeaking;
  };
  // (append, prepend) and (pause, change volume): the first button wins. Neither is "0" for
  // WhenSpeaking; for WriteMode it is no key, as the overwrite button is not checked either.
  const Case cases[] = {{false, false, "(missing)", "0"}, {true, false, "1", "0"},
                        {false, true, "2", "1"}, {true, true, "1", "0"}};
  for (const Case& k : cases) {
    ConfigChoices c;
    c.append = c.pause = k.first;
    c.prepend = c.changeVolume = k.second;
    std::vector<SavedKey> keys = SavedKeys(c);
    EXPECT_EQ(Value(keys, "WriteMode"), k.writeMode) << k.first << k.second;
    EXPECT_EQ(Value(keys, "WhenSpeaking"), k.whenSpeaking) << k.first << k.second;
  }
}

}  // namespace

// The settings in the forms the dialogs show and write: the volume level as a percentage, and
// the INI texts of every key OK saves. Pure, so that the unit tests compile this very file.
#include "config_ui/setting_forms.h"

namespace {

const char* Switch(bool on) { return on ? "1" : "0"; }

// WriteMode as the three radio buttons give it: append wins over prepend, then overwrite; none
// at all (a mode no button stands for) is no text, and the key is not written.
const char* WriteModeText(bool overwrite, bool append, bool prepend) {
  if (append) return "1";
  if (prepend) return "2";
  if (overwrite) return "0";
  return nullptr;
}

// WhenSpeaking: "1" only for change volume alone; pause, both or neither are "0".
const char* WhenSpeakingText(bool pause, bool changeVolume) {
  if (pause) return "0";
  if (changeVolume) return "1";
  return "0";
}

}  // namespace

unsigned VolumePercent(unsigned level) { return level * 100 / kMaxVolumeLevel; }

std::string VolumeLabel(unsigned level) { return std::to_string(VolumePercent(level)) + "%"; }

std::vector<SavedKey> SavedKeys(const ConfigChoices& c) {
  std::vector<SavedKey> keys = {
      {"Enabled", Switch(c.enabled)},
      {"FlushFileBuffers", Switch(c.flushBuffers)},
  };
  if (const char* mode = WriteModeText(c.overwrite, c.append, c.prepend))
    keys.push_back({"WriteMode", mode});
  keys.push_back({"InitializeOutput", Switch(c.initializeOutput)});
  keys.push_back({"TemplateFile", c.templateFile});
  keys.push_back({"NotPlayingFile", c.notPlayingFile});
  keys.push_back({"OutputFile", c.outputFile});
  keys.push_back({"CoverArtFile", c.coverArtFile});
  keys.push_back({"CoverArtMissing", c.coverArtMissing});
  keys.push_back({"PopupEnabled", Switch(c.popupEnabled)});
  if (!c.popupTimeout.empty()) keys.push_back({"PopupTimeout", c.popupTimeout});
  keys.push_back({"PopupFormat", c.popupFormat});
  keys.push_back({"ReplaceHyphens", Switch(c.replaceHyphens)});
  if (c.speechOffered) {
    keys.push_back({"SpeechEnabled", Switch(c.speechEnabled)});
    keys.push_back({"SpeechFormat", c.speechFormat});
    keys.push_back({"WhenSpeaking", WhenSpeakingText(c.pause, c.changeVolume)});
    keys.push_back({"Volume", std::to_string(c.volume)});
  }
  if (c.textEncoding) keys.push_back({"TextEncoding", std::to_string(*c.textEncoding)});
  return keys;
}

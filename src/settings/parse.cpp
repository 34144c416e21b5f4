// Turning the INI file's texts into the settings record: defaults, conversions and bounds.
// Pure; LoadSettings (settings.cpp) supplies the profile-string reader.
#include "settings/parse.h"

#include <cstdint>

namespace {

constexpr unsigned kDefaultPollingInterval = 5;
constexpr unsigned kMinPollingInterval = 2;
constexpr unsigned kMaxPollingInterval = 30;
constexpr unsigned kDefaultVolume = 14;
constexpr unsigned kMaxVolume = 64;
// Players that format titles, as host::kFirstNotifyingVersion says (this file stays free of the
// player's header).
constexpr unsigned kFirstFormattingVersion = 0x5000;

constexpr char kDefaultPopupFormat[] = "%FullTitle%\\nLength: %Length%";
constexpr char kDefaultSpeechFormatOld[] = "Now playing, %Artist%, %Title%";
constexpr char kDefaultSpeechFormat[] =
    "Now playing, %Artist%, %Title%. $if(%Album%,From the %Year% album %Album%,)";

char PathFolded(char c) {
  if (c == '/') return '\\';
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

bool SamePath(const std::string& a, const std::string& b) {
  if (a.empty() || a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (PathFolded(a[i]) != PathFolded(b[i])) return false;
  return true;
}

int SettingNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

SettingsRecord ParseSettings(const KeyReader& read, unsigned hostVersion) {
  auto number = [&](const char* key, const char* fallback) {
    return SettingNumber(read(key, fallback));
  };
  auto on = [&](const char* key) { return number(key, "0") != 0; };

  SettingsRecord s;
  s.Enabled = on("Enabled");
  s.FlushFileBuffers = on("FlushFileBuffers");
  s.WriteMode = static_cast<std::uint16_t>(number("WriteMode", "0"));
  s.InitializeOutput = on("InitializeOutput");
  s.TemplateFile = read("TemplateFile", "");
  s.NotPlayingFile = read("NotPlayingFile", "");
  s.OutputFile = read("OutputFile", "");

  s.PollingInterval = static_cast<unsigned>(number("PollingInterval", "5"));
  if (s.PollingInterval < kMinPollingInterval || s.PollingInterval > kMaxPollingInterval)
    s.PollingInterval = kDefaultPollingInterval;

  s.PopupEnabled = on("PopupEnabled");
  s.PopupTimeout = number("PopupTimeout", "10");
  s.PopupFormat = read("PopupFormat", "");
  if (s.PopupFormat.empty()) s.PopupFormat = kDefaultPopupFormat;
  s.ReplaceHyphens = on("ReplaceHyphens");

  s.SpeechEnabled = on("SpeechEnabled");
  s.SpeechFormat = read("SpeechFormat", "");
  if (s.SpeechFormat.empty())
    s.SpeechFormat =
        hostVersion < kFirstFormattingVersion ? kDefaultSpeechFormatOld : kDefaultSpeechFormat;

  s.ChangeVolumeWhenSpeaking = read("WhenSpeaking", "0") == "1";
  s.PauseWhenSpeaking = !s.ChangeVolumeWhenSpeaking;

  s.Volume = static_cast<unsigned>(number("Volume", "14"));
  if (s.Volume > kMaxVolume) s.Volume = kDefaultVolume;

  s.TextEncoding = EncodingFromSetting(number("TextEncoding", "0"));

  s.CoverArtFile = read("CoverArtFile", "");
  if (SamePath(s.CoverArtFile, s.OutputFile) || SamePath(s.CoverArtFile, s.TemplateFile))
    s.CoverArtFile.clear();
  s.CoverArtMissing = read("CoverArtMissing", "");
  return s;
}

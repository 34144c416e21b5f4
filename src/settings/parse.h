// The settings record, and turning the INI file's texts into it: defaults, conversions and
// bounds. Pure and free of <windows.h> (parse.cpp is tested natively).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "encoding/unicode.h"

struct SettingsRecord {
  bool Enabled = false;
  bool FlushFileBuffers = false;
  std::uint16_t WriteMode = 0;        // 0 overwrite, 1 append, 2 prepend; others append
  bool InitializeOutput = false;
  std::string TemplateFile;
  std::string NotPlayingFile;
  std::string OutputFile;
  unsigned PollingInterval = 0;       // seconds, 2..30
  bool PopupEnabled = false;
  int PopupTimeout = 0;               // seconds
  std::string PopupFormat;
  bool ReplaceHyphens = false;
  bool SpeechEnabled = false;
  std::string SpeechFormat;
  bool PauseWhenSpeaking = false;     // exactly one of these two is on after loading
  bool ChangeVolumeWhenSpeaking = false;
  unsigned Volume = 0;                // speech volume level, 0..64
  Encoding TextEncoding = Encoding::kAnsi;  // how texts are taken, shown and written
  std::string CoverArtFile;      // where the playing track's cover goes; empty: no cover
  std::string CoverArtMissing;   // the image put there without a cover; empty: the file goes
};

// Asks for one key: returns its text, or `fallback` when the key is missing.
using KeyReader = std::function<std::string(const char* key, const char* fallback)>;

// Fills a record the way LoadSettings does, key by key in the file's order, from `read`.
// `hostVersion` picks the default speech format.
SettingsRecord ParseSettings(const KeyReader& read, unsigned hostVersion);

// Whether two paths from the settings name the same file as far as their texts tell: equal
// without regard to the case of ASCII letters, either slash for a separator. A cover file that
// is the output or template file would overwrite the one with an image.
bool SamePath(const std::string& a, const std::string& b);

// The number in a setting's text, as atoi reads it: leading blanks, one sign, digits up to
// the first other character, 0 when there are none. Wraps at 32 bits instead of overflowing.
int SettingNumber(const std::string& text);

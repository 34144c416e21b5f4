// The user's settings: the record, its parsing, and its storage in an INI file (section
// "Tunecrier"). The entry keeps the one record in use, loaded from "gen_tunecrier.ini" beside the
// DLL at init and after the configuration dialog's OK; that dialog writes it back key by key.
// Every function here works on its arguments alone.
//
// This header stays free of <windows.h>: the parsing below is tested natively.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

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
};

constexpr char kIniFileName[] = "gen_tunecrier.ini";
constexpr char kIniSection[] = "Tunecrier";
constexpr unsigned kIniValueChars = 256;  // room for a value read from the file, terminator included

// Asks for one key: returns its text, or `fallback` when the key is missing.
using KeyReader = std::function<std::string(const char* key, const char* fallback)>;

// Fills a record the way LoadSettings does, key by key in the file's order, from `read`.
// `hostVersion` picks the default speech format.
SettingsRecord ParseSettings(const KeyReader& read, unsigned hostVersion);

// The number in a setting's text, as atoi reads it: leading blanks, one sign, digits up to
// the first other character, 0 when there are none. Wraps at 32 bits instead of overflowing.
int SettingNumber(const std::string& text);

// Reads every key of the INI file at `path` (a missing file or key gives its default).
SettingsRecord LoadSettings(const std::string& path, unsigned hostVersion);

// Writes one key to the INI file at `path` (the configuration dialog's OK). Failures are ignored.
void WriteSetting(const std::string& path, const char* key, const std::string& value);
inline const char* SwitchText(bool on) { return on ? "1" : "0"; }

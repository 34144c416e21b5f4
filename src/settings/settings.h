// The user's settings and their storage in an INI file (section "Tunecrier"); the record and
// its parsing are in parse.h, which the native tests use. The entry keeps the one record in
// use, loaded from "gen_tunecrier.ini" beside the DLL at init and after the configuration
// dialog's OK; that dialog writes it back key by key. Every function here works on its
// arguments alone. Free of <windows.h>.
#pragma once

#include <string>

#include "settings/parse.h"

constexpr char kIniFileName[] = "gen_tunecrier.ini";
constexpr char kIniSection[] = "Tunecrier";
// Room for a value read from the file, terminator included: as much as the configuration
// dialog writes. A value that fills it may have been cut, so it is not used.
constexpr unsigned kIniValueChars = 512;

// Reads every key of the INI file at `path` (a missing file or key gives its default, and so
// does a value too long for kIniValueChars).
SettingsRecord LoadSettings(const std::string& path, unsigned hostVersion);

// Writes one key to the INI file at `path` (the configuration dialog's OK). Failures are ignored.
void WriteSetting(const std::string& path, const char* key, const std::string& value);

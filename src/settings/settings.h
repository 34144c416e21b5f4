// The user's settings and their storage in an INI file (section "Tunecrier"); the record and
// its parsing are in parse.h, which the native tests use. The entry keeps the one record in
// use, loaded from "gen_tunecrier.ini" at init and after the configuration dialog's OK; that
// dialog writes it back key by key. The file is the one beside the DLL, or, where this user
// cannot write that one, the one in the player's settings folder (FindIniPath); the entry
// picks it at init and checks it again at config. Every function here works on its arguments
// alone. Free of <windows.h>.
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

// Writes one key to the INI file at `path` (the configuration dialog's OK); false when the
// file could not be written.
bool WriteSetting(const std::string& path, const char* key, const std::string& value);

// The INI file the settings are read from and saved to. `inUse` (empty at init) while this
// user can write it; else the one beside the DLL where this user can write that; else the one
// in the player's settings folder, which starts as a copy of the one beside the DLL (see
// location.cpp). `hostVersion` says which of the player's requests for that folder it has.
std::string FindIniPath(unsigned hostVersion, const std::string& inUse);

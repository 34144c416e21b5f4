// The user's settings and their storage in an INI file (section "Tunecrier"); the record and
// its parsing are in parse.h, which the native tests use. The entry keeps the one record in
// use, loaded from "gen_tunecrier.ini" at init and after the configuration dialog's OK; that
// dialog opens on the file as it is then and saves the keys it shows, all or none. The file is
// the one beside the DLL, or, where this user cannot write that one, the one in the player's
// settings folder (FindIniPath); the entry picks it at init and checks it again at config.
// Every function here works on its arguments alone. Free of <windows.h>.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "settings/parse.h"

constexpr char kIniFileName[] = "gen_tunecrier.ini";
constexpr char kIniSection[] = "Tunecrier";
// Room for a value read from the file, terminator included: as much as the configuration
// dialog writes. A value that fills it may have been cut, so it is not used.
constexpr unsigned kIniValueChars = 512;

// Reads every key of the INI file at `path` (a missing file or key gives its default, and so
// does a value too long for kIniValueChars).
SettingsRecord LoadSettings(const std::string& path, unsigned hostVersion);

// Keys and the texts to store under them, in the order they are written.
using SettingTexts = std::vector<std::pair<const char*, std::string>>;

// Writes `texts` to the INI file at `path` (the configuration dialog's OK), all of them or
// none: false, with the file as it was, when one could not be written.
bool SaveSettings(const std::string& path, const SettingTexts& texts);

// The INI file the settings are read from and saved to. `inUse` (empty at init) while this
// user can write it; else the one beside the DLL where this user can write that; else the one
// in the player's settings folder, which starts as a copy of the one beside the DLL (see
// location.cpp). `hostVersion` says which of the player's requests for that folder it has.
std::string FindIniPath(unsigned hostVersion, const std::string& inUse);

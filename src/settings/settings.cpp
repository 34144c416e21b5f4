// Settings and IniPath, and their storage through the system's profile-string functions. The
// file is never parsed here: the system reads and writes it key by key, so comments, other
// sections and other programs' keys survive.
#include "settings/settings.h"

#include <windows.h>

#include "plugin/plugin.h"

SettingsRecord Settings;
std::string IniPath;

void LoadSettings(std::string path) {
  KeyReader read = [&path](const char* key, const char* fallback) {
    char value[kIniValueChars] = {};
    DWORD length = GetPrivateProfileStringA(kIniSection, key, fallback, value, sizeof value,
                                            path.c_str());
    return std::string(value, length < sizeof value ? length : sizeof value - 1);
  };
  Settings = ParseSettings(read, HostVersion);
}

void WriteSetting(const char* key, const std::string& value) {
  WritePrivateProfileStringA(kIniSection, key, value.c_str(), IniPath.c_str());
}

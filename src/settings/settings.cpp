// Loading and writing the settings through the system's profile-string functions. The file is
// never parsed here: the system reads and writes it key by key, so comments, other sections and
// other programs' keys survive. Nothing is kept between calls.
#include "settings/settings.h"

#include <windows.h>

SettingsRecord LoadSettings(const std::string& path, unsigned hostVersion) {
  KeyReader read = [&path](const char* key, const char* fallback) {
    char value[kIniValueChars] = {};
    DWORD length = GetPrivateProfileStringA(kIniSection, key, fallback, value, sizeof value,
                                            path.c_str());
    // A cut value comes back as long as the buffer allows; a cut path names another file.
    if (length >= sizeof value - 1) return std::string(fallback);
    return std::string(value, length);
  };
  return ParseSettings(read, hostVersion);
}

bool WriteSetting(const std::string& path, const char* key, const std::string& value) {
  return WritePrivateProfileStringA(kIniSection, key, value.c_str(), path.c_str()) != FALSE;
}

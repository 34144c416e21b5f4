// Loading and saving the settings through the system's profile-string functions. The file is
// never parsed here: the system reads and writes it key by key, so comments, other sections and
// other programs' keys survive. Nothing is kept between calls.
//
// A save goes into a copy of the file made beside it, which then takes the file's place in one
// step: a write that fails halfway (a full disk, a file another program holds) leaves the file
// as it was, and a copy that a crash leaves behind is never read. Where the folder takes no new
// file (a user allowed to write the file alone), the keys go into the file itself.
#include "settings/settings.h"

#include <windows.h>

#include "encoding/encoding.h"

namespace {

constexpr char kCopyPrefix[] = "gtc";  // the copy's name: "gtcXXXX.tmp"

bool WriteSetting(const std::string& path, const char* key, const std::string& value) {
  return WritePrivateProfileStringA(kIniSection, key, value.c_str(), path.c_str()) != FALSE;
}

bool WriteAll(const std::string& path, const SettingTexts& texts) {
  for (const auto& [key, value] : texts)
    if (!WriteSetting(path, key, value)) return false;
  return true;
}

// Removes the copy, also where it took the file's read-only attribute.
void Discard(const std::string& copy) {
  SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(copy.c_str());
}

}  // namespace

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

bool SaveSettings(const std::string& path, const SettingTexts& texts) {
  std::string folder = PathFolder(path);
  if (folder.empty()) folder = ".";
  char copy[MAX_PATH] = {};
  if (!GetTempFileNameA(folder.c_str(), kCopyPrefix, 0, copy)) return WriteAll(path, texts);
  // GetTempFileNameA made the copy empty; a file that is not there yet starts as that.
  if (!CopyFileA(path.c_str(), copy, FALSE) && GetLastError() != ERROR_FILE_NOT_FOUND) {
    Discard(copy);
    return false;
  }
  // Systems that keep profile files in memory write them out on this call (all null).
  bool written = WriteAll(copy, texts);
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, copy);
  if (written && MoveFileExA(copy, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  Discard(copy);
  return false;
}

// Which INI file holds the settings: the one beside the DLL while this user can write it, else
// the one in the player's settings folder, which starts as a copy of the one beside the DLL.
// Nothing is kept between calls.
//
// Whether a file can be written is found out by asking the system to open it for writing, as
// the profile functions will: they rewrite the file in place, so write access to an existing
// file is what they need, and a missing file needs the right to make one in its folder. An
// existing file is opened for writing and closed again, untouched. A missing one is made with
// CREATE_NEW and FILE_FLAG_DELETE_ON_CLOSE under its own name, so the system removes it when
// the handle closes, even if the process dies first. A probe key written and deleted again
// would rewrite the user's file twice and leave a file with an empty section where there was
// none; comparing the folder's access rights with the user's token would miss the read-only
// attribute, network shares and virtualised folders. The probe costs one or two opens, at
// init and when the configuration dialog opens.
#include "settings/settings.h"

#include <windows.h>

#include "base/handle.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Whether `path` opens so; the handle is closed at once and the error left for the caller.
bool Opens(const std::string& path, DWORD access, DWORD disposition, DWORD flags) {
  ScopedHandle file(
      CreateFileA(path.c_str(), access, kShareAll, nullptr, disposition, flags, nullptr));
  return file.ok();
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool HasFolder(const std::string& path) { return path.find_first_of("\\/:") != std::string::npos; }

// The profile functions look for a bare file name in the Windows directory, not in the current
// one; the probe and the copy must see the file they will.
std::string AsProfileFunctionsFindIt(const std::string& path) {
  if (HasFolder(path)) return path;
  char windows[MAX_PATH] = {};
  UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  if (length == 0 || length >= sizeof windows) return path;
  return std::string(windows, length) + "\\" + path;
}

// The first use of `to`: the values beside the DLL are where it starts. Made only where no file
// is, and writable even when the original carries the read-only attribute (a copy keeps it).
void Seed(const std::string& from, const std::string& to) {
  if (!CopyFileA(from.c_str(), to.c_str(), TRUE)) return;
  DWORD attributes = GetFileAttributesA(to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(to.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

}  // namespace

bool CanWriteSettings(const std::string& path) {
  std::string file = AsProfileFunctionsFindIt(path);
  if (Opens(file, GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL)) return true;
  if (GetLastError() == ERROR_FILE_NOT_FOUND &&
      Opens(file, GENERIC_WRITE | DELETE, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE))
    return true;
  // Another program holding the file without sharing it says nothing about this user's rights,
  // and it lets go again.
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

std::string StandInSettings(const std::string& folder, const std::string& besidePath) {
  if (folder.empty()) return besidePath;
  std::string path = folder;
  if (path.back() != '\\' && path.back() != '/') path += '\\';
  path += kIniFileName;
  if (!Exists(path)) Seed(AsProfileFunctionsFindIt(besidePath), path);
  // An existing file is kept even when it cannot be written: it holds the user's values, and a
  // save names it when it fails.
  if (Exists(path) || CanWriteSettings(path)) return path;
  return besidePath;
}

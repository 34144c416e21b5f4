// Which INI file holds the settings: the one beside the DLL while this user can write it, else
// the one in the player's settings folder (the player names it when asked), which starts as a
// copy of the one beside the DLL. Nothing is kept between calls.
//
// The choice is made at init. Config checks it again before the dialog opens, but moves only
// away from a file that can no longer be written (made read-only while the player ran): the
// new file then starts as a copy of that one, which the running settings came from. Moving
// back to a file beside the DLL that has become writable would bring back values older than
// the ones in use.
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
//
// A player without a manifest runs, on Vista and later, with file virtualisation: its writes
// to a protected folder (the programs folders, the Windows folder, the machine's application
// data) succeed but land in this user's VirtualStore, where an elevated player or another user
// never finds them. The probe cannot tell, so under virtualisation a file in such a folder
// counts as unwritable.
#include "settings/settings.h"

#include <windows.h>
#include <shlobj.h>

#include "base/handle.h"
#include "encoding/encoding.h"
#include "host/host.h"

namespace {

constexpr DWORD kModulePathChars = 512;
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

// Whether the system redirects this process's writes to protected folders (the token says so;
// systems before Vista have no such answer).
bool Virtualized() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  ScopedHandle owner(token);
  DWORD on = 0;
  DWORD size = 0;
  return GetTokenInformation(token, TokenVirtualizationEnabled, &on, sizeof on, &size) && on;
}

// The folders whose writes virtualisation redirects.
const int kVirtualizedFolders[] = {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_WINDOWS,
                                   CSIDL_COMMON_APPDATA};

// Whether the file at `path` (a full path) lies in one of kVirtualizedFolders, however either is
// spelt: its folder is compared in its long form, so a short name of the same folder matches.
bool InVirtualizedFolder(const std::string& path) {
  std::string narrow = PathFolder(path);
  if (narrow.empty()) return false;
  narrow.pop_back();  // the separator, one byte
  wchar_t folder[kModulePathChars] = {};
  int chars = MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, folder, kModulePathChars);
  if (chars == 0) return false;
  wchar_t longForm[kModulePathChars] = {};
  DWORD length = GetLongPathNameW(folder, longForm, kModulePathChars);
  std::wstring inside = length > 0 && length < kModulePathChars ? longForm : folder;
  inside += L'\\';
  for (int id : kVirtualizedFolders) {
    wchar_t known[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, known) != S_OK || !*known)
      continue;
    std::wstring prefix = known;
    if (prefix.back() != L'\\') prefix += L'\\';
    if (inside.size() >= prefix.size() &&
        CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, inside.c_str(),
                       static_cast<int>(prefix.size()), prefix.c_str(),
                       static_cast<int>(prefix.size())) == CSTR_EQUAL)
      return true;
  }
  return false;
}

// Whether this user can write the INI file at `path`; changes nothing and leaves nothing.
bool CanWriteSettings(const std::string& path) {
  std::string file = AsProfileFunctionsFindIt(path);
  if (Virtualized() && InVirtualizedFolder(file)) return false;
  if (Opens(file, GENERIC_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL)) return true;
  if (GetLastError() == ERROR_FILE_NOT_FOUND &&
      Opens(file, GENERIC_WRITE | DELETE, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE))
    return true;
  // Another program holding the file without sharing it says nothing about this user's rights,
  // and it lets go again.
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

// The INI file in `folder` (the player's settings folder) that stands in for `besidePath`: on
// first use, when the folder has no such file yet, a copy of `besidePath`. `besidePath` itself
// when `folder` is empty, or has no such file and cannot take one.
std::string StandInSettings(const std::string& folder, const std::string& besidePath) {
  if (folder.empty()) return besidePath;
  std::string path = folder;
  if (PathFolder(path).size() != path.size()) path += '\\';  // a last byte may end a character
  path += kIniFileName;
  if (!Exists(path)) Seed(AsProfileFunctionsFindIt(besidePath), path);
  // An existing file is kept even when it cannot be written: it holds the user's values, and a
  // save names it when it fails.
  if (Exists(path) || CanWriteSettings(path)) return path;
  return besidePath;
}

// `wide` in the ANSI code page, which the profile functions take; empty when a character has
// no spelling there.
std::string Ansi(const wchar_t* wide) {
  // With UTF-8 as the code page every character has one, and the conversion refuses both the
  // flag and the question.
  bool utf8 = GetACP() == CP_UTF8;
  DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  int bytes = WideCharToMultiByte(CP_ACP, flags, wide, -1, nullptr, 0, nullptr,
                                  utf8 ? nullptr : &lossy);
  if (bytes <= 1 || lossy) return {};
  std::string text(static_cast<std::size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_ACP, flags, wide, -1, text.data(), bytes, nullptr, nullptr) != bytes)
    return {};
  text.resize(static_cast<std::size_t>(bytes) - 1);
  return text;
}

// A folder as the profile functions can take it: as it is where the code page spells it, else
// by its short form (a user name in another script), else not at all (empty).
std::string AnsiFolder(const wchar_t* folder) {
  std::string path = Ansi(folder);
  if (!path.empty()) return path;
  wchar_t shortForm[kModulePathChars] = {};
  DWORD length = GetShortPathNameW(folder, shortForm, kModulePathChars);
  if (length == 0 || length >= kModulePathChars) return {};
  return Ansi(shortForm);
}

// The INI file beside the DLL: the DLL's folder, as AnsiFolder spells it, and the file's name.
// The narrow module name is not asked for: the system answers it with question marks, or with
// a best-fit name of another folder, where the code page cannot spell the folder. A bare name
// (in the Windows folder) when the folder cannot be had.
std::string BesideIniPath() {
  wchar_t path[kModulePathChars] = {};
  DWORD length = GetModuleFileNameW(PluginModule(), path, kModulePathChars);
  std::wstring folder(path, length < kModulePathChars ? length : 0);
  std::size_t slash = folder.rfind(L'\\');
  if (slash == std::wstring::npos) return kIniFileName;
  folder.erase(slash);
  std::string dir = AnsiFolder(folder.c_str());
  return dir.empty() ? std::string(kIniFileName) : dir + "\\" + kIniFileName;
}

// The player's settings folder, or empty when it cannot say. The wide answer first, where the
// player may have it: the narrow one of a folder the code page cannot spell is lost already.
// Where it has no answer, the narrow request follows.
std::string PlayerSettingsFolder(unsigned hostVersion) {
  if (hostVersion >= host::kFirstWideIniDirectoryVersion) {
    const wchar_t* wide = host::IniDirectoryWide();
    if (wide && *wide) {
      std::string folder = AnsiFolder(wide);
      if (!folder.empty()) return folder;
    }
  }
  if (hostVersion >= host::kFirstIniDirectoryVersion) {
    const char* narrow = host::IniDirectory();
    if (narrow) return narrow;
  }
  return {};
}

}  // namespace

std::string FindIniPath(unsigned hostVersion, const std::string& inUse) {
  if (!inUse.empty() && CanWriteSettings(inUse)) return inUse;
  std::string beside = AsProfileFunctionsFindIt(BesideIniPath());
  if (CanWriteSettings(beside)) return beside;
  return StandInSettings(PlayerSettingsFolder(hostVersion), beside);
}

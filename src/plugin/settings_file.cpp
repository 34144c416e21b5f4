// Where the settings are kept: the path FindIniPath forms at init. The INI file beside the DLL while this
// user can write it; else the one in the folder the player keeps its own settings in, which
// the player names when asked (settings/location.cpp probes and seeds). Nothing is kept here.
//
// The choice is made at init. Config checks it again before the dialog opens, but moves only
// away from a file that can no longer be written (made read-only while the player ran): the
// new file then starts as a copy of that one, which the running settings came from. Moving
// back to a file beside the DLL that has become writable would bring back values older than
// the ones in use.
#include "plugin/plugin.h"

namespace {

constexpr DWORD kModulePathChars = 512;

// ModuleDir (everything up to and including the last backslash) + the INI file's name.
std::string BesideIniPath() {
  char path[kModulePathChars] = {};
  DWORD length = GetModuleFileNameA(PluginModule(), path, sizeof path);
  std::string dir(path, length < sizeof path ? length : 0);
  std::size_t slash = dir.rfind('\\');
  dir.erase(slash == std::string::npos ? 0 : slash + 1);
  return dir + kIniFileName;
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

// The player's settings folder, or empty when it cannot say. The wide answer first, where the
// player may have it: the narrow one of a folder the code page cannot spell is lost already.
// A player without it answers 0, and the narrow request follows.
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
  std::string beside = BesideIniPath();
  if (CanWriteSettings(beside)) return beside;
  return StandInSettings(PlayerSettingsFolder(hostVersion), beside);
}

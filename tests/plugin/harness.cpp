// The plug-in tests' fixture and helpers.
#include "harness.h"

#include <cstdio>

namespace harness {

namespace {

void WINAPI NoDebugOutput(LPCSTR) {}

// GoogleTest copies every failure to OutputDebugStringA, which raises an exception that the
// system catches again. Where Wine's 32-bit half runs under qemu, unwinding that exception
// kills the process, and with it every result after the first failure: the test program's
// own import is pointed at a no-op instead.
const bool kDebugOutputOff =
    HookImport(GetModuleHandleA(nullptr), "kernel32.dll", "OutputDebugStringA",
               reinterpret_cast<void*>(NoDebugOutput)) != nullptr;

}  // namespace

std::string ExeDir() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir = path;
  return dir.substr(0, dir.rfind('\\') + 1);
}

std::string ReadBytes(const std::string& path) {
  std::string bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  DWORD size = GetFileSize(file, nullptr);
  bytes.resize(size);
  DWORD read = 0;
  if (size) ReadFile(file, bytes.data(), size, &read, nullptr);
  bytes.resize(read);
  CloseHandle(file);
  return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write " << path;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Shown(const std::string& bytes) {
  std::string shown = "\"";
  for (unsigned char c : bytes) {
    if (c == '\n') shown += "\\n";
    else if (c == '\r') shown += "\\r";
    else if (c == '"') shown += "\\\"";
    else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    } else shown += static_cast<char>(c);
  }
  return shown + "\" (" + std::to_string(bytes.size()) + " bytes)";
}

::testing::AssertionResult FileHolds(const std::string& path, const std::string& expected) {
  if (!FileExists(path)) return ::testing::AssertionFailure() << path << " does not exist";
  std::string seen = ReadBytes(path);
  if (seen == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << " holds " << Shown(seen) << ", expected "
                                       << Shown(expected);
}

::testing::AssertionResult FileMissing(const std::string& path) {
  if (!FileExists(path)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << " exists, holding " << Shown(ReadBytes(path));
}

::testing::AssertionResult Eventually(const std::function<bool()>& done, const std::string& what,
                                      DWORD timeoutMs) {
  if (sim::PumpUntil(done, timeoutMs)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "not seen within " << timeoutMs << " ms: " << what;
}

PluginTest::PluginTest() : player(0x5000) {}

void PluginTest::SetUp() {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  char name[MAX_PATH] = {};
  GetTempFileNameA(temp, "tc", 0, name);  // makes a unique file; its name becomes our folder
  DeleteFileA(name);
  ASSERT_TRUE(CreateDirectoryA(name, nullptr)) << "cannot make " << name;
  dir = std::string(name) + "\\";
  std::string dll = ExeDir() + "gen_tunecrier.dll";
  ASSERT_TRUE(CopyFileA(dll.c_str(), DllPath().c_str(), FALSE)) << "cannot copy " << dll;
}

void PluginTest::TearDown() {
  if (started) Stop();
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dir + "*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name != "." && name != "..") {
        SetFileAttributesA((dir + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA((dir + name).c_str());
      }
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  RemoveDirectoryA(dir.c_str());
}

void PluginTest::WriteIni(const Keys& keys) {
  std::string text = "[Tunecrier]\r\n";
  for (const auto& [key, value] : keys) text += key + "=" + value + "\r\n";
  WriteBytes(IniPath(), text);
}

void PluginTest::WriteEnabledIni(const std::string& templateText,
                                 const std::string& notPlayingText, const Keys& more) {
  WriteBytes(Path("template.txt"), templateText);
  WriteBytes(Path("notplaying.txt"), notPlayingText);
  Keys keys = {{"Enabled", "1"},
               {"TemplateFile", Path("template.txt")},
               {"NotPlayingFile", Path("notplaying.txt")},
               {"OutputFile", Path("out.txt")}};
  keys.insert(keys.end(), more.begin(), more.end());
  WriteIni(keys);
}

void PluginTest::Start(const std::function<void(HMODULE)>& beforeInit) {
  bool loaded = player.Load(DllPath(), [&](HMODULE module) {
    InstallRecorders(module);
    if (beforeInit) beforeInit(module);
  });
  ASSERT_TRUE(loaded) << "cannot load " << DllPath();
  started = true;
}

void PluginTest::Stop(bool keepLoaded) {
  player.Unload(keepLoaded);
  started = false;
}

}  // namespace harness

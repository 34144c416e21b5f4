// See files.h. The handle is closed before the call returns.
#include "files.h"

#include <windows.h>

namespace sim {

std::string ReadAll(const std::string& path) {
  std::string bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER size = {};
  DWORD read = 0;
  // One read takes the whole file; a 32-bit process holds less than 2 GB, so longer ones read
  // as empty.
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart <= MAXDWORD / 2) {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    ReadFile(file, bytes.data(), static_cast<DWORD>(size.QuadPart), &read, nullptr);
  }
  bytes.resize(read);
  CloseHandle(file);
  return bytes;
}

}  // namespace sim

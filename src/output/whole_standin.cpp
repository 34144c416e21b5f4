// TEMPORARY stand-in for WriteFileWhole until the whole-file writer is merged; delete then.
#include <windows.h>

#include "base/handle.h"
#include "output/output.h"

bool WriteFileWhole(const std::string& path, const std::string& bytes, bool flush) {
  const std::string temporary = path + ".tunecrier-new";
  bool written = false;
  {
    ScopedHandle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.ok()) return false;
    DWORD done = 0;
    written = bytes.size() <= MAXDWORD &&
              WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done,
                        nullptr) &&
              done == bytes.size() && (!flush || FlushFileBuffers(file.get()));
  }
  if (written &&
      MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileA(temporary.c_str());
  return false;
}

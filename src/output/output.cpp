// Reading the template and "Not Playing" files, and writing the output file.
//
// The output file grows through a read-write mapping and the new bytes are put in place
// through a view of it, so a prepend moves the old content once, inside the view, and nothing
// is read into memory. Handles are owned by the small holders below and closed before each
// call returns.
#include "output/output.h"

#include <windows.h>

namespace {

class File {
 public:
  explicit File(HANDLE h) : h_(h) {}
  ~File() {
    if (ok()) CloseHandle(h_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

class Mapping {
 public:
  explicit Mapping(HANDLE h) : h_(h) {}
  ~Mapping() { Close(); }
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;
  bool ok() const { return h_ != nullptr; }
  HANDLE get() const { return h_; }
  void Close() {
    if (h_) CloseHandle(h_);
    h_ = nullptr;
  }

 private:
  HANDLE h_;
};

class View {
 public:
  explicit View(void* p) : p_(static_cast<char*>(p)) {}
  ~View() { Unmap(); }
  View(const View&) = delete;
  View& operator=(const View&) = delete;
  char* get() const { return p_; }
  void Unmap() {
    if (p_) UnmapViewOfFile(p_);
    p_ = nullptr;
  }

 private:
  char* p_;
};

void SetFileEnd(HANDLE file, DWORD length) {
  SetFilePointer(file, static_cast<LONG>(length), nullptr, FILE_BEGIN);
  SetEndOfFile(file);
}

}  // namespace

std::string ReadTextFile(const std::string& path) {
  std::string text;
  if (path.empty()) return text;
  File file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.ok()) return text;
  DWORD size = GetFileSize(file.get(), nullptr);
  if (size == INVALID_FILE_SIZE) return text;
  try {
    text.resize(size);
  } catch (...) {
    return std::string();  // larger than this process can hold: treated as unreadable
  }
  DWORD read = 0;
  if (!ReadFile(file.get(), text.data(), size, &read, nullptr)) return std::string();
  text.resize(read);
  return text;
}

void WriteOutput(const OutputTarget& target, const std::string& text) {
  if (target.path.empty()) return;
  const std::uint16_t mode = target.mode;
  File file(CreateFileA(target.path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                        nullptr, mode == kOverwrite ? CREATE_ALWAYS : OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.ok()) return;

  DWORD oldLength = GetFileSize(file.get(), nullptr);
  if (oldLength != INVALID_FILE_SIZE && text.size() <= MAXDWORD - oldLength) {
    DWORD newLength = oldLength + static_cast<DWORD>(text.size());
    // Creating the mapping grows the file to its new length; with both lengths 0 it fails,
    // which leaves an empty file empty.
    Mapping mapping(CreateFileMappingA(file.get(), nullptr, PAGE_READWRITE, 0, newLength, nullptr));
    if (mapping.ok()) {
      View view(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
      bool placed = view.get() != nullptr;
      if (placed) PlaceText(view.get(), oldLength, text, mode);
      // The view must be gone and the mapping closed before the end of file can move.
      view.Unmap();
      mapping.Close();
      // Without a view the file has grown by a stretch that holds no text: cut it back.
      SetFileEnd(file.get(), placed ? newLength : oldLength);
    }
  }
  if (target.flush) FlushFileBuffers(file.get());
}

void TruncateOutput(const OutputTarget& target) {
  if (target.path.empty()) return;
  File file(CreateFileA(target.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                        TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

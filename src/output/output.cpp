// Reading the template and "Not Playing" files, and writing the output file.
//
// The output file grows through a read-write mapping, and the new bytes are put in place
// through a view of the stretch they go into: from the allocation-granularity boundary below
// the entry's offset to the new end. An append maps its own few bytes however long the file
// grows; a prepend maps the whole file and moves the old content once, inside the view, and
// nothing is read into memory. Sizes and offsets are 64-bit throughout. A file or a result
// that cannot be handled drops the step and leaves the file's length and bytes as they were.
// Handles and the view are owned by small holders and closed before each call returns. What
// goes in with each text encoding, and where, is decided in encoded.cpp; only a prepend in a
// Unicode encoding reads the file's first bytes first, to keep a mark there in front.
#include "output/output.h"

#include <windows.h>

#include <cstdint>
#include <limits>

#include "base/handle.h"
#include "output/encoded.h"

namespace {

// Longest file the writer makes: lengths and offsets go to the system as signed 64-bit values.
constexpr std::uint64_t kLongestFile = std::numeric_limits<LONGLONG>::max();

class View {
 public:
  explicit View(void* p) : p_(static_cast<char*>(p)) {}
  ~View() {
    if (p_) UnmapViewOfFile(p_);
  }
  View(const View&) = delete;
  View& operator=(const View&) = delete;
  char* get() const { return p_; }

 private:
  char* p_;
};

DWORD High(std::uint64_t value) { return static_cast<DWORD>(value >> 32); }
DWORD Low(std::uint64_t value) { return static_cast<DWORD>(value); }

bool GetFileLength(HANDLE file, std::uint64_t* length) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) return false;
  *length = static_cast<std::uint64_t>(size.QuadPart);
  return true;
}

// The position is checked first: SetEndOfFile after a failed seek would cut the file wherever
// the position happened to be.
bool SetFileEnd(HANDLE file, std::uint64_t length) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(length);
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

std::uint32_t AllocationGranularity() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwAllocationGranularity;
}

// Puts text at offset `at` of the file, oldLength bytes long, moving the bytes from `at` on
// up by the text's length. When the text cannot be put in place, the file keeps its old
// length and bytes.
void InsertIntoFile(HANDLE file, std::uint64_t oldLength, std::uint64_t at,
                    const std::string& text) {
  if (text.empty() || at > oldLength || text.size() > kLongestFile - oldLength) return;
  const std::uint64_t newLength = oldLength + text.size();
  const FileStretch stretch = StretchToMap(oldLength, at, text.size(), AllocationGranularity());
  // More than this process can address at all (a prepend onto a file of 4 GiB): dropped
  // before the file grows.
  if (stretch.length > std::numeric_limits<SIZE_T>::max()) return;
  bool placed = false;
  {
    // Creating the mapping grows the file to its new length.
    ScopedHandle mapping(CreateFileMappingA(file, nullptr, PAGE_READWRITE, High(newLength),
                                            Low(newLength), nullptr));
    if (mapping.ok()) {
      View view(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, High(stretch.offset),
                              Low(stretch.offset), static_cast<SIZE_T>(stretch.length)));
      if (view.get()) {
        PlaceText(view.get(), static_cast<std::size_t>(oldLength - stretch.offset),
                  static_cast<std::size_t>(at - stretch.offset), text);
        placed = true;
      }
    }
  }  // the view is gone and the mapping closed: only now can the end of the file move
  // Without a view (no room in this process for it, say) the file has grown by a stretch
  // that holds no text: cut it back.
  std::uint64_t length = 0;
  if (!placed && GetFileLength(file, &length) && length != oldLength) SetFileEnd(file, oldLength);
}

// The file's first bytes, as many as a mark may have (fewer in a shorter file), read from the
// start where a file just opened stands.
std::string FileHead(HANDLE file) {
  char head[kLongestMark] = {};
  DWORD read = 0;
  if (!ReadFile(file, head, sizeof head, &read, nullptr)) return std::string();
  return std::string(head, read);
}

}  // namespace

std::string ReadTextFile(const std::string& path) {
  std::string text;
  if (path.empty()) return text;
  ScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.ok()) return text;
  std::uint64_t length = 0;
  // One read takes the whole file: a file longer than one read can take is unreadable too.
  if (!GetFileLength(file.get(), &length) || length > MAXDWORD) return text;
  try {
    text.resize(static_cast<std::size_t>(length));
  } catch (...) {
    return std::string();  // larger than this process can hold: treated as unreadable
  }
  DWORD read = 0;
  if (!ReadFile(file.get(), text.data(), static_cast<DWORD>(length), &read, nullptr))
    return std::string();
  text.resize(read);
  return text;
}

void WriteOutput(const OutputTarget& target, const std::string& text) {
  if (target.path.empty()) return;
  const std::uint16_t mode = target.mode;
  ScopedHandle file(CreateFileA(target.path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ, nullptr,
                                mode == kOverwrite ? CREATE_ALWAYS : OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.ok()) return;

  std::uint64_t oldLength = 0;
  if (GetFileLength(file.get(), &oldLength)) {
    // Only a prepend in a Unicode encoding has a mark to keep in front, so only it reads.
    const bool readsHead = IsUnicode(target.encoding) && mode == kPrepend && oldLength > 0;
    const std::string head = readsHead ? FileHead(file.get()) : std::string();
    const EncodedWrite write = PlanWrite(text, target.encoding, mode, oldLength, head);
    InsertIntoFile(file.get(), oldLength, write.at, write.bytes);
  }
  if (target.flush) FlushFileBuffers(file.get());
}

void TruncateOutput(const OutputTarget& target) {
  if (target.path.empty()) return;
  ScopedHandle file(CreateFileA(target.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Reading the template and "Not Playing" files, and writing the output file.
//
// An overwrite is written whole: the new bytes go into a temporary file of ours in the same
// folder, which is then moved over the output file in one step, so that a reader opening the
// file at any moment finds the old text or the new one, never an empty or partial one. A
// reader holding the file open without delete sharing makes the move fail: it is retried for a
// few milliseconds (the update runs on the player's window thread), then the bytes are written
// over the file in place, which is never cut shorter than the new text before all of it is in.
// The temporary file is removed on every path. Append and prepend grow the file through a
// read-write mapping, and the new bytes are put in place
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

#include <mbstring.h>

#include <algorithm>
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

// A move over a file that a reader holds open is tried again for this long in all: readers
// open, read and close, and the move gets through between two reads.
constexpr DWORD kMoveRetryMs = 40;
// The attributes a file written whole keeps from the file it replaces.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// How many names a temporary file tries before giving up (another process's may be there).
constexpr int kTemporaryNameTries = 16;
// The bytes a copy moves per read and write.
constexpr DWORD kCopyChunk = 64 * 1024;

// Writes all `size` bytes at the file's position.
bool WriteAll(HANDLE file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, kCopyChunk));
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

// The folder of `path` with its separator, or empty for a bare name. The path is in the code
// page: a separator byte may be the second half of a double-byte character there.
std::string FolderOf(const std::string& path) {
  const auto* text = reinterpret_cast<const unsigned char*>(path.c_str());
  const unsigned char* back = _mbsrchr(text, '\\');
  const unsigned char* slash = _mbsrchr(text, '/');
  if (!back || (slash && slash > back)) back = slash;
  return back ? path.substr(0, back - text + 1) : std::string();
}

std::string Hex(DWORD value) {
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) text[i] = "0123456789abcdef"[value & 15];
  return text;
}

// A new file of ours in the folder of the file it is to replace, open for writing; it is
// deleted when its owner ends unless it has been moved over that file.
class TemporaryFile {
 public:
  TemporaryFile(const std::string& folder, DWORD attributes) {
    static DWORD serial = 0;  // names already taken by this process are not tried again
    for (int attempt = 0; attempt < kTemporaryNameTries && !ok(); ++attempt) {
      name_ = folder + "~tunecrier-" + Hex(GetCurrentProcessId()) + "-" + Hex(++serial) + ".tmp";
      // CREATE_NEW: never a file that is there already, the user's or another writer's.
      file_ = CreateFileA(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          attributes, nullptr);
      if (!ok() && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (!ok()) name_.clear();
  }
  ~TemporaryFile() {
    Close();
    if (!name_.empty()) DeleteFileA(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool ok() const { return file_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return file_; }
  const std::string& name() const { return name_; }
  void Close() {
    if (ok()) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
  }

  // Moves the closed file over `path` in one step, trying again for a few milliseconds while
  // a reader holds `path` open without delete sharing.
  bool MoveOver(const std::string& path, bool flush) {
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (flush ? MOVEFILE_WRITE_THROUGH : 0);
    const DWORD start = GetTickCount();
    while (!MoveFileExA(name_.c_str(), path.c_str(), flags)) {
      if (GetTickCount() - start >= kMoveRetryMs) return false;
      Sleep(1);  // the reader's turn to close the file
    }
    name_.clear();  // it is the file at `path` now
    return true;
  }

 private:
  std::string name_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

// Writes `bytes` over the file at `path`, which is cut to their length only once all of them
// are in: it never holds less than the old or the new text. A reader may see the two mixed
// while this runs.
bool WriteInPlace(const std::string& path, const std::string& bytes, bool flush) {
  ScopedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.ok() && WriteAll(file.get(), bytes.data(), bytes.size()) &&
         SetFileEnd(file.get(), bytes.size()) && (!flush || FlushFileBuffers(file.get()));
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

bool WriteFileWhole(const std::string& path, const std::string& bytes, bool flush) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (exists && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) return false;
  // A hidden or system file stays one; a file made with other attributes than the old one's
  // would be refused over it anyway.
  const DWORD kept = exists ? attributes & kKeptAttributes : 0;
  TemporaryFile temporary(FolderOf(path), kept ? kept : FILE_ATTRIBUTE_NORMAL);
  // A folder where no file of ours can be made (the user may write the file, not the folder):
  // the in-place write.
  if (!temporary.ok()) return WriteInPlace(path, bytes, flush);
  // Out of disk space, say: the old file stays as it is.
  if (!WriteAll(temporary.get(), bytes.data(), bytes.size())) return false;
  if (flush && !FlushFileBuffers(temporary.get())) return false;
  temporary.Close();
  // Held by a reader all this while: the in-place write.
  return temporary.MoveOver(path, flush) || WriteInPlace(path, bytes, flush);
}

void WriteOutput(const OutputTarget& target, const std::string& text) {
  if (target.path.empty()) return;
  const std::uint16_t mode = target.mode;
  if (mode == kOverwrite) {
    WriteFileWhole(target.path, PlanWrite(text, target.encoding, mode, 0, {}).bytes, target.flush);
    return;
  }
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

// Reading the template and "Not Playing" files, writing the output file, and replacing a file
// whole (WriteFileWhole, which the cover file goes through too).
//
// Nothing is read or written through a mapped view: an I/O error inside a view (a network
// share gone, a stick pulled out) is an exception no handler of ours catches. Overwrite and
// prepend replace the file whole: the new content goes into a temporary file of ours in the
// same folder, which is then moved over the output file in one step, so that a reader opening
// the file at any moment finds the old content or the new one, never an empty or partial one,
// and a failure before the move leaves the old file as it was. A prepend copies the old
// content behind the new text, so it costs a copy of the file per announcement and is limited
// by the disk alone. A reader holding the file open without delete sharing makes the move
// fail: it is retried for a few tens of milliseconds (the update runs on the player's window
// thread), then the new content is written over the file in place, which is never cut shorter
// before all of it is in. The temporary file is removed on every path. An append is one write
// at the old end; a write that fails is cut back to the old length. Sizes and offsets are
// 64-bit throughout. Handles are owned by small holders and closed before each call returns.
// What goes in with each text encoding, and where, is decided in encoded.cpp; only a prepend
// in a Unicode encoding reads the file's first bytes, to keep a mark there in front.
#include "output/output.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <limits>

#include "base/handle.h"
#include "encoding/encoding.h"
#include "output/encoded.h"

namespace {

// Longest file the writer makes: lengths and offsets go to the system as signed 64-bit values.
constexpr std::uint64_t kLongestFile = std::numeric_limits<LONGLONG>::max();
// A move over a file that a reader holds open is tried again for this long in all, and at least
// this often (each try may wait its turn on a busy machine): readers open, read and close, and
// the move gets through between two reads.
constexpr DWORD kMoveRetryMs = 40;
constexpr int kMoveTries = 10;
// The attributes a file written whole keeps from the file it replaces.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// How many names a temporary file tries before giving up (another process's may be there).
constexpr int kTemporaryNameTries = 16;
// The bytes a copy moves per read and write.
constexpr DWORD kCopyChunk = 64 * 1024;
// Every other program may read, write, rename or delete a file while we read it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool GetFileLength(HANDLE file, std::uint64_t* length) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) return false;
  *length = static_cast<std::uint64_t>(size.QuadPart);
  return true;
}

bool SetFilePosition(HANDLE file, std::uint64_t offset) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
}

// The position is checked first: SetEndOfFile after a failed seek would cut the file wherever
// the position happened to be.
bool SetFileEnd(HANDLE file, std::uint64_t length) {
  return SetFilePosition(file, length) && SetEndOfFile(file);
}

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

// Copies `from`'s bytes from `offset` to its end to `to`'s position.
bool CopyRest(HANDLE from, std::uint64_t offset, HANDLE to) {
  if (!SetFilePosition(from, offset)) return false;
  char chunk[kCopyChunk];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(from, chunk, sizeof chunk, &read, nullptr)) return false;
    if (read == 0) return true;
    if (!WriteAll(to, chunk, read)) return false;
  }
}

std::string Hex(DWORD value) {
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) text[i] = "0123456789abcdef"[value & 15];
  return text;
}

// The attributes a file made to replace the one at `path` is given: a hidden or system file
// stays one (a file made with other attributes would be refused over it anyway). False when
// that file must not be replaced: a read-only file, a folder.
bool AttributesToKeep(const std::string& path, DWORD* attributes) {
  const DWORD old = GetFileAttributesA(path.c_str());
  if (old == INVALID_FILE_ATTRIBUTES) {
    *attributes = FILE_ATTRIBUTE_NORMAL;
    return true;
  }
  if (old & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return false;
  *attributes = (old & kKeptAttributes) ? old & kKeptAttributes : FILE_ATTRIBUTE_NORMAL;
  return true;
}

// The last number a temporary file's name took: names this process has had are not tried again.
DWORD TemporaryFileSerial = 0;

// A new file of ours in the folder of the file it is to replace, open for writing; it is
// deleted when its owner ends unless it has been moved over that file.
class TemporaryFile {
 public:
  TemporaryFile(const std::string& folder, DWORD attributes) {
    for (int attempt = 0; attempt < kTemporaryNameTries && !ok(); ++attempt) {
      name_ = folder + "~tunecrier-" + Hex(GetCurrentProcessId()) + "-" +
              Hex(++TemporaryFileSerial) + ".tmp";
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

  // Moves the filled file over `path` in one step, trying again for a few milliseconds while
  // a reader holds `path` open without delete sharing. Failing that, copies its content over
  // `path` in place.
  bool MoveOver(const std::string& path, bool flush) {
    if (flush && !FlushFileBuffers(file_)) return false;
    Close();
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (flush ? MOVEFILE_WRITE_THROUGH : 0);
    const DWORD start = GetTickCount();
    for (int tries = 1;; ++tries) {
      if (MoveFileExA(name_.c_str(), path.c_str(), flags)) {
        name_.clear();  // it is the file at `path` now
        return true;
      }
      // Only a file in use is worth waiting for (a path too long, say, stays refused).
      const DWORD error = GetLastError();
      if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) ||
          (tries >= kMoveTries && GetTickCount() - start >= kMoveRetryMs))
        break;
      Sleep(1);  // the reader's turn to close the file
    }
    ScopedHandle from(CreateFileA(name_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ScopedHandle to(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::uint64_t length = 0;
    // Cut to the new length only once all of it is in: the file never holds less than the old
    // or the new content, though a reader may see the two mixed while this runs.
    return from.ok() && to.ok() && GetFileLength(from.get(), &length) &&
           CopyRest(from.get(), 0, to.get()) && SetFileEnd(to.get(), length) &&
           (!flush || FlushFileBuffers(to.get()));
  }

 private:
  void Close() {
    if (ok()) CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
  }

  std::string name_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

// Writes `bytes` over the file at `path` in place, cut to their length only once all of them
// are in: for a folder where no file of ours can be made (the user may write the file there,
// not make one).
bool WriteInPlace(const std::string& path, const std::string& bytes, bool flush) {
  ScopedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.ok() && WriteAll(file.get(), bytes.data(), bytes.size()) &&
         SetFileEnd(file.get(), bytes.size()) && (!flush || FlushFileBuffers(file.get()));
}

// The file's first bytes, as many as a mark may have (fewer in a shorter file).
bool ReadHead(HANDLE file, std::string* head) {
  char bytes[kLongestMark] = {};
  DWORD read = 0;
  if (!ReadFile(file, bytes, sizeof bytes, &read, nullptr)) return false;
  head->assign(bytes, read);
  return true;
}

// The new text, then the old content (behind a mark it starts with), through a temporary file:
// a failure anywhere leaves the old file as it was.
bool Prepend(const OutputTarget& target, const std::string& text) {
  DWORD attributes = 0;
  if (!AttributesToKeep(target.path, &attributes)) return false;
  TemporaryFile temporary(PathFolder(target.path), attributes);
  if (!temporary.ok()) return false;  // the old content has nowhere to go
  {
    ScopedHandle old(CreateFileA(target.path.c_str(), GENERIC_READ, kShareAll, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!old.ok() && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    std::uint64_t oldLength = 0;
    if (old.ok() && !GetFileLength(old.get(), &oldLength)) return false;
    // Only a Unicode encoding has a mark to keep in front. A head that cannot be read would
    // put the text before a mark: the entry is dropped instead.
    std::string head;
    if (IsUnicode(target.encoding) && oldLength > 0 && !ReadHead(old.get(), &head)) return false;
    const EncodedWrite write = PlanWrite(text, target.encoding, kPrepend, oldLength, head);
    if (!WriteAll(temporary.get(), head.data(), static_cast<std::size_t>(write.at)) ||
        !WriteAll(temporary.get(), write.bytes.data(), write.bytes.size()) ||
        (old.ok() && !CopyRest(old.get(), write.at, temporary.get())))
      return false;
  }  // closed: a file we hold open cannot be moved over
  return temporary.MoveOver(target.path, target.flush);
}

// One write at the old end; a write that fails is cut back off.
bool Append(const OutputTarget& target, const std::string& text) {
  ScopedHandle file(CreateFileA(target.path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
  std::uint64_t oldLength = 0;
  if (!file.ok() || !GetFileLength(file.get(), &oldLength)) return false;
  const EncodedWrite write = PlanWrite(text, target.encoding, target.mode, oldLength, {});
  if (write.bytes.size() > kLongestFile - oldLength) return false;
  if (SetFilePosition(file.get(), write.at) &&
      WriteAll(file.get(), write.bytes.data(), write.bytes.size()) &&
      (!target.flush || FlushFileBuffers(file.get())))
    return true;
  SetFileEnd(file.get(), oldLength);
  return false;
}

}  // namespace

bool ReadTextFile(const std::string& path, std::string* text) {
  if (path.empty()) {
    text->clear();
    return true;
  }
  ScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.ok()) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return false;
    text->clear();  // no such file: no text, as with no path
    return true;
  }
  std::uint64_t length = 0;
  // One read takes the whole file: a file longer than one read can take is unreadable too.
  if (!GetFileLength(file.get(), &length) || length > MAXDWORD) return false;
  std::string read;
  try {
    read.resize(static_cast<std::size_t>(length));
  } catch (...) {
    return false;  // larger than this process can hold: treated as unreadable
  }
  DWORD done = 0;
  if (!ReadFile(file.get(), read.data(), static_cast<DWORD>(length), &done, nullptr)) return false;
  read.resize(done);
  text->swap(read);
  return true;
}

bool WriteFileWhole(const std::string& path, const std::string& bytes, bool flush) {
  DWORD attributes = 0;
  if (!AttributesToKeep(path, &attributes)) return false;
  TemporaryFile temporary(PathFolder(path), attributes);
  if (!temporary.ok()) return WriteInPlace(path, bytes, flush);
  // Out of disk space, say: the old file stays as it is.
  return WriteAll(temporary.get(), bytes.data(), bytes.size()) &&
         temporary.MoveOver(path, flush);
}

bool WriteOutput(const OutputTarget& target, const std::string& text) {
  if (target.path.empty()) return false;
  switch (target.mode) {
    case kOverwrite:
      return WriteFileWhole(target.path, PlanWrite(text, target.encoding, kOverwrite, 0, {}).bytes,
                            target.flush);
    case kPrepend:
      return Prepend(target, text);
    default:
      return Append(target, text);
  }
}

void TruncateOutput(const OutputTarget& target) {
  if (target.path.empty()) return;
  // Opened as it is and cut, rather than truncated on opening: that is refused on a hidden or
  // system file unless its attributes are named.
  ScopedHandle file(CreateFileA(target.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.ok()) SetFileEnd(file.get(), 0);
}

// ScopedHandle: the owner of a kernel handle (a file, a file mapping, a thread) that is closed
// in the scope that opened it, however that scope ends. Depends on <windows.h> alone; any
// folder may include it.
#pragma once

#include <windows.h>

class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() {
    if (ok()) CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  // Functions that open a file answer INVALID_HANDLE_VALUE on failure, most others null.
  bool ok() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

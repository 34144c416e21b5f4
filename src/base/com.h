// ComApartment and ComRef: this thread in a COM apartment, and one reference on a COM object,
// each for the scope that made it, however that scope ends. Depends on the system's COM header
// alone; any folder may include it.
#pragma once

#include <windows.h>
#include <objbase.h>

class ComApartment {
 public:
  // COINIT_APARTMENTTHREADED or COINIT_MULTITHREADED.
  explicit ComApartment(DWORD model) : joined_(SUCCEEDED(CoInitializeEx(nullptr, model))) {}
  // A failed initialisation must not be balanced by an uninitialisation.
  ~ComApartment() {
    if (joined_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool joined() const { return joined_; }

 private:
  bool joined_;
};

template <class T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (p_) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* get() const { return p_; }
  // Where a creating call puts the reference; the owner holds none yet.
  T** put() { return &p_; }
  void** putVoid() { return reinterpret_cast<void**>(&p_); }
  T* operator->() const { return p_; }

 private:
  T* p_ = nullptr;
};

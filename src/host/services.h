// The player's service objects (5.5 and later), as the plug-in calls them: the service manager
// that host::ApiService answers, the factories it hands out, and the two services the cover
// needs, the album-art service and the memory manager that frees what that one returns.
//
// Every one of them is "dispatchable": its first field points at a table whose one entry is
// `int dispatch(int msg, void* result, void** params, int count)`, a member function of the
// player's compiler (this in ECX, the callee pops). The calls are the typed functions below.
// Each argument travels as a pointer to a copy of it, in order; `result` points at the caller's
// default, which stays when the object does not know `msg` (dispatch answers 0 then). The
// objects are the player's: an interface is given back through the factory it came from, never
// deleted. Everything is called on the player's window thread.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>

#include "host/host.h"

namespace host {

// The one entry of the object's table. A class of ours with this one virtual member and no
// destructor has the same table, and MinGW's g++ calls members as the player's compiler does.
// Outside an anonymous namespace on purpose: there GCC would know every subclass of it (none)
// and turn the call into a call to nowhere.
struct Dispatchable {
  virtual int Dispatch(int msg, void* result, void** params, int count) = 0;
};

// The services' ids.
constexpr GUID kAlbumArtService = {
    0xAC4C4468, 0xF91F, 0x41F3, {0xA5, 0xFA, 0xE2, 0xB8, 0x1D, 0xC6, 0xEB, 0x3A}};
constexpr GUID kMemoryManager = {
    0x000CF46E, 0x4DF6, 0x4A43, {0xBB, 0xE7, 0x40, 0xE7, 0xA3, 0xEA, 0x02, 0xED}};

// Dispatch messages.
constexpr int kServiceByGuid = 50;       // service manager: (GUID) -> factory
constexpr int kGetInterface = 300;       // factory: (int globalLock) -> interface
constexpr int kReleaseInterface = 310;   // factory: (void* interface) -> int
constexpr int kGetAlbumArt = 10;         // album art: decoded pixels, see AlbumArtPixels
constexpr int kGetAlbumArtData = 12;     // album art: the image as stored, see AlbumArtData
constexpr int kSysFree = 10;             // memory manager: (void*)

// GetAlbumArt(Data) answers.
constexpr int kAlbumArtSuccess = 0;
constexpr int kAlbumArtFailure = 1;

// The cover's type of art.
constexpr wchar_t kCoverArtType[] = L"cover";

// Whether `object` looks like one: its table readable and its entry in code. A fork, or a
// plug-in answering first, may answer the manager's request with any readable address; a call
// through what is no table would jump anywhere.
inline bool IsDispatchable(const Dispatchable* object) {
  const void* const* table = nullptr;
  if (!IsReadable(object, sizeof table)) return false;
  std::memcpy(&table, object, sizeof table);
  return IsReadable(table, sizeof *table) && AccessibleEnd(*table, kRunnable) != nullptr;
}

// Calls `msg` with the arguments' addresses; `result` keeps its value when the object does
// not know the message, or is none.
template <class R, class... Args>
R Dispatch(Dispatchable* object, int msg, R result, Args... args) {
  void* params[sizeof...(Args) + 1] = {static_cast<void*>(&args)...};
  if (object && IsDispatchable(object))
    object->Dispatch(msg, &result, params, static_cast<int>(sizeof...(Args)));
  return result;
}

inline Dispatchable* ServiceFactory(Dispatchable* manager, GUID service) {
  return Dispatch<Dispatchable*>(manager, kServiceByGuid, nullptr, service);
}
inline Dispatchable* GetInterface(Dispatchable* factory) {
  return Dispatch<Dispatchable*>(factory, kGetInterface, nullptr, 1);
}
inline void ReleaseInterface(Dispatchable* factory, Dispatchable* service) {
  Dispatch<int>(factory, kReleaseInterface, 0, static_cast<void*>(service));
}

// The art of `file` as the player stores it (JPEG, PNG...): kAlbumArtSuccess with a buffer of
// the memory manager's in *bits (and the MIME type in *mimeType, also the memory manager's);
// on failure the outputs mean nothing.
inline int AlbumArtData(Dispatchable* albumArt, const wchar_t* file, void** bits,
                        std::size_t* length, wchar_t** mimeType) {
  return Dispatch<int>(albumArt, kGetAlbumArtData, kAlbumArtFailure, file, kCoverArtType, bits,
                       length, mimeType);
}

// The art of `file` decoded: width × height pixels 0xAARRGGBB, rows from the top, in a buffer
// of the memory manager's.
inline int AlbumArtPixels(Dispatchable* albumArt, const wchar_t* file, int* width, int* height,
                          DWORD** pixels) {
  return Dispatch<int>(albumArt, kGetAlbumArt, kAlbumArtFailure, file, kCoverArtType, width,
                       height, pixels);
}

inline void SysFree(Dispatchable* memory, void* buffer) {
  Dispatch<int>(memory, kSysFree, 0, buffer);
}

}  // namespace host

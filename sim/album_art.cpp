// See album_art.h.
#include "album_art.h"

#include <cstring>

#include "player.h"

namespace sim {

class AlbumArtServices::Object final : public Dispatchable {
 public:
  Object(AlbumArtServices* owner, Role role) : owner_(owner), role_(role) {}
  int _dispatch(int msg, void* retval, void** params, int nparam) override {
    return owner_->Dispatch(role_, retval, msg, params, nparam);
  }

 private:
  AlbumArtServices* owner_;
  Role role_;
};

namespace {

// A junk address a failed call leaves in its outputs: never handed out, never to be freed.
void* const kJunk = reinterpret_cast<void*>(0x0BADF00D);
constexpr std::size_t kHugeLength = 0x7FFFFFF0;
const wchar_t kMimeType[] = L"image/jpeg";

template <class T>
T& Arg(void** params, int i) {
  return *static_cast<T*>(params[i]);
}

}  // namespace

AlbumArtServices::AlbumArtServices() : heap_(HeapCreate(0, 0, 0)) {
  for (Role role : {Role::Manager, Role::ArtFactory, Role::MemFactory, Role::AlbumArt, Role::MemMgr})
    objects_.push_back(new Object(this, role));
}

AlbumArtServices::~AlbumArtServices() {
  for (Object* object : objects_) delete object;
  HeapDestroy(heap_);
}

void* AlbumArtServices::manager() { return objects_[static_cast<int>(Role::Manager)]; }

void* AlbumArtServices::Allocate(std::size_t bytes) {
  void* buffer = HeapAlloc(heap_, 0, bytes ? bytes : 1);
  if (buffer) {
    liveBuffers.insert(buffer);
    ++allocations;
  }
  return buffer;
}

int AlbumArtServices::Dispatch(Role role, void* retval, int msg, void** params, int nparam) {
  if (fault == ServiceFault::UnknownMessages) return 0;
  switch (role) {
    case Role::Manager:
      if (msg != API_SERVICE_SERVICE_GETSERVICEBYGUID || nparam != 1) return 0;
      {
        const GUID& id = Arg<GUID>(params, 0);
        Object* factory = nullptr;
        if (fault != ServiceFault::NoFactory) {
          if (IsEqualGUID(id, kAlbumArtGuid)) factory = objects_[static_cast<int>(Role::ArtFactory)];
          if (IsEqualGUID(id, kMemMgrGuid)) factory = objects_[static_cast<int>(Role::MemFactory)];
        }
        *static_cast<void**>(retval) = factory;
      }
      return 1;
    case Role::ArtFactory:
    case Role::MemFactory: {
      Object* service = objects_[static_cast<int>(role == Role::ArtFactory ? Role::AlbumArt
                                                                             : Role::MemMgr)];
      if (msg == WASERVICEFACTORY_GETINTERFACE && nparam == 1) {
        void* answer = fault == ServiceFault::NoInterface ? nullptr : service;
        if (answer) {
          ++interfacesOut;
          liveInterfaces.insert(answer);
        }
        *static_cast<void**>(retval) = answer;
        return 1;
      }
      if (msg == WASERVICEFACTORY_RELEASEINTERFACE && nparam == 1) {
        void* given = Arg<void*>(params, 0);
        auto it = liveInterfaces.find(given);
        if (given == service && it != liveInterfaces.end()) {
          liveInterfaces.erase(it);
          ++interfacesBack;
        } else {
          ++badReleases;
        }
        *static_cast<int*>(retval) = 1;
        return 1;
      }
      return 0;
    }
    case Role::AlbumArt:
      if ((msg != API_ALBUMART_GETALBUMARTDATA && msg != API_ALBUMART_GETALBUMART) || nparam != 5)
        return 0;
      *static_cast<int*>(retval) = ArtCall(msg, params);
      return 1;
    case Role::MemMgr:
      if (msg != API_MEMMGR_SYSFREE || nparam != 1) return 0;
      {
        void* buffer = Arg<void*>(params, 0);
        if (liveBuffers.erase(buffer)) {
          HeapFree(heap_, 0, buffer);
          ++frees;
        } else if (buffer) {
          ++badFrees;
        }
      }
      return 1;
  }
  return 0;
}

int AlbumArtServices::ArtCall(int msg, void** params) {
  ++artCalls;
  if (duringCall) duringCall();
  const wchar_t* file = Arg<const wchar_t*>(params, 0);
  const wchar_t* type = Arg<const wchar_t*>(params, 1);
  const std::string name = file ? Utf8(file) : std::string();
  const bool cover = type && std::wcscmp(type, L"cover") == 0;
  if (msg == API_ALBUMART_GETALBUMARTDATA) {
    void** bits = Arg<void**>(params, 2);
    std::size_t* length = Arg<std::size_t*>(params, 3);
    wchar_t** mimeType = Arg<wchar_t**>(params, 4);
    auto art = stored.find(name);
    const bool has = cover && art != stored.end();
    if (fault == ServiceFault::Fails || !has) {
      *bits = kJunk;
      *length = 5;
      if (mimeType) *mimeType = static_cast<wchar_t*>(kJunk);
      return ALBUMART_FAILURE;
    }
    std::size_t size = fault == ServiceFault::EmptyData ? 0 : art->second.size();
    *bits = Allocate(size);
    if (*bits) std::memcpy(*bits, art->second.data(), size);
    *length = fault == ServiceFault::HugeLength ? kHugeLength : size;
    if (mimeType) {
      *mimeType = static_cast<wchar_t*>(Allocate(sizeof kMimeType));
      if (*mimeType) std::memcpy(*mimeType, kMimeType, sizeof kMimeType);
    }
    return ALBUMART_SUCCESS;
  }
  int* width = Arg<int*>(params, 2);
  int* height = Arg<int*>(params, 3);
  std::uint32_t** pixels = Arg<std::uint32_t**>(params, 4);
  auto art = decoded.find(name);
  if (fault == ServiceFault::Fails || !cover || art == decoded.end()) {
    *width = *height = 7;
    *pixels = static_cast<std::uint32_t*>(kJunk);
    return ALBUMART_FAILURE;
  }
  const std::size_t bytes = art->second.pixels.size() * sizeof(std::uint32_t);
  *pixels = static_cast<std::uint32_t*>(Allocate(bytes));
  if (*pixels) std::memcpy(*pixels, art->second.pixels.data(), bytes);
  *width = art->second.width;
  *height = art->second.height;
  return ALBUMART_SUCCESS;
}

}  // namespace sim

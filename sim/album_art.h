// The player's service objects as the simulator's player has them (5.5 and later): a service
// manager, which IPC_GET_API_SERVICE answers, a factory per service, the album-art service and
// the memory manager whose sysFree takes back what the album-art service hands out. Spelled
// here from the player's side; the plug-in's own spelling must agree with it.
//
// Every object is dispatchable: a table with one member function, called with pointers to
// copies of the arguments. Buffers come from a heap of the services' own, so a buffer freed
// any other way than through sysFree is seen. Everything counts what it handed out and got
// back. Lives as long as the test or demo that made it; the player only points at it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace sim {

// The player's base of every service object: one entry in its table.
class Dispatchable {
 public:
  virtual int _dispatch(int msg, void* retval, void** params, int nparam) = 0;
};

constexpr GUID kAlbumArtGuid = {
    0xAC4C4468, 0xF91F, 0x41F3, {0xA5, 0xFA, 0xE2, 0xB8, 0x1D, 0xC6, 0xEB, 0x3A}};
constexpr GUID kMemMgrGuid = {
    0x000CF46E, 0x4DF6, 0x4A43, {0xBB, 0xE7, 0x40, 0xE7, 0xA3, 0xEA, 0x02, 0xED}};

// Dispatch messages, as the player's classes number them.
constexpr int API_SERVICE_SERVICE_GETSERVICEBYGUID = 50;
constexpr int WASERVICEFACTORY_GETINTERFACE = 300;
constexpr int WASERVICEFACTORY_RELEASEINTERFACE = 310;
constexpr int API_ALBUMART_GETALBUMART = 10;
constexpr int API_ALBUMART_GETALBUMARTDATA = 12;
constexpr int API_MEMMGR_SYSFREE = 10;
constexpr int ALBUMART_SUCCESS = 0;
constexpr int ALBUMART_FAILURE = 1;

// Art decoded: width × height pixels 0xAARRGGBB, rows from the top.
struct DecodedArt {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

// How the services misbehave.
enum class ServiceFault {
  None,
  NoFactory,         // getServiceByGuid answers 0
  NoInterface,       // getInterface answers 0
  UnknownMessages,   // every _dispatch answers 0 and does nothing
  Fails,             // the album-art calls answer failure, their outputs set to junk
  EmptyData,         // GetAlbumArtData answers success with a length of 0
  HugeLength,        // GetAlbumArtData answers success with a length of 2 GB on a small buffer
};

class AlbumArtServices {
 public:
  AlbumArtServices();
  ~AlbumArtServices();
  AlbumArtServices(const AlbumArtServices&) = delete;
  AlbumArtServices& operator=(const AlbumArtServices&) = delete;

  // What IPC_GET_API_SERVICE answers.
  void* manager();

  // Art by the track's file name (UTF-8): stored as it is (GetAlbumArtData), or only decoded
  // (GetAlbumArt; GetAlbumArtData fails for it).
  std::map<std::string, std::string> stored;
  std::map<std::string, DecodedArt> decoded;
  ServiceFault fault = ServiceFault::None;
  // Runs inside every album-art call, as the player might pump messages there.
  std::function<void()> duringCall;

  // --- counts ----------------------------------------------------------------------------
  int artCalls = 0;          // GetAlbumArtData and GetAlbumArt
  int allocations = 0;       // buffers handed out
  int frees = 0;             // buffers given back through sysFree
  int badFrees = 0;          // sysFree of a pointer not handed out, or handed back already
  int interfacesOut = 0;     // getInterface answers
  int interfacesBack = 0;    // releaseInterface of one handed out
  int badReleases = 0;       // releaseInterface of anything else, or through another factory
  std::set<void*> liveBuffers;
  std::multiset<void*> liveInterfaces;

 private:
  enum class Role { Manager, ArtFactory, MemFactory, AlbumArt, MemMgr };
  class Object;
  void* Allocate(std::size_t bytes);
  int Dispatch(Role role, void* retval, int msg, void** params, int nparam);
  int ArtCall(int msg, void** params);

  HANDLE heap_;
  std::vector<Object*> objects_;  // one per Role, in its order
};

}  // namespace sim

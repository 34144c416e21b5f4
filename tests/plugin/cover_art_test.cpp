// The cover file: the player's album-art service answered byte for byte or as a PNG of its
// pixels, images beside the track for players without the service, the placeholder and the
// stop, and every way the service, the memory or the file system can fail the cover without
// failing the announcement. The simulator's services count every buffer and interface.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "album_art.h"
#include "harness.h"
#include "picture.h"

namespace {

using harness::Eventually;
using harness::FileHolds;
using harness::FileMissing;
using harness::Keys;
using harness::PluginTest;

constexpr char kStoredBytes[] = "\xFF\xD8\xFF\xE0 stored JPEG of A \x00\x01 end";
const std::string kStoredArt(kStoredBytes, sizeof kStoredBytes - 1);
constexpr char kPlaceholder[] = "PNG placeholder";
constexpr UINT kTrayMessage = WM_APP + 1;  // the tray icon's mouse events

class CoverArtTest : public PluginTest {
 protected:
  // Tracks: A has stored art, B decoded pixels only, C none (an image beside it the service
  // would have reported itself).
  void StartWithCover(const Keys& more = {}, bool withService = true) {
    // The profile functions read a key's first line: these come before the default.
    Keys keys = more;
    keys.push_back({"CoverArtFile", Path("cover.img")});
    WriteEnabledIni("%Title%", "stopped", keys);
    player.playlist.assign(3, sim::Track());
    for (int i = 0; i < 3; ++i) {
      sim::Track& track = player.playlist[i];
      track.title = std::string(1, static_cast<char>('A' + i));
      track.file = i < 2 ? "C:\\Music\\" + track.title + ".mp3" : Path("C.mp3");
      track.meta = {{"title", track.title}};
    }
    services.stored[player.playlist[0].file] = kStoredArt;
    services.decoded[player.playlist[1].file] = {3, 2, {0xFF102030, 0x80FFFFFF, 0x00000000,
                                                        0xFFFF0000, 0xFF00FF00, 0x7F0000FF}};
    harness::WriteBytes(Path("cover.jpg"), "beside C");
    if (withService) player.apiService = services.manager();
    Start([](HMODULE) { Calls.realTray = false; });
  }

  // Plays track i and waits for its announcement.
  ::testing::AssertionResult Announce(int i) {
    const int before = listener.count;
    player.Play(i);
    return Eventually([&] { return listener.count > before; }, "the broadcast");
  }

  ::testing::AssertionResult Balanced() {
    if (services.frees == services.allocations && services.badFrees == 0 &&
        services.interfacesBack == services.interfacesOut && services.badReleases == 0)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << services.allocations << " buffers out, " << services.frees << " freed, "
           << services.badFrees << " bad frees; " << services.interfacesOut
           << " interfaces out, " << services.interfacesBack << " back, "
           << services.badReleases << " bad releases";
  }

  // The case's files with these added: no temporary file of the cover's among them.
  std::set<std::string> OwnFilesAnd(std::set<std::string> more) const {
    more.insert({"gen_tunecrier.dll", "gen_tunecrier.ini", "template.txt", "notplaying.txt",
                 "out.txt", "cover.jpg"});
    return more;
  }

  sim::AlbumArtServices services;
  harness::BroadcastListener listener;
};

// Track A's stored cover is 20 MB; the same track announced again (the tray icon's right
// double-click) does not write its cover again.
TEST_F(CoverArtTest, EachTrackGetsItsCoverOnceBeforeTheBroadcastAndThePlaceholderAtStop) {
  harness::WriteBytes(Path("missing.png"), kPlaceholder);
  StartWithCover({{"CoverArtMissing", Path("missing.png")}, {"PopupEnabled", "1"}});
  std::string big = kStoredArt + std::string(20 << 20, '\0');
  for (std::size_t i = 4096; i < big.size(); i += 4096) big[i] = static_cast<char>(i >> 12);
  services.stored["C:\\Music\\A.mp3"] = big;
  std::string atBroadcast;
  listener.onBroadcast = [&] { atBroadcast = sim::ReadAll(Path("cover.img")); };

  ASSERT_TRUE(Announce(0));
  EXPECT_TRUE(atBroadcast == big) << "as stored, whole, first: " << atBroadcast.size() << " bytes";
  harness::WriteBytes(Path("cover.img"), "untouched");
  const int before = listener.count;
  SendMessageA(player.window(), kTrayMessage, 0, WM_RBUTTONDBLCLK);
  ASSERT_TRUE(Eventually([&] { return listener.count > before; }, "the same track again"));
  EXPECT_TRUE(sim::ReadAll(Path("cover.img")) == "untouched") << "the same cover written again";

  ASSERT_TRUE(Announce(1));
  ASSERT_EQ(atBroadcast.substr(0, 8), "\x89PNG\r\n\x1A\n");
  int width = 0, height = 0;
  EXPECT_EQ(sim::DecodeImage(Path("cover.img"), &width, &height),
            services.decoded["C:\\Music\\B.mp3"].pixels);
  EXPECT_EQ(width, 3);
  EXPECT_EQ(height, 2);

  ASSERT_TRUE(Announce(2));
  EXPECT_EQ(atBroadcast, kPlaceholder) << "the service's answer is trusted over cover.jpg";
  ASSERT_TRUE(Announce(0));
  player.Stop();
  SendMessageA(player.window(), WM_USER, 0, sim::IPC_PLAYING_FILE);  // a look at the player
  EXPECT_TRUE(Eventually([&] { return sim::ReadAll(Path("cover.img")) == kPlaceholder; },
                         "the placeholder at stop"));
  EXPECT_TRUE(Balanced());
  EXPECT_EQ(Files(), OwnFilesAnd({"missing.png", "cover.img"}));
}

// The announcement's cost: with no cover file the player is asked nothing more than before.
TEST_F(CoverArtTest, WithoutACoverFileNoServiceIsAskedAndNoFileTouched) {
  StartWithCover({{"CoverArtFile", ""}});
  player.ClearLog();
  ASSERT_TRUE(Announce(0));
  const int without = static_cast<int>(player.Requests().size());
  EXPECT_EQ(player.CountRequests(sim::IPC_GET_API_SERVICE), 0);
  EXPECT_EQ(services.artCalls, 0);
  EXPECT_TRUE(FileMissing(Path("cover.img")));
  Stop();

  StartWithCover();
  player.ClearLog();
  ASSERT_TRUE(Announce(0));
  EXPECT_EQ(player.CountRequests(sim::IPC_GET_API_SERVICE), 1);
  const int with = static_cast<int>(player.Requests().size());
  EXPECT_EQ(with - without, 3) << "the entry, its wide name and the service manager";
  std::printf("requests per announcement: %d without a cover file, %d with\n", without, with);
}

TEST_F(CoverArtTest, WithoutTheServiceTheFirstNonEmptyImageBesideTheTrack) {
  harness::WriteBytes(Path("FOLDER.JPG"), "");  // no bytes: not a cover
  harness::WriteBytes(Path("Front.PNG"), "front image");
  harness::WriteBytes(Path("albumart.jpg"), "later in the order");
  StartWithCover({}, false);
  ASSERT_TRUE(Announce(2));
  EXPECT_TRUE(FileHolds(Path("cover.img"), "beside C")) << "cover.jpg comes first";
  DeleteFileA(Path("cover.jpg").c_str());
  ASSERT_TRUE(Announce(0));
  ASSERT_TRUE(Announce(2));
  EXPECT_TRUE(FileHolds(Path("cover.img"), "front image"));
  EXPECT_EQ(player.CountRequests(sim::IPC_GET_API_SERVICE), 3) << "asked, answered 1";
  EXPECT_EQ(services.artCalls, 0);
}

TEST_F(CoverArtTest, ServicesThatFailGiveNoCoverAndKeepNothing) {
  StartWithCover();
  for (sim::ServiceFault fault :
       {sim::ServiceFault::NoFactory, sim::ServiceFault::NoInterface,
        sim::ServiceFault::UnknownMessages, sim::ServiceFault::Fails,
        sim::ServiceFault::EmptyData, sim::ServiceFault::HugeLength}) {
    SCOPED_TRACE(static_cast<int>(fault));
    services.fault = sim::ServiceFault::None;
    ASSERT_TRUE(Announce(1));
    ASSERT_TRUE(harness::FileExists(Path("cover.img")));
    services.fault = fault;
    ASSERT_TRUE(Announce(0));
    EXPECT_TRUE(FileHolds(Path("out.txt"), "A"));
    EXPECT_TRUE(FileMissing(Path("cover.img"))) << "no cover and no placeholder: no file";
    EXPECT_TRUE(Balanced());
  }
  // A fork answering the manager with readable memory that is no object: its table pointer
  // leads nowhere, or its table's entry to no code.
  static const void* const dataTable[] = {kStoredBytes};
  static const void* const dataObject[] = {dataTable};
  int track = 1;
  for (const void* junk : {static_cast<const void*>(kStoredBytes), static_cast<const void*>(dataObject)}) {
    player.answersFirst = [junk](WPARAM, LPARAM code, LRESULT* answer) {
      *answer = reinterpret_cast<LRESULT>(junk);
      return code == sim::IPC_GET_API_SERVICE;
    };
    ASSERT_TRUE(Announce(track));
    EXPECT_TRUE(FileHolds(Path("out.txt"), track ? "B" : "A"));
    track = 1 - track;
  }
}

TEST_F(CoverArtTest, AThousandTrackChangesFreeEveryBufferAndGiveBackEveryInterface) {
  StartWithCover();
  for (int i = 0; i < 1000; ++i) {
    services.fault = i % 4 == 3 ? sim::ServiceFault::Fails : sim::ServiceFault::None;
    ASSERT_TRUE(Announce(i % 3)) << "change " << i;
  }
  EXPECT_GT(services.allocations, 600);
  EXPECT_GT(services.interfacesOut, 1900);
  EXPECT_TRUE(Balanced());
}

TEST_F(CoverArtTest, ACoverFileThatCannotBeWrittenStopsNothingAndLeavesNothing) {
  StartWithCover();
  ASSERT_TRUE(Announce(0));
  // Read-only: kept as it is.
  SetFileAttributesA(Path("cover.img").c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(Announce(1));
  EXPECT_TRUE(FileHolds(Path("out.txt"), "B"));
  EXPECT_EQ(sim::ReadAll(Path("cover.img")), kStoredArt);
  SetFileAttributesA(Path("cover.img").c_str(), FILE_ATTRIBUTE_NORMAL);
  // Held by a reader that does not share deleting.
  HANDLE reader = CreateFileA(Path("cover.img").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_TRUE(Announce(0));
  EXPECT_TRUE(FileHolds(Path("out.txt"), "A"));
  CloseHandle(reader);
  EXPECT_EQ(Files(), OwnFilesAnd({"cover.img"}));
  Stop();
  // In a folder that is not there, and a name that is a folder's.
  CreateDirectoryA(Path("cover.dir").c_str(), nullptr);
  for (const char* name : {"gone\\cover.img", "cover.dir"}) {
    SCOPED_TRACE(name);
    StartWithCover({{"CoverArtFile", Path(name)}});
    ASSERT_TRUE(Announce(1));
    EXPECT_TRUE(FileHolds(Path("out.txt"), "B"));
    Stop();
  }
  RemoveDirectoryA(Path("cover.dir").c_str());
  EXPECT_EQ(Files(), OwnFilesAnd({})) << "the cover file goes at quit; nothing else stays";
}

// The services may run anything while they answer, the player's quit and unloading included.
TEST_F(CoverArtTest, QuitWhileTheCoverIsAskedForRunsNothingInTheUnloadedModule) {
  StartWithCover();
  services.duringCall = [&] {
    services.duringCall = nullptr;
    Stop();
  };
  player.Play(0);
  ASSERT_TRUE(Eventually([&] { return !started; }, "the quit inside the service's call"));
  sim::PumpFor(300);
  EXPECT_TRUE(FileHolds(Path("out.txt"), "stopped")) << "quit's text, and no announcement after";
  EXPECT_TRUE(FileMissing(Path("cover.img"))) << "no cover written after quit";
  EXPECT_TRUE(Balanced());
}

}  // namespace

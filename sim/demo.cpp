// The demo: the real plug-in in the player simulator, as a user would see it.
//
//   tunecrier_demo.exe <gen_tunecrier.dll> <folder>
//
// Copies the DLL into the folder, writes its INI file, a template and a "Not Playing" file
// there (in UTF-8, which the plug-in is set to work in), plays a short playlist, the last track
// titled in Japanese and Russian, a few seconds a track (each announced aloud where the system
// has a speech engine that speaks), stops, and unloads the plug-in. Like
// any program that uses the output file, it listens for "TunecrierOutputFileUpdated" and
// prints the file whenever that arrives, and once more at the end.
#include <cstdio>
#include <string>

#include "files.h"
#include "picture.h"
#include "player.h"

namespace {

constexpr DWORD kSecondsPerTrack = 4;

std::string gOutputPath;
UINT gUpdatedMessage = 0;

void WriteAll(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  if (file == INVALID_HANDLE_VALUE) return;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

void PrintOutput(const char* why) {
  std::printf("---- %s: %s ----\n%s\n", why, gOutputPath.c_str(), sim::ReadAll(gOutputPath).c_str());
  std::fflush(stdout);
}

LRESULT CALLBACK ListenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (gUpdatedMessage != 0 && message == gUpdatedMessage) {
    PrintOutput("TunecrierOutputFileUpdated");
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeListener() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ListenerProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TunecrierDemoListener";
  RegisterClassA(&wc);
  gUpdatedMessage = RegisterWindowMessageA("TunecrierOutputFileUpdated");
  // A top-level window: the broadcast reaches top-level windows only.
  return CreateWindowExA(0, wc.lpszClassName, "listener", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                         nullptr, wc.hInstance, nullptr);
}

// --- the popup's picture -------------------------------------------------------------------

BOOL CALLBACK FindPopup(HWND window, LPARAM found) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  bool tool = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
  if (std::string(name) == "#32770" && tool && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

// Waits (at most 5 s) for the popup to slide fully onto the screen and stop there, then
// saves its picture.
void SavePopupPicture(const std::string& path) {
  HWND popup = nullptr;
  RECT last = {}, screen = {};
  GetWindowRect(GetDesktopWindow(), &screen);
  int still = 0;
  for (DWORD start = GetTickCount(); still < 3 && GetTickCount() - start < 5000;) {
    sim::PumpFor(50);
    popup = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindPopup, reinterpret_cast<LPARAM>(&popup));
    RECT r = {};
    if (!popup || !GetWindowRect(popup, &r)) continue;
    bool onScreen = r.left >= screen.left && r.top >= screen.top && r.right <= screen.right &&
                    r.bottom <= screen.bottom;
    still = onScreen && EqualRect(&r, &last) ? still + 1 : 0;
    last = r;
  }
  if (still >= 3 && sim::SavePng(sim::CaptureWindow(popup), path))
    std::printf("(saved the popup's picture as %s)\n", path.c_str());
}

std::vector<sim::Track> Playlist() {
  sim::Track a;
  a.file = "C:\\Music\\Nina Simone - Feeling Good.mp3";
  a.artist = "Nina Simone";
  a.title = "Feeling Good";
  a.length = 173;
  a.meta = {{"artist", a.artist}, {"title", a.title}, {"album", "I Put a Spell on You"},
            {"year", "1965"}, {"genre", "Jazz"}, {"track", "7"}, {"bitrate", "320"},
            {"srate", "44100"}, {"stereo", "1"}};
  sim::Track b;
  b.file = "C:\\Music\\Miles Davis - So What.mp3";
  b.artist = "Miles Davis";
  b.title = "So What";
  b.length = 562;
  b.meta = {{"artist", b.artist}, {"title", b.title}, {"album", "Kind of Blue"},
            {"year", "1959"}, {"genre", "Jazz"}, {"track", "1"}, {"bitrate", "256"},
            {"srate", "44100"}, {"stereo", "1"}};
  sim::Track c;
  c.file = "C:\\Music\\Field Recording.wav";
  c.artist = "Unknown Artist";
  c.title = "Field Recording";
  c.length = 3725;
  c.meta = {{"title", c.title}, {"stereo", "0"}, {"srate", "22050"}};
  sim::Track d;
  d.file = "C:\\Music\\坂本龍一 - Владивосток.mp3";
  d.artist = "坂本龍一 & Мумий Тролль";
  d.title = "Владивосток 2000 🎵";
  d.length = 201;
  d.meta = {{"artist", d.artist}, {"title", d.title}, {"album", "戦場のメリークリスマス"},
            {"year", "2000"}, {"genre", "Rock"}, {"track", "3"}, {"bitrate", "256"},
            {"srate", "48000"}, {"stereo", "1"}};
  return {a, b, c, d};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tunecrier_demo <gen_tunecrier.dll> <folder>\n");
    return 2;
  }
  std::string folder = argv[2];
  if (folder.back() != '\\') folder += '\\';
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string dll = folder + "gen_tunecrier.dll";
  if (!CopyFileA(argv[1], dll.c_str(), FALSE)) {
    std::fprintf(stderr, "cannot copy %s to %s\n", argv[1], dll.c_str());
    return 1;
  }
  gOutputPath = folder + "nowplaying.txt";
  DeleteFileA(gOutputPath.c_str());
  WriteAll(folder + "template.txt",
           "Now playing: %FullTitle%\r\n"
           "Artist: %Artist%  Title: %Title%\r\n"
           "Album: %Album% (%Year%)  Genre: %Genre%\r\n"
           "Length: %Length% (%LongLength%)\r\n"
           "Track %PlaylistEntry% of %PlaylistLength%, %Bitrate% kbps, %Samplerate% Hz, %Mode%\r\n"
           "Winamp %WinampVersion%, Tunecrier %PluginVersion%\r\n");
  WriteAll(folder + "notplaying.txt", "Tunecrier: nothing is playing.\r\n");
  WriteAll(folder + "gen_tunecrier.ini",
           "[Tunecrier]\r\nEnabled=1\r\nWriteMode=0\r\nInitializeOutput=1\r\n"
           "TemplateFile=" + folder + "template.txt\r\n"
           "NotPlayingFile=" + folder + "notplaying.txt\r\n"
           "OutputFile=" + gOutputPath + "\r\n"
           // Each track is also announced through the system's speech engine, with the player
           // paused meanwhile; where the engine cannot speak (Wine's), it is paused and resumed.
           "SpeechEnabled=1\r\nWhenSpeaking=0\r\n"
           "PopupEnabled=1\r\nPopupTimeout=3\r\n"
           // Titles and tags as the player has them, in any script; the output file in UTF-8.
           "TextEncoding=1\r\n");

  HWND listener = MakeListener();
  sim::Player player(0x5066, sim::WindowKind::Unicode);
  player.playlist = Playlist();
  ShowWindow(player.window(), SW_SHOWNOACTIVATE);
  if (!player.Load(dll)) {
    std::fprintf(stderr, "cannot load %s\n", dll.c_str());
    return 1;
  }
  std::printf("Loaded %s into the player simulator (version 5.66).\n", dll.c_str());
  for (int i = 0; i < static_cast<int>(player.playlist.size()); ++i) {
    player.Play(i);
    std::printf("\n>>> playing %s\n", player.Title().c_str());
    std::fflush(stdout);
    DWORD start = GetTickCount();
    SavePopupPicture(folder + "popup-" + std::to_string(i + 1) + ".png");
    DWORD spent = GetTickCount() - start;
    if (spent < kSecondsPerTrack * 1000) sim::PumpFor(kSecondsPerTrack * 1000 - spent);
  }
  player.Stop();
  std::printf("\n>>> stopped\n");
  std::fflush(stdout);
  sim::PumpFor(2000);
  player.Unload();
  PrintOutput("after unloading");
  DestroyWindow(listener);
  return 0;
}

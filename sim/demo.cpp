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
//
// The player has its album-art service: the first and last tracks have their covers stored as
// image files, the second only decoded, the third none (the plug-in then puts the "no cover"
// image in the cover file, as it does at the stop). After each track the demo saves what the
// cover file held (cover-N.png), and once a picture of what a stream overlay made of the two
// files shows (overlay.png): the cover beside the text.
#include <cstdio>
#include <string>

#include "album_art.h"
#include "files.h"
#include "picture.h"
#include "player.h"

namespace {

constexpr DWORD kSecondsPerTrack = 4;

std::string gOutputPath;
std::string gCoverPath;
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

// --- covers ---------------------------------------------------------------------------------

constexpr int kCoverSide = 160;

// A cover of its own for each seed: a diagonal blend of two colours with a disc on it.
sim::Picture MakeCover(int seed) {
  static const std::uint8_t kColours[][6] = {{200, 60, 40, 30, 20, 60},
                                             {20, 90, 160, 220, 200, 120},
                                             {90, 90, 90, 160, 160, 160},
                                             {180, 30, 120, 250, 200, 40}};
  const std::uint8_t* c = kColours[seed % 4];
  sim::Picture picture;
  picture.width = picture.height = kCoverSide;
  for (int y = 0; y < kCoverSide; ++y) {
    for (int x = 0; x < kCoverSide; ++x) {
      const int t = (x + y) * 255 / (2 * kCoverSide - 2);
      const int dx = x - kCoverSide / 2, dy = y - kCoverSide / 2;
      const bool disc = dx * dx + dy * dy < (kCoverSide / 4) * (kCoverSide / 4);
      for (int k = 0; k < 3; ++k) {
        const int blend = (c[k] * (255 - t) + c[k + 3] * t) / 255;
        picture.rgb.push_back(static_cast<std::uint8_t>(disc ? 255 - blend : blend));
      }
    }
  }
  return picture;
}

// The bytes of the picture as a PNG file.
std::string PngBytes(const sim::Picture& picture, const std::string& scratch) {
  sim::SavePng(picture, scratch);
  std::string bytes = sim::ReadAll(scratch);
  DeleteFileA(scratch.c_str());
  return bytes;
}

sim::DecodedArt Decoded(const sim::Picture& picture) {
  sim::DecodedArt art;
  art.width = picture.width;
  art.height = picture.height;
  for (std::size_t i = 0; i + 2 < picture.rgb.size(); i += 3)
    art.pixels.push_back(0xFF000000u | picture.rgb[i] << 16 | picture.rgb[i + 1] << 8 |
                         picture.rgb[i + 2]);
  return art;
}

// Copies what the cover file holds now, as a program reading it would find it.
void SaveCover(const std::string& path) {
  std::string bytes = sim::ReadAll(gCoverPath);
  if (bytes.empty()) {
    std::printf("(the cover file is not there)\n");
    return;
  }
  WriteAll(path, bytes);
  std::printf("(saved what the cover file held, %u bytes, as %s)\n",
              static_cast<unsigned>(bytes.size()), path.c_str());
}

// What an overlay with an image source on the cover file and a text source on the output file
// shows: the cover on the left, the text beside it, on a dark band.
void SaveOverlayPicture(const std::string& path) {
  constexpr int kWidth = 640, kHeight = kCoverSide + 24;
  int coverWidth = 0, coverHeight = 0;
  const std::vector<std::uint32_t> cover =
      sim::DecodeImage(gCoverPath, &coverWidth, &coverHeight);
  if (cover.empty()) return;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = -kHeight;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP band = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!band) {
    DeleteDC(dc);
    return;
  }
  HGDIOBJ oldBitmap = SelectObject(dc, band);
  RECT all = {0, 0, kWidth, kHeight};
  HBRUSH dark = CreateSolidBrush(RGB(24, 24, 32));
  FillRect(dc, &all, dark);
  DeleteObject(dark);
  BITMAPINFO coverInfo = info;
  coverInfo.bmiHeader.biWidth = coverWidth;
  coverInfo.bmiHeader.biHeight = -coverHeight;
  StretchDIBits(dc, 12, 12, kCoverSide, kCoverSide, 0, 0, coverWidth, coverHeight, cover.data(),
                &coverInfo, DIB_RGB_COLORS, SRCCOPY);
  HFONT font = CreateFontA(-15, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                           ANTIALIASED_QUALITY, 0, "Arial");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(240, 240, 240));
  std::wstring text = sim::Wide(sim::ReadAll(gOutputPath));
  RECT textRect = {kCoverSide + 28, 12, kWidth - 12, kHeight - 12};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, DT_LEFT | DT_WORDBREAK);
  GdiFlush();
  sim::Picture picture;
  picture.width = kWidth;
  picture.height = kHeight;
  const BYTE* bgra = static_cast<const BYTE*>(bits);
  for (int i = 0; i < kWidth * kHeight; ++i) {
    picture.rgb.push_back(bgra[i * 4 + 2]);
    picture.rgb.push_back(bgra[i * 4 + 1]);
    picture.rgb.push_back(bgra[i * 4]);
  }
  SelectObject(dc, oldFont);
  DeleteObject(font);
  SelectObject(dc, oldBitmap);
  DeleteObject(band);
  DeleteDC(dc);
  if (sim::SavePng(picture, path))
    std::printf("(saved a picture of an overlay of the two files as %s)\n", path.c_str());
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
  gCoverPath = folder + "cover.png";
  DeleteFileA(gOutputPath.c_str());
  DeleteFileA(gCoverPath.c_str());
  const std::string noCover = folder + "nocover.png";
  sim::SavePng(MakeCover(2), noCover);
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
           // Each track's cover beside it, for an image source; a grey one without a cover.
           "CoverArtFile=" + gCoverPath + "\r\nCoverArtMissing=" + noCover + "\r\n"
           // Each track is also announced through the system's speech engine, with the player
           // paused meanwhile; where the engine cannot speak (Wine's), it is paused and resumed.
           "SpeechEnabled=1\r\nWhenSpeaking=0\r\n"
           "PopupEnabled=1\r\nPopupTimeout=3\r\n"
           // Titles and tags as the player has them, in any script; the output file in UTF-8.
           "TextEncoding=1\r\n");

  HWND listener = MakeListener();
  sim::Player player(0x5066, sim::WindowKind::Unicode);
  player.playlist = Playlist();
  // The first and last covers stored as image files, the second only decoded, the third none.
  sim::AlbumArtServices art;
  art.stored[player.playlist[0].file] = PngBytes(MakeCover(0), folder + "scratch.png");
  art.decoded[player.playlist[1].file] = Decoded(MakeCover(1));
  art.stored[player.playlist[3].file] = PngBytes(MakeCover(3), folder + "scratch.png");
  player.apiService = art.manager();
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
    SaveCover(folder + "cover-" + std::to_string(i + 1) + ".png");
    if (i == 0) SaveOverlayPicture(folder + "overlay.png");
  }
  player.Stop();
  std::printf("\n>>> stopped\n");
  std::fflush(stdout);
  sim::PumpFor(2000);
  player.Unload();
  PrintOutput("after unloading");
  SaveCover(folder + "cover-after-unloading.png");
  DestroyWindow(listener);
  return 0;
}

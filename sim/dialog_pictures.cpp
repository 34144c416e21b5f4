// Pictures of the configuration dialog and the volume dialog, opened from the real plug-in in
// the player simulator as a user opens them.
//
//   dialog_pictures.exe <gen_tunecrier.dll> <folder>
//
// Makes a plug-in folder of its own (<folder>\dialogs\, with a copy of the DLL and an INI
// file), runs config, saves config-dialog.png into <folder> once the dialog has drawn itself,
// presses "Change Volume", saves volume-dialog.png, and cancels both dialogs. Everything runs
// inside the dialogs' own modal loops, driven by a timer; a dialog that does not come within
// a minute ends the run with exit code 1.
#include <cstdio>
#include <string>

#include "picture.h"
#include "player.h"

namespace {

constexpr char kConfigCaption[] = "Tunecrier";
constexpr char kVolumeCaption[] = "Change Volume";
constexpr int kChangeVolumeButton = 1020;
constexpr UINT kTickMs = 50;
constexpr DWORD kSettleMs = 700;   // lets a shown dialog paint and reach the screen
constexpr DWORD kGiveUpMs = 60000;

// Each step waits for its dialog; the first two take its picture.
struct Step {
  const char* caption;
  const char* picture;
};

const Step kSteps[] = {{kConfigCaption, "config-dialog.png"},
                       {kVolumeCaption, "volume-dialog.png"},
                       {kConfigCaption, nullptr}};
constexpr int kStepCount = static_cast<int>(sizeof kSteps / sizeof kSteps[0]);

std::string gFolder;
int gNext = 0;             // the step waited for
DWORD gSeenAt = 0;         // when its dialog was first seen
DWORD gStartedAt = 0;
bool gFailed = false;

void WriteAll(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

struct Search {
  const char* caption;
  HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  char text[64] = {};
  GetWindowTextA(window, text, sizeof text);
  if (!IsWindowVisible(window) || !IsWindowEnabled(window) || lstrcmpA(text, search->caption))
    return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindDialog(const char* caption) {
  Search search = {caption, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK CancelDialog(HWND window, LPARAM) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpA(name, "#32770") == 0) EndDialog(window, IDCANCEL);
  return TRUE;
}

void Save(HWND window, const char* file) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  GdiFlush();
  std::string path = gFolder + file;
  if (sim::SavePng(sim::CaptureWindow(window), path)) {
    std::printf("saved %s\n", path.c_str());
  } else {
    std::fprintf(stderr, "cannot save %s\n", path.c_str());
    gFailed = true;
  }
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (gNext >= kStepCount) return;
  if (GetTickCount() - gStartedAt > kGiveUpMs) {
    std::fprintf(stderr, "no \"%s\" dialog came in time\n", kSteps[gNext].caption);
    gFailed = true;
    gNext = kStepCount;
    EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
    return;
  }
  const Step& step = kSteps[gNext];
  HWND dialog = FindDialog(step.caption);
  if (!dialog) return;
  if (step.picture) {
    if (gSeenAt == 0) gSeenAt = GetTickCount();
    if (GetTickCount() - gSeenAt < kSettleMs) return;
    Save(dialog, step.picture);
  }
  gSeenAt = 0;
  if (gNext++ == 0) {
    // Runs the volume dialog's modal loop inside this call; the next ticks come from there.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kChangeVolumeButton, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, kChangeVolumeButton)));
  } else {
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: dialog_pictures <gen_tunecrier.dll> <folder>\n");
    return 2;
  }
  gFolder = argv[2];
  if (gFolder.back() != '\\') gFolder += '\\';
  CreateDirectoryA(gFolder.c_str(), nullptr);
  std::string home = gFolder + "dialogs\\";
  CreateDirectoryA(home.c_str(), nullptr);
  std::string dll = home + "gen_tunecrier.dll";
  if (!CopyFileA(argv[1], dll.c_str(), FALSE)) {
    std::fprintf(stderr, "cannot copy %s to %s\n", argv[1], dll.c_str());
    return 1;
  }
  WriteAll(home + "gen_tunecrier.ini",
           "[Tunecrier]\r\nEnabled=1\r\nFlushFileBuffers=1\r\nWriteMode=0\r\n"
           "InitializeOutput=1\r\n"
           "TemplateFile=C:\\Tunecrier\\template.txt\r\n"
           "NotPlayingFile=C:\\Tunecrier\\notplaying.txt\r\n"
           "OutputFile=C:\\Tunecrier\\nowplaying.txt\r\n"
           "CoverArtFile=C:\\Tunecrier\\cover.jpg\r\nCoverArtMissing=C:\\Tunecrier\\logo.png\r\n"
           "PopupEnabled=1\r\nPopupTimeout=12\r\nReplaceHyphens=1\r\n"
           "SpeechEnabled=1\r\nWhenSpeaking=1\r\nVolume=40\r\nTextEncoding=1\r\n");

  sim::Player player(0x5066);
  if (!player.Load(dll)) {
    std::fprintf(stderr, "cannot load %s\n", dll.c_str());
    return 1;
  }
  gStartedAt = GetTickCount();
  UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, Tick);
  player.Config();
  KillTimer(nullptr, timer);
  player.Unload();
  if (gNext < kStepCount) gFailed = true;
  return gFailed ? 1 : 0;
}

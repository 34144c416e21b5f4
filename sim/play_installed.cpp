// The plug-in where a setup put it: loaded from a player's Plugins folder, as the player does.
//
//   play_installed.exe <player folder> <output file> [<command line>]
//
// Loads <player folder>\Plugins\gen_tunecrier.dll with whatever settings the gen_tunecrier.ini
// beside it holds, plays one track, waits until the output file changes, stops and unloads
// (quit writes the "Not Playing" text). With a command line (a setup, say), runs it while the
// player's window is up and the plug-in loaded, and waits for it. Prints the header's
// description, that program's exit code and the output file after each step, one line each,
// for scripts/check-release. Exit code 0 when every step happened, 1 when one did not.
#include <cstdio>
#include <string>

#include "files.h"
#include "player.h"

namespace {

constexpr DWORD kProgramLimitMs = 120000;

// Runs the command line and waits for it; its exit code, or -1 when it could not start or
// did not end in time (it is ended then).
long RunAndWait(std::string commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, kProgramLimitMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &code);
  else
    TerminateProcess(process.hProcess, code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<long>(code);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: play_installed <player folder> <output file>\n");
    return 2;
  }
  std::string dll = std::string(argv[1]) + "\\Plugins\\gen_tunecrier.dll";
  std::string output = argv[2];

  sim::Track track;
  track.file = "C:\\Music\\Nina Simone - Feeling Good.mp3";
  track.artist = "Nina Simone";
  track.title = "Feeling Good";
  track.length = 173;
  track.meta = {{"artist", track.artist}, {"title", track.title}};
  sim::Player player(0x5066);
  player.playlist = {track};
  if (!player.Load(dll)) {
    std::printf("cannot load %s\n", dll.c_str());
    return 1;
  }
  std::printf("description: %s\n", player.header()->description);
  if (argc > 3) std::printf("exit code while the player runs: %ld\n", RunAndWait(argv[3]));

  std::string before = sim::ReadAll(output);
  player.Play(0);
  bool written = sim::PumpUntil([&] { return sim::ReadAll(output) != before; }, 30000);
  std::printf("playing: %s\n", sim::ReadAll(output).c_str());

  player.Stop();
  player.Unload();
  std::printf("stopped: %s\n", sim::ReadAll(output).c_str());
  return written ? 0 : 1;
}

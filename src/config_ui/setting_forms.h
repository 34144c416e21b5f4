// The settings in the forms the two dialogs show and write, worked out without a window: a
// volume level's percentage and label, and the keys the configuration dialog's OK writes, in
// their order and encodings.
//
// Free of <windows.h>, so that these are tested natively.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

constexpr unsigned kMaxVolumeLevel = 64;

// Room the dialogs read a text into: 511 characters and the terminator.
constexpr int kDialogTextBytes = 512;

// level × 100 / 64, rounded down.
unsigned VolumePercent(unsigned level);
// The percentage as the volume dialog shows it: "21%".
std::string VolumeLabel(unsigned level);

// The configuration dialog's controls as OK reads them, enabled or not, and whether the speech
// controls were offered at all.
struct ConfigChoices {
  bool enabled = false;
  bool flushBuffers = false;
  bool overwrite = false;
  bool append = false;
  bool prepend = false;
  bool initializeOutput = false;
  std::string templateFile;
  std::string notPlayingFile;
  std::string outputFile;
  std::string coverArtFile;
  std::string coverArtMissing;
  bool popupEnabled = false;
  std::string popupTimeout;  // the chosen entry's text; empty when none is chosen
  std::string popupFormat;
  bool replaceHyphens = false;
  bool speechEnabled = false;
  std::string speechFormat;
  bool pause = false;
  bool changeVolume = false;
  unsigned volume = 0;
  bool speechOffered = true;  // false without a speech engine: the four above were not shown
  // The text encoding list's chosen entry, which is the setting's number; none when the list
  // offered nothing to choose, and then the key is kept as it is.
  std::optional<unsigned> textEncoding;
};

using SavedKey = std::pair<const char*, std::string>;

// Every key OK writes, in the order it writes them. A key whose control offered nothing (no
// write mode button checked; no timeout entry chosen; the speech keys and Volume without a
// speech engine; no text encoding chosen) is left out, so the file keeps its value.
// PollingInterval is never among them; the cover's two keys follow OutputFile; TextEncoding
// comes last.
std::vector<SavedKey> SavedKeys(const ConfigChoices& choices);

// The files the plug-in reads and writes besides its INI file: the template and "Not Playing"
// texts (and the image for tracks without a cover), the output file that other programs read,
// and any file replaced whole (the cover file). Every call opens, works and closes; no handle
// outlives it. A failure is never shown: the writes answer whether the file holds the text.
#pragma once

#include <cstdint>
#include <string>

#include "encoding/unicode.h"
#include "output/place.h"

// Reads the whole content of the file into *text, byte for byte (zero bytes and a byte-order
// mark included), whoever else has it open. An empty path and a file that is not there read as
// the empty text; a file that is there but cannot be read (locked, too large) returns false and
// leaves *text as it was.
bool ReadTextFile(const std::string& path, std::string* text);

// Replaces the file at `path` with `bytes` as a whole: readers see the old file or the new one.
// Returns whether the file now holds exactly `bytes`.
bool WriteFileWhole(const std::string& path, const std::string& bytes, bool flush);

// Where and how announcements are written: built from the settings at init and after the
// configuration dialog's OK, and handed to every write.
struct OutputTarget {
  std::string path;                 // empty: no output file
  std::uint16_t mode = kOverwrite;  // kOverwrite, kPrepend; any other mode appends
  bool flush = false;               // flush the system's buffers after each write
  Encoding encoding = Encoding::kAnsi;  // what texts are in and how the file takes them
};

// Writes text into the target's file: overwrite replaces its content, prepend puts the text
// before it, any other mode after it; overwrite and prepend replace the file as a whole, so
// that readers see the old file or the new one. Nothing is added between entries; in UTF-16
// the file starts with its mark, written when the file is empty and kept first (encoded.h). A
// hidden or system file stays one. Returns whether the file now holds the text.
bool WriteOutput(const OutputTarget& target, const std::string& text);

// Empties the target's file if it exists; creates none.
void TruncateOutput(const OutputTarget& target);

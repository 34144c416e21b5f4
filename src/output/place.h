// Where a new entry goes in the output file, which stretch of the file the writer maps to put
// it there, and putting it in place inside that view. Pure and free of <windows.h> (place.cpp
// is tested natively).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Write modes, as the settings store them.
constexpr std::uint16_t kOverwrite = 0;
constexpr std::uint16_t kAppend = 1;
constexpr std::uint16_t kPrepend = 2;

// The offset at which `mode` puts a new entry into a file of oldLength bytes: the start for
// prepend, the old end otherwise (an overwritten file is empty by then).
std::uint64_t EntryOffset(std::uint64_t oldLength, std::uint16_t mode);

// A stretch of the file: where it starts and how many bytes it holds.
struct FileStretch {
  std::uint64_t offset;
  std::uint64_t length;
};

// What the writer maps to put textLength bytes at offset `at` of a file of oldLength bytes:
// from the multiple of granularity (the system's allocation granularity) at or below `at` to
// the new end. Every byte that moves or is written lies in it, and an append maps its own
// few bytes however long the file.
FileStretch StretchToMap(std::uint64_t oldLength, std::uint64_t at, std::uint64_t textLength,
                         std::uint32_t granularity);

// Puts text at offset `at` of a view whose first `held` bytes are old content (at <= held)
// and which has room for text.size() bytes more: the old bytes from `at` on move up by the
// text's length, once.
void PlaceText(char* view, std::size_t held, std::size_t at, const std::string& text);

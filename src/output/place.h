// Where a new entry goes in the output file: the write modes, and putting the text in place
// inside a view of the grown file. Pure and free of <windows.h> (place.cpp is tested natively).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Write modes, as the settings store them.
constexpr std::uint16_t kOverwrite = 0;
constexpr std::uint16_t kAppend = 1;
constexpr std::uint16_t kPrepend = 2;

// Puts text into a view of oldLength + text.size() bytes whose first oldLength bytes hold the
// old content: in front of it for prepend, behind it otherwise. Pure, for the writer and tests.
void PlaceText(char* view, std::size_t oldLength, const std::string& text, std::uint16_t mode);

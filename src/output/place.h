// Where a new entry goes in the output file. Pure and free of <windows.h> (place.cpp is tested
// natively).
#pragma once

#include <cstdint>

// Write modes, as the settings store them.
constexpr std::uint16_t kOverwrite = 0;
constexpr std::uint16_t kAppend = 1;
constexpr std::uint16_t kPrepend = 2;

// The offset at which `mode` puts a new entry into a file of oldLength bytes: the start for
// prepend, the old end otherwise (an overwritten file is empty by then).
std::uint64_t EntryOffset(std::uint64_t oldLength, std::uint16_t mode);

// Pictures of windows for the demo: what is on the (virtual) screen inside a window's
// rectangle, saved as a PNG file. And image files read back as a program showing them would.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// 24-bit RGB pixels, top row first.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

// Copies the screen inside the window's rectangle (so other windows on top show as well).
Picture CaptureWindow(HWND window);
// Writes an uncompressed ("stored") PNG file. False when it cannot be written.
bool SavePng(const Picture& picture, const std::string& path);

// An image file's pixels as 0xAARRGGBB, rows from the top, decoded by the system's imaging
// component (WIC) as an overlay program decodes it; empty when it cannot be.
std::vector<std::uint32_t> DecodeImage(const std::string& path, int* width, int* height);

}  // namespace sim

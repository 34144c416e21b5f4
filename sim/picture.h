// Pictures of windows for the demo: what is on the (virtual) screen inside a window's
// rectangle, saved as a PNG file.
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

}  // namespace sim

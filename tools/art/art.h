// The plug-in's artwork, drawn pixel by pixel: the popup's two backgrounds and the tray icon.
// Everything here is plain arithmetic on pixel arrays and byte vectors, so the same output
// comes out on every machine; tools/make-art writes it under src/res/, and a native test checks
// that the committed files are what this code draws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace art {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// Pixels top row first.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;
  std::vector<bool> opaque;  // icons only: false where the desktop shows through

  Image() = default;
  Image(int w, int h, Rgb fill = {});
  Rgb& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  const Rgb& at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

using Bytes = std::vector<std::uint8_t>;

// The popup's background: 300 x 85, grey frame raised outside and sunken inside, the field
// shaded from light blue down to nearly white (or flat light grey), the name at the top left.
Image PopupBackground(bool flatField);
// The tray icon's picture at 32 x 32: a grey speech bubble with a bold blue "T".
// `fewColours` keeps to the 16 standard colours.
Image TrayPicture(bool fewColours);

// The files under src/res/.
Bytes PopupBitmapFile();        // popup.bmp, 24 bits per pixel
Bytes PopupBitmap8File();       // popup-8bit.bmp, 8 bits per pixel with a 256-colour palette
Bytes TrayIconFile();           // tray.ico: 32 x 32 in 16 and in 256 colours

// A PNG of the image scaled up `scale` times, opaque parts over `backdrop`: for looking at it.
Bytes PreviewPng(const Image& image, int scale, Rgb backdrop);

}  // namespace art

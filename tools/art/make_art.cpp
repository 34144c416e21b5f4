// Writes the plug-in's artwork into a folder (src/res/ when run by tools/make-art):
//
//   make_art <folder> [<preview folder>]
//
// With a second folder it also writes enlarged PNG previews of each picture there.
#include <cstdio>
#include <string>

#include "art.h"

namespace {

bool Write(const std::string& path, const art::Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_art <folder> [<preview folder>]\n");
    return 2;
  }
  std::string dir = std::string(argv[1]) + "/";
  bool ok = Write(dir + "popup.bmp", art::PopupBitmapFile()) &&
            Write(dir + "popup-8bit.bmp", art::PopupBitmap8File()) &&
            Write(dir + "tray.ico", art::TrayIconFile());
  if (ok && argc > 2) {
    std::string preview = std::string(argv[2]) + "/";
    const art::Rgb desktop = {58, 110, 165};
    ok = Write(preview + "popup.png", art::PreviewPng(art::PopupBackground(false), 3, desktop)) &&
         Write(preview + "popup-8bit.png", art::PreviewPng(art::PopupBackground(true), 3, desktop)) &&
         Write(preview + "tray-16.png", art::PreviewPng(art::TrayPicture(true), 8, desktop)) &&
         Write(preview + "tray-256.png", art::PreviewPng(art::TrayPicture(false), 8, desktop));
  }
  return ok ? 0 : 1;
}

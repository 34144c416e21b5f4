// The artwork under src/res/ is what tools/art draws, and the pictures leave room for what the
// popup draws over them at run time.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "../../tools/art/art.h"

namespace {

art::Bytes Committed(const std::string& name) {
  std::ifstream file(std::string(TUNECRIER_SOURCE_DIR) + "/src/res/" + name, std::ios::binary);
  return art::Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

::testing::AssertionResult SameBytes(const std::string& name, const art::Bytes& drawn) {
  art::Bytes committed = Committed(name);
  if (committed == drawn) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < committed.size() && at < drawn.size() && committed[at] == drawn[at]) ++at;
  return ::testing::AssertionFailure()
         << "src/res/" << name << " (" << committed.size() << " bytes) differs from what "
         << "tools/art draws (" << drawn.size() << " bytes) from byte " << at
         << "; run tools/make-art";
}

TEST(PopupArt, CommittedFilesAreWhatTheGeneratorDraws) {
  EXPECT_TRUE(SameBytes("popup.bmp", art::PopupBitmapFile()));
  EXPECT_TRUE(SameBytes("popup-8bit.bmp", art::PopupBitmap8File()));
  EXPECT_TRUE(SameBytes("tray.ico", art::TrayIconFile()));
}

// Below the name's band (from y 21) and under the close box only the field shows, so that
// the text and the close box drawn at run time stand on a clean background.
TEST(PopupArt, TheNameStaysInItsBandClearOfTheCloseBox) {
  for (bool flat : {false, true}) {
    SCOPED_TRACE(flat ? "8 bits" : "24 bits");
    art::Image image = art::PopupBackground(flat);
    ASSERT_EQ(image.width, 300);
    ASSERT_EQ(image.height, 85);
    int blue = 0;
    for (int y = 5; y < 80; ++y)
      for (int x = 5; x < 295; ++x) {
        const art::Rgb& c = image.at(x, y);
        bool ink = c == art::Rgb{0, 0, 255};
        if (!ink) continue;
        ++blue;
        EXPECT_TRUE(y >= 8 && y < 21 && x >= 9 && x < 277) << "name pixel at " << x << ", " << y;
      }
    EXPECT_GT(blue, 200) << "the name is drawn";
    art::Rgb top = image.at(150, 5), bottom = image.at(150, 79);
    if (flat) {
      EXPECT_TRUE(top == (art::Rgb{204, 204, 204}) && bottom == top);
    } else {
      EXPECT_TRUE(top == (art::Rgb{166, 202, 240}));
      EXPECT_TRUE(bottom == (art::Rgb{235, 243, 251}));
    }
  }
}

}  // namespace

// Where the writer puts a new entry inside the grown file's view.
#include <gtest/gtest.h>

#include "output/place.h"

namespace {

std::string Placed(const std::string& old, const std::string& text, std::uint16_t mode) {
  std::string view = old + std::string(text.size(), '?');
  PlaceText(view.data(), old.size(), text, mode);
  return view;
}

TEST(PlaceText, EveryModeWithExactBytes) {
  EXPECT_EQ(Placed("", "new", kOverwrite), "new");
  EXPECT_EQ(Placed("old", "new", kAppend), "oldnew");
  EXPECT_EQ(Placed("old", "new", kPrepend), "newold");
  EXPECT_EQ(Placed("old", "new", 3), "oldnew");
  EXPECT_EQ(Placed("old", "", kPrepend), "old");
}

TEST(PlaceText, PrependMovesOverlappingRanges) {
  std::string old = "abcdefghij";
  EXPECT_EQ(Placed(old, "XY", kPrepend), "XYabcdefghij");
  EXPECT_EQ(Placed("ab", "0123456789", kPrepend), "0123456789ab");
  EXPECT_EQ(Placed(std::string("a\0b", 3), std::string("\0", 1), kPrepend),
            std::string("\0a\0b", 4));
}

}  // namespace

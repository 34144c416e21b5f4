// Where the writer puts a new entry: the offset each mode chooses, the stretch of the file it
// maps, and the bytes inside the grown file's view.
#include <gtest/gtest.h>

#include <utility>

#include "output/place.h"

namespace {

std::string PlacedAt(const std::string& old, std::size_t at, const std::string& text) {
  std::string view = old + std::string(text.size(), '?');
  PlaceText(view.data(), old.size(), at, text);
  return view;
}

std::string Placed(const std::string& old, const std::string& text, std::uint16_t mode) {
  return PlacedAt(old, static_cast<std::size_t>(EntryOffset(old.size(), mode)), text);
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
  EXPECT_EQ(PlacedAt("\xFF\xFEold", 2, "new"), "\xFF\xFEnewold") << "behind a two-byte head";
}

std::pair<std::uint64_t, std::uint64_t> OffsetAndLength(const FileStretch& stretch) {
  return {stretch.offset, stretch.length};
}

TEST(StretchToMap, FromTheBoundaryBelowTheEntryToTheNewEnd) {
  constexpr std::uint32_t kGranularity = 65536;
  constexpr std::uint64_t k200MB = 200 << 20, k4GiB = 4ull << 30;
  EXPECT_EQ(OffsetAndLength(StretchToMap(k200MB + 9, k200MB + 9, 3, kGranularity)),
            OffsetAndLength({k200MB, 12}))
      << "an append maps its own bytes, not the file";
  EXPECT_EQ(OffsetAndLength(StretchToMap(k4GiB + 100, k4GiB + 100, 3, kGranularity)),
            OffsetAndLength({k4GiB, 103}));
  EXPECT_EQ(OffsetAndLength(StretchToMap(k4GiB + 100, 0, 3, kGranularity)),
            OffsetAndLength({0, k4GiB + 103}))
      << "a prepend moves the whole old content";
}

}  // namespace

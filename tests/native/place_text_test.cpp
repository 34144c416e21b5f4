// Where the writer puts a new entry: the offset each mode chooses, the stretch of the file it
// maps, and the bytes inside the grown file's view.
#include <gtest/gtest.h>

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

::testing::AssertionResult Maps(const FileStretch& seen, std::uint64_t offset,
                                std::uint64_t length) {
  if (seen.offset == offset && seen.length == length) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "maps " << seen.length << " bytes from " << seen.offset
                                       << ", expected " << length << " from " << offset;
}

TEST(StretchToMap, FromTheBoundaryBelowTheEntryToTheNewEnd) {
  constexpr std::uint32_t kGranularity = 65536;
  constexpr std::uint64_t k2_5GB = 2560ull << 20, k4GiB = 4ull << 30;
  EXPECT_TRUE(Maps(StretchToMap(100, 100, 3, kGranularity), 0, 103));
  EXPECT_TRUE(Maps(StretchToMap(200 << 20, 200 << 20, 3, kGranularity), 200 << 20, 3))
      << "an append on a boundary maps its own bytes alone";
  EXPECT_TRUE(Maps(StretchToMap(k2_5GB + 70000, k2_5GB + 70000, 3, kGranularity),
                   k2_5GB + 65536, 4467));
  EXPECT_TRUE(Maps(StretchToMap(k4GiB + 100, k4GiB + 100, 3, kGranularity), k4GiB, 103));
  EXPECT_TRUE(Maps(StretchToMap(k4GiB + 100, 0, 3, kGranularity), 0, k4GiB + 103))
      << "a prepend moves the whole old content";
}

}  // namespace

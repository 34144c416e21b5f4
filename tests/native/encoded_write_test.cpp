// The output file's bytes in UTF-8 and UTF-16: the UTF-16 mark only at the very start of a
// file, never repeated by append, kept first by prepend, and never put into an old file.
#include <gtest/gtest.h>

#include "output/encoded.h"
#include "output/place.h"

namespace {

const std::string kMark16 = "\xFF\xFE";
const std::string kMark8 = "\xEF\xBB\xBF";
const std::string kTroll = "\xD0\x9C\xD1\x83";            // Му, in UTF-8
const std::string kTroll16 = std::string("\x1C\x04\x43\x04", 4);  // the same in UTF-16 LE

// The file after writing text onto `old` as the plan says.
std::string Written(const std::string& old, const std::string& text, Encoding encoding,
                    std::uint16_t mode) {
  const std::string file = mode == kOverwrite ? std::string() : old;
  EncodedWrite w = PlanWrite(text, encoding, mode, file.size(), file.substr(0, kLongestMark));
  if (w.at > file.size()) return "(beyond the end)";
  return file.substr(0, w.at) + w.bytes + file.substr(w.at);
}

TEST(EncodedWrite, Utf8GoesAsItIsWithoutAMark) {
  EXPECT_EQ(Written("old", kTroll, Encoding::kUtf8, kOverwrite), kTroll);
  EXPECT_EQ(Written("old", kTroll, Encoding::kUtf8, kAppend), "old" + kTroll);
  EXPECT_EQ(Written("old", kTroll, Encoding::kUtf8, kPrepend), kTroll + "old");
  // A UTF-8 file that starts with a mark of its own keeps it first.
  EXPECT_EQ(Written(kMark8 + "old", "new", Encoding::kUtf8, kPrepend), kMark8 + "newold");
}

TEST(EncodedWrite, Utf16MarksOnlyAFileWithNothingInIt) {
  EXPECT_EQ(Written("anything", kTroll, Encoding::kUtf16, kOverwrite), kMark16 + kTroll16);
  EXPECT_EQ(Written("", kTroll, Encoding::kUtf16, kPrepend), kMark16 + kTroll16);
  EXPECT_EQ(Written("", "", Encoding::kUtf16, kAppend), kMark16);
}

TEST(EncodedWrite, Utf16AppendAndPrependKeepTheMarkFirstAndAlone) {
  const std::string marked = kMark16 + std::string("o\0", 2);
  EXPECT_EQ(Written(marked, kTroll, Encoding::kUtf16, kAppend), marked + kTroll16);
  EXPECT_EQ(Written(marked, kTroll, Encoding::kUtf16, kPrepend),
            kMark16 + kTroll16 + std::string("o\0", 2));
  EXPECT_EQ(Written(marked, kTroll, Encoding::kUtf16, 3), marked + kTroll16) << "as append";
  EXPECT_EQ(Written(kMark16, kTroll, Encoding::kUtf16, kPrepend), kMark16 + kTroll16)
      << "a file holding only the mark";
}

TEST(EncodedWrite, Utf16OntoAnOldUnmarkedFileWritesNoMark) {
  EXPECT_EQ(Written("ansi", kTroll, Encoding::kUtf16, kAppend), "ansi" + kTroll16);
  EXPECT_EQ(Written("ansi", kTroll, Encoding::kUtf16, kPrepend), kTroll16 + "ansi");
  EXPECT_EQ(Written("\xFF", kTroll, Encoding::kUtf16, kPrepend), kTroll16 + "\xFF")
      << "half a mark is no mark";
  EXPECT_EQ(Written(kMark8 + "x", kTroll, Encoding::kUtf16, kPrepend), kTroll16 + kMark8 + "x")
      << "another encoding's mark";
}

}  // namespace

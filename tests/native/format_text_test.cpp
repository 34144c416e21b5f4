// Case-insensitive search and replace: where matches start, how zero bytes split a text,
// and what a replacement does to the text's storage.
#include <gtest/gtest.h>

#include <string>

#include "format/text.h"

namespace {

using namespace std::string_literals;

// The offset FindNoCase found, or -1 for null.
long Found(const char* haystack, const char* needle) {
  const char* at = FindNoCase(haystack, needle);
  return at ? static_cast<long>(at - haystack) : -1;
}

struct Replaced {
  std::string text;
  int count;
};

Replaced Replace(std::string text, const char* needle, const char* replacement) {
  int count = ReplaceAllNoCase(text, needle, replacement);
  return {text, count};
}

::testing::AssertionResult Gives(const Replaced& seen, const std::string& text, int count) {
  if (seen.text == text && seen.count == count) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "gave \"" << seen.text << "\" (" << seen.text.size()
                                       << " bytes) with count " << seen.count << ", expected \""
                                       << text << "\" (" << text.size() << " bytes) with count "
                                       << count;
}

TEST(FindNoCase, FindsTheLeftmostMatchInAnyCase) {
  EXPECT_EQ(Found("Now %LENGTH% left", "%length%"), 4);
  EXPECT_EQ(Found("abcABC", "Bc"), 1);
  EXPECT_EQ(Found("aaab", "aab"), 1) << "a partial match does not skip the next start";
  EXPECT_EQ(Found("xyz", "xyzw"), -1) << "the needle runs past the end";
  EXPECT_EQ(Found("abc", "abc"), 0);
  EXPECT_EQ(Found("[", "{"), -1) << "only letters fold";
  EXPECT_EQ(Found("@", "`"), -1);
}

TEST(FindNoCase, EmptyNeedleFindsTheHaystackItself) {
  EXPECT_EQ(Found("abc", ""), 0);
  EXPECT_EQ(Found("", ""), 0);
  EXPECT_EQ(Found("", "x"), -1);
  EXPECT_EQ(FindNoCase(nullptr, "x"), nullptr);
}

TEST(FindNoCase, FoldsAsciiLettersOnly) {
  EXPECT_EQ(Found("\xC9t\xE9", "\xE9"), 2) << "0xC9 and 0xE9 do not match each other";
  EXPECT_EQ(Found("\xC9", "\xE9"), -1);
  EXPECT_EQ(Found("ZAPzap", "pZa"), 2);
}

TEST(FindNoCase, StopsAtTheFirstZeroByte) {
  std::string text = "abc\0%Title%"s;
  EXPECT_EQ(Found(text.c_str(), "%title%"), -1);
}

TEST(SameNoCase, ComparesWholeTextsWithLettersFolded) {
  EXPECT_TRUE(SameNoCase("FULLTITLE", "fulltitle"));
  EXPECT_TRUE(SameNoCase("FullTitle", "fullTITLE"));
  EXPECT_TRUE(SameNoCase("", ""));
  EXPECT_FALSE(SameNoCase("full", "fulltitle"));
  EXPECT_FALSE(SameNoCase("fulltitle", "full"));
  EXPECT_FALSE(SameNoCase("year2", "year"));
  EXPECT_FALSE(SameNoCase("\xC9", "\xE9"));
  EXPECT_FALSE(SameNoCase(nullptr, ""));
}

TEST(ReplaceAllNoCase, MissingOrEmptyNeedleChangesNothing) {
  EXPECT_TRUE(Gives(Replace("abc", nullptr, "x"), "abc", 0));
  EXPECT_TRUE(Gives(Replace("abc", "", "x"), "abc", 0));
  EXPECT_TRUE(Gives(Replace("", "", "x"), "", 0));
  EXPECT_TRUE(Gives(Replace("", "a", "x"), "", 0));
}

TEST(ReplaceAllNoCase, ReplacesEveryMatchInAnyCase) {
  EXPECT_TRUE(Gives(Replace("a%Mode%b%mode%c", "%Mode%", nullptr), "abc", 2))
      << "a null replacement deletes";
  EXPECT_TRUE(Gives(Replace("%TITLE% and %title%", "%Title%", "Song"), "Song and Song", 2));
  EXPECT_TRUE(Gives(Replace("Artist - Song - Mix", " - ", " \x95 "),
                    "Artist \x95 Song \x95 Mix", 2));
  EXPECT_TRUE(Gives(Replace("\xC9\xE9", "\xE9", "e"), "\xC9" "e", 1));
}

TEST(ReplaceAllNoCase, MatchesDoNotOverlapAndReplacementsAreNotSearched) {
  EXPECT_TRUE(Gives(Replace("aaa", "aa", "b"), "ba", 1));
  EXPECT_TRUE(Gives(Replace("aaaa", "aa", "b"), "bb", 2));
  EXPECT_TRUE(Gives(Replace("%Title%", "%Title%", "[%Title%]"), "[%Title%]", 1));
  EXPECT_TRUE(Gives(Replace("xx", "x", "xx"), "xxxx", 2));
}

TEST(ReplaceAllNoCase, ZeroBytesSeparateSegmentsThatStayInPlace) {
  const std::string text = "A%Title%B\0C%title%"s;
  ASSERT_EQ(text.size(), 18u);
  EXPECT_TRUE(Gives(Replace(text, "%Title%", "xyz"), "AxyzB\0Cxyz"s, 2));
  EXPECT_TRUE(Gives(Replace(text, "%Title%", "a longer value"),
                    "Aa longer valueB\0Ca longer value"s, 2));

  std::string roomy = text;
  roomy.reserve(200);
  const char* storage = roomy.data();
  EXPECT_EQ(ReplaceAllNoCase(roomy, "%Title%", "a longer value"), 2);
  EXPECT_EQ(roomy, "Aa longer valueB\0Ca longer value"s);
  EXPECT_EQ(roomy.data(), storage) << "storage with room is used in place";

  EXPECT_TRUE(Gives(Replace("\0\0ab\0\0ab\0"s, "ab", "xyz"), "\0\0xyz\0\0xyz\0"s, 2));
  EXPECT_TRUE(Gives(Replace("ab\0cd"s, "bc", "x"), "ab\0cd"s, 0)) << "a match never spans a zero";
  EXPECT_TRUE(Gives(Replace("ab\0"s, "b", ""), "a\0"s, 1));
}

TEST(ReplaceAllNoCase, AMissWorksOnTheTextAlone) {
  std::string text = "Now playing %FullTitle%";
  text.reserve(100);
  const char* storage = text.data();
  const std::size_t capacity = text.capacity();
  std::string copy = text;

  EXPECT_EQ(ReplaceAllNoCase(text, "%Artist%", "someone"), 0);
  EXPECT_EQ(text, copy);
  EXPECT_EQ(text.data(), storage);
  EXPECT_EQ(text.capacity(), capacity);

  EXPECT_EQ(ReplaceAllNoCase(text, "%fulltitle%", "a title"), 1);
  EXPECT_EQ(copy, "Now playing %FullTitle%") << "another copy keeps its contents";
}

TEST(ReplaceAllNoCase, AReplacementPastTheLimitIsNotMadeAtAll) {
  std::string text = "a%X%b%x%";
  EXPECT_EQ(ReplaceAllNoCase(text, "%x%", "12345", 12), 2) << "up to the limit itself";
  EXPECT_EQ(text, "a12345b12345");
  text = "a%X%b%x%";
  text.reserve(100);
  const char* storage = text.data();
  EXPECT_EQ(ReplaceAllNoCase(text, "%x%", "123456", 13), -1);
  EXPECT_EQ(text, "a%X%b%x%");
  EXPECT_EQ(text.data(), storage);
}

TEST(ReplaceAll, StepsOverDoubleByteCharacters) {
  LeadBytes cp932;  // the lead bytes of code page 932
  for (int b = 0x81; b <= 0x9F; ++b) cp932.set(b);
  for (int b = 0xE0; b <= 0xFC; ++b) cp932.set(b);
  // 0x95 0x5C is one character, and so is 0x81 0x81, whose second byte alone would lead one;
  // a zero byte ends a character it follows.
  std::string text = "\x95\x5Cn|\\n|\x81\x81\\n|\x95\0\\n\x95"s;
  EXPECT_EQ(ReplaceAll(text, "\\n", "\n", cp932), 3);
  EXPECT_EQ(text, "\x95\x5Cn|\n|\x81\x81\n|\x95\0\n\x95"s);
}

TEST(ReplaceAllNoCase, ManyMatchesGrowAndShrinkExactly) {
  std::string text, grown, shrunk;
  for (int i = 0; i < 20000; ++i) {
    text += "<%Length%>" + std::string(i % 7, '.') + (i % 1000 == 0 ? "\0"s : ""s);
    grown += "<12:34:56>" + std::string(i % 7, '.') + (i % 1000 == 0 ? "\0"s : ""s);
    shrunk += "<>" + std::string(i % 7, '.') + (i % 1000 == 0 ? "\0"s : ""s);
  }
  std::string a = text;
  EXPECT_EQ(ReplaceAllNoCase(a, "%LENGTH%", "12:34:56"), 20000);
  EXPECT_TRUE(a == grown) << "grown text differs";
  std::string b = text;
  EXPECT_EQ(ReplaceAllNoCase(b, "%length%", nullptr), 20000);
  EXPECT_TRUE(b == shrunk) << "shrunk text differs";
}

}  // namespace

// UTF-8 and UTF-16: conversions of the texts the plug-in meets, ill-formed input, the tooltip's
// cut at a surrogate pair, and the three forms a template file may come in.
#include <gtest/gtest.h>

#include <string>

#include "encoding/unicode.h"

namespace {

// The same texts in both forms, spelled out unit by unit.
const std::string kSakamoto = "\xE5\x9D\x82\xE6\x9C\xAC\xE9\xBE\x8D\xE4\xB8\x80";  // 坂本龍一
const std::u16string kSakamoto16 = {0x5742, 0x672C, 0x9F8D, 0x4E00};
const std::string kNote = "\xF0\x9F\x8E\xB5";  // U+1F3B5, a pair in UTF-16
const std::u16string kNote16 = {0xD83C, 0xDFB5};
const std::string kBeyonce = "Beyonc\xC3\xA9";
const std::string kTroll = "\xD0\x9C\xD1\x83\xD0\xBC\xD0\xB8\xD0\xB9";  // Мумий
const std::u16string kTroll16 = {0x041C, 0x0443, 0x043C, 0x0438, 0x0439};

const std::u16string kFffd = u"\uFFFD";

// A stand-in for the code page: every byte is the character of the same number (Latin-1).
std::string Latin1(std::string_view bytes) {
  std::u16string utf16;
  for (char c : bytes) utf16 += static_cast<char16_t>(static_cast<unsigned char>(c));
  return Utf16ToUtf8(utf16);
}

TEST(Unicode, ConvertsEveryPlaneBothWays) {
  const std::string utf8 = kSakamoto + " / " + kTroll + " / " + kBeyonce + " " + kNote;
  const std::u16string utf16 =
      kSakamoto16 + u" / " + kTroll16 + u" / Beyonc\u00E9 " + kNote16;
  EXPECT_EQ(Utf8ToUtf16(utf8), utf16);
  EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
  EXPECT_TRUE(IsUtf8(utf8));
  // Zero bytes are characters like any other.
  EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
  EXPECT_EQ(Utf16LeBytes(kNote16 + u"A"), std::string("\x3C\xD8\xB5\xDF\x41\x00", 6));
}

TEST(Unicode, IllFormedUtf8BecomesReplacementCharacters) {
  struct Case {
    std::string bytes;
    std::u16string expected;
  };
  const Case cases[] = {
      {"\xC0\x80", kFffd + kFffd},                  // overlong: both bytes are bad leads
      {"\xE0\x80\x80", kFffd + kFffd + kFffd},      // overlong three-byte form
      {"\xED\xA0\x80", kFffd + kFffd + kFffd},      // an encoded surrogate
      {"\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},  // past U+10FFFF
      {"\xE2\x82" "A", kFffd + u"A"},               // cut short: one U+FFFD, the A kept
      {"\x80" "A", kFffd + u"A"},                   // a continuation without a lead
      {"\xF0\x9F\x8E", kFffd},                      // the note without its last byte
      {"caf\xE9", u"caf" + kFffd},                  // a code-page byte
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.bytes), c.expected) << testing::PrintToString(c.bytes);
    EXPECT_FALSE(IsUtf8(c.bytes)) << testing::PrintToString(c.bytes);
  }
}

TEST(Unicode, LoneSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf16ToUtf8(u"a\xD83C" "b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, 0xDFB5)), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, 0xD83C)), "\xEF\xBF\xBD") << "a high half at the end";
}

TEST(Unicode, ACutNeverSplitsASurrogatePair) {
  const std::u16string tip = u"ab" + kNote16 + u"c";  // a, b, high, low, c
  EXPECT_EQ(FittingUnits(tip, 5), 5u);
  EXPECT_EQ(FittingUnits(tip, 4), 4u) << "the pair fits whole";
  EXPECT_EQ(FittingUnits(tip, 3), 2u) << "only the high half would fit: the pair is left out";
  EXPECT_EQ(FittingUnits(tip, 2), 2u);
  EXPECT_EQ(FittingUnits(tip, 0), 0u);
  EXPECT_EQ(FittingUnits(u"ab", 127), 2u);
}

TEST(DecodeFileText, TheMarkDecidesAndNeverStays) {
  const std::string text = kTroll + " %Title%\n";
  EXPECT_EQ(DecodeFileText("\xEF\xBB\xBF" + text, Latin1), text);
  EXPECT_EQ(DecodeFileText("\xFF\xFE" + Utf16LeBytes(Utf8ToUtf16(text)), Latin1), text);
  EXPECT_EQ(DecodeFileText(text, Latin1), text) << "no mark: UTF-8";
  EXPECT_EQ(DecodeFileText("\xEF\xBB\xBF", Latin1), "");
  EXPECT_EQ(DecodeFileText("\xFF\xFE", Latin1), "");
}

TEST(DecodeFileText, AFileThatIsNotUtf8IsTakenInTheCodePage) {
  EXPECT_EQ(DecodeFileText("Beyonc\xE9", Latin1), kBeyonce);
  // With a UTF-8 mark the file says what it is: what is broken in it becomes U+FFFD.
  EXPECT_EQ(DecodeFileText("\xEF\xBB\xBF" "Beyonc\xE9", Latin1), "Beyonc\xEF\xBF\xBD");
}

}  // namespace

// A path's last separator in a double-byte code page: a backslash that ends a character is
// not one.
#include <gtest/gtest.h>

#include <bitset>
#include <string>

#include "encoding/multibyte.h"

namespace {

// The lead bytes of code page 932 (Shift JIS), as the system names them.
std::bitset<256> ShiftJisLeads() {
  std::bitset<256> leads;
  for (unsigned b = 0x81; b <= 0x9F; ++b) leads.set(b);
  for (unsigned b = 0xE0; b <= 0xFC; ++b) leads.set(b);
  return leads;
}

TEST(Multibyte, ASeparatorThatEndsACharacterIsNotOne) {
  const std::string table = "\x95\x5C";  // U+8868, its second byte a backslash
  const std::bitset<256> leads = ShiftJisLeads();
  EXPECT_EQ(LastSeparator("C:\\" + table + "\\out.txt", leads), 5u);
  EXPECT_EQ(LastSeparator("C:\\" + table, leads), 2u);
  EXPECT_EQ(LastSeparator("C:/" + table + "/" + table, leads), 5u);
  EXPECT_EQ(LastSeparator(table + table, leads), std::string::npos);
  // A lead byte at the very end has no second byte to take.
  EXPECT_EQ(LastSeparator("a\\\x95", leads), 1u);
  // Without lead bytes (one-byte code pages, UTF-8) every backslash byte is a separator.
  EXPECT_EQ(LastSeparator("C:\\" + table, {}), 4u);
}

}  // namespace

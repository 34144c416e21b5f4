// UTF-8 and UTF-16 conversions, byte-order marks and the decoding of the user's text files.
// Every function works on its arguments alone and is linear in the text.
#include "encoding/unicode.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr Utf16Unit kFirstHighSurrogate = 0xD800;
constexpr Utf16Unit kFirstLowSurrogate = 0xDC00;
constexpr Utf16Unit kLastLowSurrogate = 0xDFFF;
constexpr char32_t kFirstSupplementary = 0x10000;

bool IsHigh(Utf16Unit u) { return u >= kFirstHighSurrogate && u < kFirstLowSurrogate; }
bool IsLow(Utf16Unit u) { return u >= kFirstLowSurrogate && u <= kLastLowSurrogate; }

unsigned char Byte(std::string_view s, std::size_t i) { return static_cast<unsigned char>(s[i]); }

// The code point of the sequence at s[i], moving i past it. An ill-formed sequence gives
// U+FFFD and moves past its longest well-formed beginning (at least one byte), so that the
// byte which broke it starts the next sequence.
char32_t NextCodePoint(std::string_view s, std::size_t& i, bool& wellFormed) {
  const unsigned char lead = Byte(s, i++);
  if (lead < 0x80) return lead;
  // The range the second byte must lie in, and how many continuation bytes follow the lead.
  unsigned char low = 0x80, high = 0xBF;
  int more = 0;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    more = 1;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    more = 2;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    more = 3;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    wellFormed = false;
    return kReplacement;
  }
  for (int k = 0; k < more; ++k) {
    if (i >= s.size() || Byte(s, i) < low || Byte(s, i) > high) {
      wellFormed = false;
      return kReplacement;
    }
    value = (value << 6) | (Byte(s, i++) & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  return value;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < kFirstSupplementary) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(Utf16String& out, char32_t c) {
  if (c < kFirstSupplementary) {
    out += static_cast<Utf16Unit>(c);
  } else {
    c -= kFirstSupplementary;
    out += static_cast<Utf16Unit>(kFirstHighSurrogate + (c >> 10));
    out += static_cast<Utf16Unit>(kFirstLowSurrogate + (c & 0x3FF));
  }
}

bool StartsWith(std::string_view bytes, std::string_view mark) {
  return bytes.substr(0, mark.size()) == mark;
}

}  // namespace

Encoding EncodingFromSetting(int number) {
  if (number == static_cast<int>(Encoding::kUtf8)) return Encoding::kUtf8;
  if (number == static_cast<int>(Encoding::kUtf16)) return Encoding::kUtf16;
  return Encoding::kAnsi;
}

Utf16String Utf8ToUtf16(std::string_view utf8) {
  Utf16String out;
  out.reserve(utf8.size());
  bool wellFormed = true;
  for (std::size_t i = 0; i < utf8.size();) AppendUtf16(out, NextCodePoint(utf8, i, wellFormed));
  return out;
}

std::string Utf16ToUtf8(Utf16View utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    Utf16Unit u = utf16[i];
    char32_t c = u;
    if (IsHigh(u) && i + 1 < utf16.size() && IsLow(utf16[i + 1])) {
      c = kFirstSupplementary + ((static_cast<char32_t>(u - kFirstHighSurrogate) << 10) |
                                 static_cast<char32_t>(utf16[++i] - kFirstLowSurrogate));
    } else if (IsHigh(u) || IsLow(u)) {
      c = kReplacement;  // a surrogate without its partner
    }
    AppendUtf8(out, c);
  }
  return out;
}

bool IsUtf8(std::string_view bytes) {
  bool wellFormed = true;
  for (std::size_t i = 0; i < bytes.size() && wellFormed;) NextCodePoint(bytes, i, wellFormed);
  return wellFormed;
}

std::string Utf16LeBytes(Utf16View utf16) {
  std::string bytes;
  bytes.reserve(utf16.size() * 2);
  for (Utf16Unit u : utf16) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

Utf16String FromUtf16LeBytes(std::string_view bytes) {
  Utf16String utf16;
  utf16.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    utf16 += static_cast<Utf16Unit>(Byte(bytes, i) | (Byte(bytes, i + 1) << 8));
  return utf16;
}

std::size_t FittingUnits(Utf16View utf16, std::size_t room) {
  if (utf16.size() <= room) return utf16.size();
  // The unit after the cut would be the low half of a pair whose high half is the last one
  // kept: leave the pair out whole.
  if (room > 0 && IsHigh(utf16[room - 1]) && IsLow(utf16[room])) return room - 1;
  return room;
}

std::string DecodeFileText(std::string_view bytes,
                           std::string (*fromCodePage)(std::string_view bytes)) {
  if (StartsWith(bytes, kUtf8Mark)) {
    // Marked as UTF-8 yet ill-formed: the broken sequences become U+FFFD, never raw bytes.
    std::string_view text = bytes.substr(kUtf8Mark.size());
    return IsUtf8(text) ? std::string(text) : Utf16ToUtf8(Utf8ToUtf16(text));
  }
  if (StartsWith(bytes, kUtf16LeMark))
    return Utf16ToUtf8(FromUtf16LeBytes(bytes.substr(kUtf16LeMark.size())));
  if (IsUtf8(bytes) || !fromCodePage) return std::string(bytes);
  return fromCodePage(bytes);
}

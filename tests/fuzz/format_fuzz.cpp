// Fuzzing the search, the replacements (also over the double-byte characters of code page
// 932) and the length forms against plain, slow models of what they must give, and the UTF-8
// and UTF-16 conversions against what every result must be.
// Built and run by tests/fuzz/run (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer).
//
// The input is split at its first two 0x01 bytes into text, needle and replacement; the
// text keeps any zero bytes it holds.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "encoding/unicode.h"
#include "format/tag_forms.h"
#include "format/text.h"

namespace {

unsigned char Fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

bool MatchesAt(const std::string& text, std::size_t at, const std::string& needle,
               bool fold = true) {
  if (at + needle.size() > text.size()) return false;
  for (std::size_t i = 0; i < needle.size(); ++i) {
    unsigned char h = static_cast<unsigned char>(text[at + i]);
    unsigned char n = static_cast<unsigned char>(needle[i]);
    if (h == 0 || (fold ? Fold(h) != Fold(n) : h != n)) return false;
  }
  return true;
}

// Left to right, a fresh copy, no zero byte inside a match; with `leads`, a match starts only
// where a character does (a lead byte and the byte after it, unless that is zero, are one).
std::string ModelReplace(const std::string& text, const std::string& needle,
                         const std::string& replacement, int* count, bool fold = true,
                         const LeadBytes* leads = nullptr) {
  std::string out;
  *count = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (!needle.empty() && MatchesAt(text, i, needle, fold)) {
      out += replacement;
      i += needle.size();
      ++*count;
    } else {
      bool pair = leads && leads->test(static_cast<unsigned char>(text[i])) &&
                  i + 1 < text.size() && text[i + 1] != 0;
      out += text[i++];
      if (pair) out += text[i++];
    }
  }
  return out;
}

// The lead bytes of code page 932.
LeadBytes Cp932() {
  LeadBytes leads;
  for (int b = 0x81; b <= 0x9F; ++b) leads.set(b);
  for (int b = 0xE0; b <= 0xFC; ++b) leads.set(b);
  return leads;
}

void Fail(const char* what) {
  std::fprintf(stderr, "mismatch: %s\n", what);
  std::abort();
}

void CheckLengthForms(int v) {
  const int h = v / 3600, m = (v / 60) % 60, s = v % 60;
  char expected[128];
  if (h) std::snprintf(expected, sizeof expected, "%d:%02d:%02d", h, m, s);
  else std::snprintf(expected, sizeof expected, "%d:%02d", m, s);
  if (ShortLength(v) != expected) Fail("short length");
  std::string longForm = LongLength(v);
  if (longForm.find(std::to_string(s) + (s == 1 ? " Second" : " Seconds")) == std::string::npos)
    Fail("long length");
  if ((h != 0) != (longForm.find("Hour") != std::string::npos)) Fail("long length hours");
}

// Whatever the bytes, every conversion gives well-formed text, and well-formed text survives
// the way there and back unchanged; no cut splits a surrogate pair.
void CheckConversions(const std::string& bytes) {
  const std::u16string utf16 = Utf8ToUtf16(bytes);
  const std::string back = Utf16ToUtf8(utf16);
  if (!IsUtf8(back)) Fail("utf-8 from utf-16 is ill-formed");
  if (IsUtf8(bytes) && back != bytes) Fail("well-formed utf-8 changed on the way");
  if (Utf8ToUtf16(back) != utf16) Fail("utf-16 changed on the way");
  const std::u16string units = FromUtf16LeBytes(bytes);
  if (Utf16LeBytes(units) != bytes.substr(0, bytes.size() / 2 * 2)) Fail("utf-16 le bytes");
  if (!IsUtf8(Utf16ToUtf8(units))) Fail("utf-8 from arbitrary units is ill-formed");
  for (std::size_t room = 0; room <= units.size(); ++room) {
    std::size_t kept = FittingUnits(units, room);
    if (kept > room || kept + 1 < room) Fail("cut: too long or too short");
    if (kept > 0 && kept < units.size() && units[kept - 1] >= 0xD800 &&
        units[kept - 1] < 0xDC00 && units[kept] >= 0xDC00 && units[kept] < 0xE000)
      Fail("cut splits a pair");
  }
  auto sanitize = [](std::string_view b) { return Utf16ToUtf8(Utf8ToUtf16(b)); };
  if (!IsUtf8(DecodeFileText(bytes, sanitize))) Fail("decoded file is ill-formed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::size_t a = input.find('\x01');
  std::size_t b = a == std::string::npos ? a : input.find('\x01', a + 1);
  std::string text = input.substr(0, a);
  std::string needle = a == std::string::npos ? "" : input.substr(a + 1, b - a - 1);
  std::string replacement = b == std::string::npos ? "" : input.substr(b + 1);
  // The needle and the replacement are zero-terminated texts: only up to their first zero.
  needle = needle.c_str();
  replacement = replacement.c_str();

  // FindNoCase sees the text up to its first zero.
  const char* found = FindNoCase(text.c_str(), needle.c_str());
  std::string head = text.c_str();
  std::size_t first = std::string::npos;
  for (std::size_t i = 0; i <= head.size() && first == std::string::npos; ++i)
    if (needle.empty() || MatchesAt(head, i, needle)) first = i;
  if ((found == nullptr) != (first == std::string::npos)) Fail("find: found or not");
  if (found && static_cast<std::size_t>(found - text.c_str()) != first) Fail("find: position");

  int expectedCount = 0;
  std::string expected = ModelReplace(text, needle, replacement, &expectedCount);
  for (const char* r : {replacement.c_str(), static_cast<const char*>(nullptr)}) {
    std::string changed = text;
    if (r == nullptr) expected = ModelReplace(text, needle, "", &expectedCount);
    const char* storage = changed.data();
    const std::size_t capacity = changed.capacity();
    int count = ReplaceAllNoCase(changed, needle.c_str(), r);
    if (count != expectedCount) Fail("replace: count");
    if (changed != expected) Fail("replace: text");
    if (count == 0 && (changed.data() != storage || changed.capacity() != capacity))
      Fail("replace: a miss touched the storage");
  }

  // The exact replacement: letters match in their own case only.
  std::string exact = text;
  int exactCount = ReplaceAll(exact, needle.c_str(), replacement.c_str());
  if (exact != ModelReplace(text, needle, replacement, &expectedCount, false) ||
      exactCount != expectedCount)
    Fail("exact replace");
  // The same in code page 932, for needles without lead bytes.
  static const LeadBytes kCp932 = Cp932();
  bool needleHasLead = false;
  for (unsigned char c : needle) needleHasLead = needleHasLead || kCp932.test(c);
  if (!needleHasLead) {
    std::string dbcs = text;
    int dbcsCount = ReplaceAll(dbcs, needle.c_str(), replacement.c_str(), kCp932);
    if (dbcs != ModelReplace(text, needle, replacement, &expectedCount, false, &kCp932) ||
        dbcsCount != expectedCount)
      Fail("exact replace over double-byte characters");
  }

  int v = 0;
  if (size >= sizeof v) std::memcpy(&v, data, sizeof v);
  CheckLengthForms(v);
  CheckLengthForms(v == INT_MIN ? 0 : -v);
  Year2(head);
  SongTitle(head);
  CheckConversions(text);
  return 0;
}

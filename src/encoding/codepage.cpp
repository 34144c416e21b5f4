// Conversions between the system's ANSI code page, UTF-8 and UTF-16 (wchar_t, 16 bits here),
// and what the plug-in asks of a code page: its lead bytes, a path's folder, its exact spelling
// of a character.
#include <windows.h>

#include <climits>
#include <type_traits>

#include "encoding/encoding.h"
#include "encoding/multibyte.h"

static_assert(std::is_same_v<Utf16String, std::wstring>, "the system's wide texts are UTF-16");

namespace {

// Lengths beyond an int cannot be handed to the system's conversions; no text of the plug-in
// comes near that.
int Units(std::size_t size) { return size > INT_MAX ? 0 : static_cast<int>(size); }

std::wstring CodePageToWide(std::string_view text) {
  const int length = Units(text.size());
  if (length == 0) return {};
  int units = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (units <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  units = MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), units);
  wide.resize(units > 0 ? static_cast<std::size_t>(units) : 0);
  return wide;
}

std::string WideToCodePage(std::wstring_view wide) {
  const int length = Units(wide.size());
  if (length == 0) return {};
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string text(static_cast<std::size_t>(bytes), '\0');
  bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, text.data(), bytes, nullptr,
                              nullptr);
  text.resize(bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
  return text;
}

}  // namespace

unsigned PlayerCodePage() { return GetACP(); }

std::bitset<256> CodePageLeadBytes(unsigned codePage) {
  std::bitset<256> leads;
  CPINFO info = {};
  if (!GetCPInfo(codePage, &info)) return leads;
  // Ranges of first and last byte, ended by a pair of zeros.
  for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2)
    for (unsigned b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) leads.set(b);
  return leads;
}

std::bitset<256> TextLeadBytes(Encoding encoding) {
  return IsUnicode(encoding) ? std::bitset<256>() : CodePageLeadBytes(PlayerCodePage());
}

std::string PathFolder(std::string_view path) {
  const std::size_t slash = LastSeparator(path, CodePageLeadBytes(PlayerCodePage()));
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string ExactCodePageText(std::wstring_view wide, unsigned codePage) {
  const int length = Units(wide.size());
  if (length == 0) return {};
  // UTF-8 spells every character, and the conversion refuses both the flag and the question.
  const bool utf8 = codePage == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  int bytes = WideCharToMultiByte(codePage, flags, wide.data(), length, nullptr, 0, nullptr,
                                  utf8 ? nullptr : &lossy);
  if (bytes <= 0 || lossy) return {};
  std::string text(static_cast<std::size_t>(bytes), '\0');
  bytes = WideCharToMultiByte(codePage, flags, wide.data(), length, text.data(), bytes, nullptr,
                              nullptr);
  text.resize(bytes > 0 ? static_cast<std::size_t>(bytes) : 0);
  return text;
}

std::string CodePageToUtf8(std::string_view text) { return Utf16ToUtf8(CodePageToWide(text)); }

std::string Utf8ToCodePage(std::string_view utf8) { return WideToCodePage(Utf8ToUtf16(utf8)); }

std::wstring WideText(std::string_view text, Encoding encoding) {
  return IsUnicode(encoding) ? Utf8ToUtf16(text) : CodePageToWide(text);
}

std::string FromWide(std::wstring_view wide, Encoding encoding) {
  return IsUnicode(encoding) ? Utf16ToUtf8(wide) : WideToCodePage(wide);
}

std::string FromCodePage(std::string_view text, Encoding encoding) {
  return IsUnicode(encoding) ? CodePageToUtf8(text) : std::string(text);
}

std::string DecodeFile(std::string_view bytes, Encoding encoding) {
  return IsUnicode(encoding) ? DecodeFileText(bytes, CodePageToUtf8) : std::string(bytes);
}

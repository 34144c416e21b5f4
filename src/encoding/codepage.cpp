// Conversions between the system's ANSI code page, UTF-8 and UTF-16 (wchar_t, 16 bits here).
#include <windows.h>

#include <climits>
#include <type_traits>

#include "encoding/encoding.h"

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

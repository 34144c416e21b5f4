// The text encodings the plug-in can work in, and the conversions between UTF-8 and UTF-16
// that they need. With kAnsi every text is in the player's code page, as it always was; with
// kUtf8 and kUtf16 texts travel inside as UTF-8 in the same std::strings and leave as UTF-16
// for the system's wide calls and, with kUtf16, for the output file.
//
// Pure and free of <windows.h> (unicode.cpp is tested natively and fuzzed). Malformed input is
// never passed on: each ill-formed UTF-8 sequence and each lone surrogate becomes U+FFFD.
#pragma once

#include <cstddef>
#include <cwchar>
#include <string>
#include <string_view>

// UTF-16 code units: wchar_t where it has 16 bits (Windows, so that the system's wide texts need
// no copy), char16_t elsewhere (the native tests).
#if WCHAR_MAX == 0xFFFF
using Utf16Unit = wchar_t;
#else
using Utf16Unit = char16_t;
#endif
using Utf16String = std::basic_string<Utf16Unit>;
using Utf16View = std::basic_string_view<Utf16Unit>;

// The TextEncoding setting's values.
enum class Encoding : unsigned {
  kAnsi = 0,   // the player's code page, no mark
  kUtf8 = 1,   // UTF-8, no mark
  kUtf16 = 2,  // UTF-16 little-endian, with its mark at the start of the output file
};

// The setting's number as an encoding: any value but 1 and 2 is kAnsi.
Encoding EncodingFromSetting(int number);

// Whether texts travel inside as UTF-8 (and are shown and spoken through the wide calls).
inline bool IsUnicode(Encoding encoding) { return encoding != Encoding::kAnsi; }

// Byte-order marks.
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";

Utf16String Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(Utf16View utf16);

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsUtf8(std::string_view bytes);

// UTF-16 code units as little-endian bytes, and back (an odd last byte is dropped).
std::string Utf16LeBytes(Utf16View utf16);
Utf16String FromUtf16LeBytes(std::string_view bytes);

// How many of the first units fit into `room` units without splitting a surrogate pair.
std::size_t FittingUnits(Utf16View utf16, std::size_t room);

// A template or "Not Playing" file's bytes as UTF-8: a UTF-8 or UTF-16 LE mark decides and is
// dropped; without one the bytes are taken as UTF-8, unless they are not well-formed UTF-8, in
// which case the file predates the setting and `fromCodePage` decodes it.
std::string DecodeFileText(std::string_view bytes,
                           std::string (*fromCodePage)(std::string_view bytes));

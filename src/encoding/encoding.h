// Texts between the forms the plug-in meets: the player's code page (the system's ANSI code
// page), UTF-8 as texts travel inside with the Unicode encodings, and UTF-16 for the system's
// wide calls. The pure conversions are in unicode.h, which the native tests use. Also what the
// plug-in asks of a code page: its lead bytes, the folder of a path and its own spelling of a
// character.
//
// Every function works on its arguments and the system's code page alone, keeps a text's whole
// counted length (zero bytes included) and is linear in it. Anything the code page cannot hold
// becomes its default character, but in ExactCodePageText.
#pragma once

#include <bitset>
#include <string>
#include <string_view>

#include "encoding/unicode.h"

// The player's code page: the system's ANSI code page, which its ANSI answers and ours are in.
unsigned PlayerCodePage();

// The lead bytes of a code page's double-byte characters (932, 936, 949, 950): a byte marked
// here and the one after it are one character. None for the code pages of one byte and UTF-8.
std::bitset<256> CodePageLeadBytes(unsigned codePage);
// Those of the texts in `encoding`: the player's code page's with kAnsi, none in UTF-8.
std::bitset<256> TextLeadBytes(Encoding encoding);

// The folder of `path`, a path in the player's code page, with its separator; empty for a bare
// name. A backslash that is the second byte of a character (multibyte.h) separates nothing.
std::string PathFolder(std::string_view path);

// `wide` as the code page spells it character for character, never by a best fit to another
// character; empty when it cannot.
std::string ExactCodePageText(std::wstring_view wide, unsigned codePage);

std::string CodePageToUtf8(std::string_view text);
std::string Utf8ToCodePage(std::string_view utf8);

// A text in the form `encoding` says (the code page for kAnsi, else UTF-8) as UTF-16, and back.
std::wstring WideText(std::string_view text, Encoding encoding);
std::string FromWide(std::wstring_view wide, Encoding encoding);

// A code-page text (a setting as the INI file holds it, an answer of an ANSI request) in the
// form `encoding` says.
std::string FromCodePage(std::string_view text, Encoding encoding);

// A template or "Not Playing" file's bytes as texts travel inside: byte for byte with kAnsi,
// else decoded to UTF-8 (DecodeFileText, the code page for an old file without a mark).
std::string DecodeFile(std::string_view bytes, Encoding encoding);

// What a write puts into the output file under the TextEncoding setting, and where: the text in
// its encoding, the UTF-16 mark at the very start of a file that has no content yet, and, for
// prepend, the place after a mark the file already starts with. Pure and free of <windows.h>
// (encoded.cpp is tested natively); the writer supplies the file's length and first bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "encoding/unicode.h"

// The longest mark a file may start with; the writer hands over at least this many first bytes
// of a file it prepends to (fewer only when the file is shorter).
constexpr std::size_t kLongestMark = 3;

struct EncodedWrite {
  std::string bytes;     // what goes into the file
  std::uint64_t at = 0;  // where it goes; the old bytes from here on move up behind it
};

// `text` is in the code page (kAnsi) or UTF-8; `oldLength` is the file's length once opened
// (0 in overwrite mode), `oldHead` its first bytes. With kAnsi and kUtf8 the text goes as it is;
// with kUtf16 it goes as UTF-16 LE, after the mark when the file is empty. A mark is never
// written into the middle of a file: appending to a file with content adds no mark, and
// prepending puts the text after the encoding's mark when the file starts with it, else at the
// front, again without one. With kAnsi nothing of marks is looked at.
EncodedWrite PlanWrite(const std::string& text, Encoding encoding, std::uint16_t mode,
                       std::uint64_t oldLength, std::string_view oldHead);

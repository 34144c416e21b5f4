// The bytes of a write and where they go, by the TextEncoding setting. Kept apart from the file
// calls so that the mark rules are tested without Windows.
#include "output/encoded.h"

#include "output/place.h"

namespace {

// The mark a file in this encoding starts with, if it has one; none for the code page.
std::string_view MarkOf(Encoding encoding) {
  switch (encoding) {
    case Encoding::kUtf8:
      return kUtf8Mark;
    case Encoding::kUtf16:
      return kUtf16LeMark;
    case Encoding::kAnsi:
      break;
  }
  return {};
}

}  // namespace

EncodedWrite PlanWrite(const std::string& text, Encoding encoding, std::uint16_t mode,
                       std::uint64_t oldLength, std::string_view oldHead) {
  EncodedWrite write;
  if (encoding == Encoding::kUtf16) {
    // Only a file with nothing in it yet gets the mark: created, emptied or overwritten.
    if (oldLength == 0) write.bytes = kUtf16LeMark;
    write.bytes += Utf16LeBytes(Utf8ToUtf16(text));
  } else {
    write.bytes = text;
  }
  write.at = EntryOffset(oldLength, mode);
  if (mode != kPrepend) return write;
  // Prepend: a mark the file starts with stays first; the text goes in after it.
  const std::string_view mark = MarkOf(encoding);
  const bool marked = !mark.empty() && oldLength >= mark.size() &&
                      oldHead.substr(0, mark.size()) == mark;
  write.at = marked ? mark.size() : 0;
  return write;
}

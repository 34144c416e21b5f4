// Where a new entry goes in the output file. Kept apart from the file calls so that it can be
// tested without Windows.
#include <cstring>

#include "output/place.h"

std::uint64_t EntryOffset(std::uint64_t oldLength, std::uint16_t mode) {
  return mode == kPrepend ? 0 : oldLength;
}

FileStretch StretchToMap(std::uint64_t oldLength, std::uint64_t at, std::uint64_t textLength,
                         std::uint32_t granularity) {
  const std::uint64_t offset = granularity ? at - at % granularity : at;
  return {offset, oldLength + textLength - offset};
}

void PlaceText(char* view, std::size_t held, std::size_t at, const std::string& text) {
  // The ranges overlap when old bytes follow `at`: they move up by the new text's length.
  std::memmove(view + at + text.size(), view + at, held - at);
  std::memcpy(view + at, text.data(), text.size());
}

// Where a new entry goes in the output file. Kept apart from the file calls so that it can be
// tested without Windows.
#include <cstring>

#include "output/place.h"

void PlaceText(char* view, std::size_t oldLength, const std::string& text, std::uint16_t mode) {
  if (mode == kPrepend) {
    // The ranges overlap: the old content moves up by the new text's length.
    std::memmove(view + text.size(), view, oldLength);
    std::memcpy(view, text.data(), text.size());
  } else {
    std::memcpy(view + oldLength, text.data(), text.size());
  }
}

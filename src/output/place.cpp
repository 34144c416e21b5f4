// Where a new entry goes in the output file. Kept apart from the file calls so that it can be
// tested without Windows.
#include "output/place.h"

std::uint64_t EntryOffset(std::uint64_t oldLength, std::uint16_t mode) {
  return mode == kPrepend ? 0 : oldLength;
}

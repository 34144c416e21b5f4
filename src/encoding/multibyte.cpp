// Code-page paths walked character by character (see multibyte.h).
#include "encoding/multibyte.h"

std::size_t LastSeparator(std::string_view path, const std::bitset<256>& leads) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(path[i]);
    if (leads.test(byte))
      ++i;  // the byte after a lead byte is part of its character, whatever its value
    else if (byte == '\\' || byte == '/')
      last = i;
  }
  return last;
}

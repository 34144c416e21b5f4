// The simulator's title formatter (request 297).
#include "sim/player.h"

namespace sim {

// Placeholder until the announcing work lands: fields are answered, functions are not.
std::string FormatTitle(const std::string& format,
                        const std::function<std::string(const std::string&, bool*)>& field) {
  std::string out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    std::size_t close = format[i] == '%' ? format.find('%', i + 1) : std::string::npos;
    if (close == std::string::npos) {
      out += format[i];
      continue;
    }
    bool found = false;
    out += field(format.substr(i + 1, close - i - 1), &found);
    i = close;
  }
  return out;
}

}  // namespace sim

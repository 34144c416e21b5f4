// Reading a file whole, for the simulator's programs (the demo and the check of an installed
// plug-in), which print what the plug-in wrote, and for the plug-in tests, which check it.
#pragma once

#include <string>

namespace sim {

// The file's bytes, or the empty text when it cannot be opened or is too long to hold. Other
// programs may be writing it.
std::string ReadAll(const std::string& path);

}  // namespace sim

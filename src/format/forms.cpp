// The small text forms of the formatters.
#include "format/format.h"

// Placeholders until the template engine lands.
std::string ShortLength(int) { return std::string(); }
std::string LongLength(int) { return std::string(); }
std::string Year2(std::string year) { return year; }
std::string SongTitle(std::string windowTitle) { return windowTitle; }

// The plug-in's own %Tag% expander.
#include "format/format.h"

// Placeholders until the template engine lands.
std::string ExpandTemplate(std::string text) { return text; }
std::string GetExtendedInfo(const char*, const char*) { return std::string(); }
std::string FormatWithHost(std::string) { return std::string(); }

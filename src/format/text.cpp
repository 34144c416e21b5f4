// FindNoCase and ReplaceAllNoCase: the only search and substitution in the plug-in.
#include "format/format.h"

// Placeholder until the template engine lands.
const char* FindNoCase(const char*, const char*) { return nullptr; }
int ReplaceAllNoCase(std::string&, const char*, const char*) { return 0; }

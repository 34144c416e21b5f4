// Search and replace, case-insensitive and exact: the only search and substitution in the
// plug-in.
//
// Pure and free of <windows.h> (text.cpp is tested natively and fuzzed). Letters are folded
// byte by byte, A-Z against a-z only.
#pragma once

#include <bitset>
#include <string>

// Leftmost occurrence of needle in the zero-terminated haystack, ASCII letters folded; null
// when there is none. An empty needle finds the haystack itself.
const char* FindNoCase(const char* haystack, const char* needle);

// Whether the two zero-terminated texts are equal, ASCII letters folded.
bool SameNoCase(const char* a, const char* b);

constexpr std::size_t kNoLengthLimit = static_cast<std::size_t>(-1);

// Replaces every occurrence of needle in text (zero bytes inside it separate segments that
// matches never span) and returns how many it replaced. A null replacement deletes. A call
// that finds nothing leaves the text's storage untouched; one that does resizes it at most once.
// Replacements that together would make the text longer than maxLength bytes are not made at
// all: the text stays as it was and the answer is -1.
int ReplaceAllNoCase(std::string& text, const char* needle, const char* replacement,
                     std::size_t maxLength = kNoLengthLimit);

// As ReplaceAllNoCase, but every byte matches only itself: a backslash and n leave a
// backslash and N alone.
int ReplaceAll(std::string& text, const char* needle, const char* replacement);

// The lead bytes of a double-byte code page: a byte marked here and the one after it are one
// character.
using LeadBytes = std::bitset<256>;

// As ReplaceAll, for a text in such a code page: a match starts only where a character does,
// never on the second byte of a double-byte one (0x5C, a backslash alone, is one in code page
// 932). The needle holds no lead bytes.
int ReplaceAll(std::string& text, const char* needle, const char* replacement,
               const LeadBytes& leads);

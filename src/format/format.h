// Text formatting: case-insensitive search and replace, the plug-in's own %Tag% expander,
// the player's title formatter with our tag resolver, and the small text forms they share.
//
// Free of <windows.h>, so that the pure parts are tested natively.
#pragma once

#include <string>

// Leftmost occurrence of needle in the zero-terminated haystack, ASCII letters folded; null
// when there is none. An empty needle finds the haystack itself.
const char* FindNoCase(const char* haystack, const char* needle);

// Replaces every occurrence of needle in text (zero bytes inside it separate segments that
// matches never span) and returns how many it replaced. A null replacement deletes.
int ReplaceAllNoCase(std::string& text, const char* needle, const char* replacement);

// "%d:%02d:%02d" / "%d:%02d", and "1 Hour, 2 Minutes, 5 Seconds" / "1 Minute, 0 Seconds".
std::string ShortLength(int seconds);
std::string LongLength(int seconds);

// The "year2" form: "1985" becomes "19 85"; years not strictly between 1900 and 2000 stay.
std::string Year2(std::string year);

// The song title in the player's window title: "12. Artist - Song - Winamp" gives
// "Artist - Song".
std::string SongTitle(std::string windowTitle);

// Expands the %Tag% placeholders of text for the track now playing.
std::string ExpandTemplate(std::string text);

// One metadata field of a file, as the player answers it.
std::string GetExtendedInfo(const char* fileName, const char* field);

// Has the player format text with its own title formatter, our tags answering its questions.
std::string FormatWithHost(std::string format);

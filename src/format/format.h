// Text formatting: case-insensitive search and replace, the plug-in's own %Tag% expander,
// the player's title formatter with our tag resolver, and the small text forms they share.
//
// Free of <windows.h>, so that the pure parts (text.cpp, forms.cpp) are tested natively.
// Everything runs on the player's window thread; nothing here keeps state between calls.
#pragma once

#include <string>

// --- text.cpp: pure --------------------------------------------------------------------

// Leftmost occurrence of needle in the zero-terminated haystack, ASCII letters folded; null
// when there is none. An empty needle finds the haystack itself.
const char* FindNoCase(const char* haystack, const char* needle);

// Whether the two zero-terminated texts are equal, ASCII letters folded.
bool SameNoCase(const char* a, const char* b);

// Replaces every occurrence of needle in text (zero bytes inside it separate segments that
// matches never span) and returns how many it replaced. A null replacement deletes. A call
// that finds nothing leaves the text's storage untouched; one that does resizes it at most once.
int ReplaceAllNoCase(std::string& text, const char* needle, const char* replacement);

// --- forms.cpp: pure -------------------------------------------------------------------

// "%d:%02d:%02d" / "%d:%02d", and "1 Hour, 2 Minutes, 5 Seconds" / "1 Minute, 0 Seconds".
std::string ShortLength(int seconds);
std::string LongLength(int seconds);

// The "year2" form: "1985" becomes "19 85"; years not strictly between 1900 and 2000 stay.
std::string Year2(std::string year);

// The song title in the player's window title: "12. Artist - Song - Winamp" gives
// "Artist - Song".
std::string SongTitle(std::string windowTitle);

// "Stereo" for a "stereo" metadata field of exactly "1", "Mono" otherwise; and the same words
// for a channel count (1 is mono). Long-lived texts.
const char* StereoFieldText(const std::string& stereoField);
const char* ChannelsText(int channels);

// --- template.cpp: asks the player -------------------------------------------------------

// Expands the %Tag% placeholders of text for the track now playing.
std::string ExpandTemplate(std::string text);

// One metadata field of a file, as the player answers it (request 290 for "album", 296
// for the others).
std::string GetExtendedInfo(const char* fileName, const char* field);

// Shared by the expander and the tag resolver; each asks afresh.
std::string PlaylistFileName(int position);  // empty when the player answers null
std::string TimeText();                      // now, in the user's time format
std::string DateText(bool longForm);         // today, in the user's long or short date format

// --- host_format.cpp: asks the player ----------------------------------------------------

// Has the player format text with its own title formatter, our tags answering its questions.
std::string FormatWithHost(std::string format);

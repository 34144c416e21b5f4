// The small text forms of tag values: the two length forms, "year2", the song title cut from
// the player's window title, and the words for stereo and mono.
//
// Pure and free of <windows.h> (tag_forms.cpp is tested natively and fuzzed).
#pragma once

#include <string>

// "%d:%02d:%02d" / "%d:%02d", and "1 Hour, 2 Minutes, 5 Seconds" / "1 Minute, 0 Seconds".
std::string ShortLength(int seconds);
std::string LongLength(int seconds);

// The "year2" form: "1985" becomes "19 85"; years not strictly between 1900 and 2000 stay, and
// so do years whose first two bytes are not ASCII digits.
std::string Year2(std::string year);

// The song title in the player's window title: "12. Artist - Song - Winamp" gives
// "Artist - Song".
std::string SongTitle(std::string windowTitle);

// "Stereo" for a "stereo" metadata field of exactly "1", "Mono" otherwise; and the same words
// for a channel count (1 is mono). Long-lived texts.
const char* StereoFieldText(const std::string& stereoField);
const char* ChannelsText(int channels);

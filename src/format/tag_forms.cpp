// The small text forms of tag values: the two length forms, "year2", the song title cut from
// the player's window title, and the words for stereo and mono. Pure: the tag table's values
// and the update cycle call them, and so do the unit tests.
#include "format/tag_forms.h"

#include <cstring>

namespace {

constexpr int kSecondsPerHour = 3600;
constexpr int kSecondsPerMinute = 60;
constexpr int kMinutesPerHour = 60;
constexpr char kTitleSuffix[] = " - Winamp";
constexpr std::size_t kYear2Split = 2;  // "19" + " " + "85"

// Truncating division, so a negative length keeps its sign in every part: -1 is 0:-1.
struct Parts {
  int hours, minutes, seconds;
};

Parts Split(int seconds) {
  return {seconds / kSecondsPerHour, (seconds / kSecondsPerMinute) % kMinutesPerHour,
          seconds % kSecondsPerMinute};
}

const char* Plural(int n) { return n == 1 ? "" : "s"; }

// Decimal as "%02d" writes it: at least two characters, so 5 is "05" and -5 stays "-5". Built
// from std::to_string because the runtime's printf family alone would add a tenth to the DLL.
std::string TwoDigits(int n) {
  std::string text = std::to_string(n);
  return text.size() < 2 ? "0" + text : text;
}

std::string Count(int n, const char* unit) { return std::to_string(n) + " " + unit + Plural(n); }

bool AsciiDigits(const char* text, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

}  // namespace

std::string ShortLength(int seconds) {
  const Parts p = Split(seconds);
  if (p.hours != 0)
    return std::to_string(p.hours) + ":" + TwoDigits(p.minutes) + ":" + TwoDigits(p.seconds);
  return std::to_string(p.minutes) + ":" + TwoDigits(p.seconds);
}

std::string LongLength(int seconds) {
  const Parts p = Split(seconds);
  std::string minutesAndSeconds = Count(p.minutes, "Minute") + ", " + Count(p.seconds, "Second");
  if (p.hours != 0) return Count(p.hours, "Hour") + ", " + minutesAndSeconds;
  return minutesAndSeconds;
}

std::string Year2(std::string year) {
  // Byte-wise, as strcmp: "19" and "2" count too, "1900" and "2000" themselves do not.
  const char* y = year.c_str();
  if (std::strcmp(y, "1900") > 0 && std::strcmp(y, "2000") < 0) {
    std::size_t length = std::strlen(y);
    std::size_t at = length < kYear2Split ? length : kYear2Split;
    // "1" and a digit of several bytes (a fullwidth one) sort in between too: the blank goes
    // only after ASCII digits, never into a character.
    if (!AsciiDigits(y, at)) return year;
    // Built anew rather than with insert, which GCC 12 wrongly warns about (-Wrestrict).
    return year.substr(0, at) + " " + year.substr(at);
  }
  return year;
}

std::string SongTitle(std::string windowTitle) {
  std::size_t suffix = windowTitle.find(kTitleSuffix);
  if (suffix != std::string::npos && suffix > 0) windowTitle.erase(suffix);
  // The playlist number the player shows in front: "12. Artist - Song".
  std::size_t blank = windowTitle.find(' ');
  if (blank != std::string::npos) windowTitle.erase(0, blank + 1);
  return windowTitle;
}

const char* StereoFieldText(const std::string& stereoField) {
  return stereoField == "1" ? "Stereo" : "Mono";
}

const char* ChannelsText(int channels) { return channels == 1 ? "Mono" : "Stereo"; }

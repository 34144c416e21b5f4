// The plug-in's own %Tag% expander, and the metadata look-up it shares with the tag resolver.
//
// A fixed list of tags is substituted one after another over the whole text, in a fixed order,
// so a value inserted by one step is seen by the later steps only. Tags that cost the player a
// request are substituted only when they occur; the playlist position and file name are asked
// for on every expansion. Nothing is kept from one expansion to the next.
#include <windows.h>

#include <cstring>

#include "format/format.h"
#include "plugin/host.h"
#include "plugin/plugin.h"

namespace {

constexpr int kAnswerBytes = 2048;
constexpr int kDateTimeChars = 256;
// The longest path the system knows; a file name the player leaves unterminated is cut there.
constexpr std::size_t kFileNameChars = 32767;
constexpr unsigned kFirstMetadataVersion = 0x2900;  // older players give playback info only
constexpr int kHertzPerKilohertz = 1000;
constexpr char kAlbumField[] = "album";

struct MetadataTag {
  const char* tag;
  const char* field;
};

// In the order they are substituted; %Mode% follows them.
constexpr MetadataTag kMetadataTags[] = {
    {"%Title%", "title"},     {"%Artist%", "artist"},   {"%Album%", "album"},
    {"%Year%", "year"},       {"%TrackNumber%", "track"}, {"%Genre%", "genre"},
    {"%Comment%", "comment"}, {"%Bitrate%", "bitrate"}, {"%VBR%", "vbr"},
    {"%Samplerate%", "srate"},
};

std::string Bounded(const char* text, std::size_t size) {
  return std::string(text, strnlen(text, size));
}

// Numbers wrap at 32 bits as the player's own do, instead of overflowing.
int Wrapped(long long value) { return static_cast<int>(static_cast<unsigned>(value)); }

bool Has(const std::string& text, const char* tag) {
  return FindNoCase(text.c_str(), tag) != nullptr;
}

// Substitutes tag with the value computed only when the tag occurs.
template <class Value>
void IfPresent(std::string& text, const char* tag, Value value) {
  if (Has(text, tag)) ReplaceAllNoCase(text, tag, std::string(value()).c_str());
}

// "album" and every leading part of it (the empty name included) go as request 290: a prefix
// is what FindNoCase finds at the very start.
bool IsAlbumRequest(const char* field) { return FindNoCase(kAlbumField, field) == kAlbumField; }

void ExpandPlaybackInfo(std::string& text) {
  IfPresent(text, "%Bitrate%", [] { return std::to_string(host::Bitrate()); });
  IfPresent(text, "%Samplerate%", [] {
    return std::to_string(Wrapped(static_cast<long long>(host::SampleRateKhz()) *
                                  kHertzPerKilohertz));
  });
  IfPresent(text, "%Mode%", [] { return ChannelsText(host::Channels()); });
}

void ExpandMetadata(std::string& text, const std::string& file) {
  for (const MetadataTag& m : kMetadataTags)
    IfPresent(text, m.tag, [&] { return GetExtendedInfo(file.c_str(), m.field); });
  IfPresent(text, "%Mode%",
            [&] { return StereoFieldText(GetExtendedInfo(file.c_str(), "stereo")); });
}

}  // namespace

std::string PlaylistFileName(int position) {
  const char* name = host::FileName(position);
  return name ? Bounded(name, kFileNameChars) : std::string();
}

std::string TimeText() {
  char text[kDateTimeChars];
  if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, text, kDateTimeChars) <= 0)
    return std::string();
  return Bounded(text, sizeof text);
}

std::string DateText(bool longForm) {
  char text[kDateTimeChars];
  DWORD form = longForm ? DATE_LONGDATE : DATE_SHORTDATE;
  if (GetDateFormatA(LOCALE_USER_DEFAULT, form, nullptr, nullptr, text, kDateTimeChars) <= 0)
    return std::string();
  return Bounded(text, sizeof text);
}

std::string GetExtendedInfo(const char* fileName, const char* field) {
  // Zeroed whole, so that an answer the player leaves unterminated still ends in the buffer.
  char answer[kAnswerBytes] = {};
  host::ExtendedInfoRequest request = {fileName ? fileName : "", field ? field : "", answer,
                                       kAnswerBytes};
  host::ExtendedInfo(IsAlbumRequest(request.field), &request);
  return Bounded(answer, sizeof answer);
}

std::string ExpandTemplate(std::string text) {
  ReplaceAllNoCase(text, "\\n", "\n");
  ReplaceAllNoCase(text, "%FullTitle%", CurrentTitle.c_str());
  IfPresent(text, "%Length%", [] { return ShortLength(host::TrackLength()); });
  IfPresent(text, "%LongLength%", [] { return LongLength(host::TrackLength()); });
  IfPresent(text, "%PlaylistLength%", [] { return std::to_string(host::PlaylistLength()); });
  const int position = host::PlaylistPosition();
  IfPresent(text, "%PlaylistEntry%", [=] { return std::to_string(Wrapped(position + 1LL)); });
  const std::string file = PlaylistFileName(position);
  ReplaceAllNoCase(text, "%FileName%", file.c_str());
  if (HostVersion < kFirstMetadataVersion)
    ExpandPlaybackInfo(text);
  else
    ExpandMetadata(text, file);
  IfPresent(text, "%Time%", TimeText);
  IfPresent(text, "%LongDate%", [] { return DateText(true); });
  IfPresent(text, "%ShortDate%", [] { return DateText(false); });
  ReplaceAllNoCase(text, "%WinampVersion%", HostVersionText.c_str());
  ReplaceAllNoCase(text, "%PluginVersion%", kPluginVersionText);
  return text;
}

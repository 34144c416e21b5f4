// Formatting through the player's own title formatter (request 297), with ResolveHostTag
// answering the player's questions about our tag names.
//
// Lifetime of answers: the player may hold every value we hand it until request 297 returns.
// Long-lived texts (CurrentTitle, HostVersionText, constants) are handed over directly; values
// computed for the call are kept in storage owned by the pending FormatWithHost call and freed
// when it returns. A question asked while no call is pending gets no answer.
#include <windows.h>

#include <cstring>
#include <deque>

#include "format/format.h"
#include "plugin/host.h"
#include "plugin/plugin.h"

char* __cdecl ResolveHostTag(char* tag, void* context);
void __cdecl ReleaseHostTag(char* value, void* context);

namespace {

constexpr int kFormattedBytes = 2096;

struct FieldName {
  const char* name;
  const char* field;
};

// Answered from one metadata field each, after the names that need no file name.
constexpr FieldName kMetadataNames[] = {
    {"title", "title"},     {"artist", "artist"},   {"album", "album"}, {"year", "year"},
    {"tracknumber", "track"}, {"genre", "genre"},   {"comment", "comment"},
    {"bitrate", "bitrate"}, {"vbr", "vbr"},         {"samplerate", "srate"},
};

// The values of the FormatWithHost call now waiting for the player; a deque, so that adding
// one never moves the others.
std::deque<std::string>* PendingValues = nullptr;

// Makes `values` the storage of answers while it lives; puts back the outer one after.
class PendingScope {
 public:
  explicit PendingScope(std::deque<std::string>* values) : outer_(PendingValues) {
    PendingValues = values;
  }
  ~PendingScope() { PendingValues = outer_; }
  PendingScope(const PendingScope&) = delete;
  PendingScope& operator=(const PendingScope&) = delete;

 private:
  std::deque<std::string>* outer_;
};

char* Kept(std::string value) {
  if (!PendingValues) return nullptr;
  PendingValues->push_back(std::move(value));
  return PendingValues->back().data();
}

// The player's callback type takes char*; it only reads the long-lived texts.
char* Direct(const char* text) { return const_cast<char*>(text); }

char* Resolve(const char* name) {
  if (SameNoCase(name, "fulltitle")) return Direct(CurrentTitle.c_str());
  if (SameNoCase(name, "length")) return Kept(ShortLength(host::TrackLength()));
  if (SameNoCase(name, "longlength")) return Kept(LongLength(host::TrackLength()));
  if (SameNoCase(name, "playlistlength")) return Kept(std::to_string(host::PlaylistLength()));
  if (SameNoCase(name, "time")) return Kept(TimeText());
  if (SameNoCase(name, "longdate")) return Kept(DateText(true));
  if (SameNoCase(name, "shortdate")) return Kept(DateText(false));
  if (SameNoCase(name, "winampversion")) return Direct(HostVersionText.c_str());
  if (SameNoCase(name, "pluginversion")) return Direct(kPluginVersionText);

  const int position = host::PlaylistPosition();
  const std::string file = PlaylistFileName(position);
  if (SameNoCase(name, "playlistentry"))
    return Kept(std::to_string(static_cast<int>(static_cast<unsigned>(position) + 1u)));
  if (SameNoCase(name, "filename")) return Kept(file);
  for (const FieldName& m : kMetadataNames)
    if (SameNoCase(name, m.name)) return Kept(GetExtendedInfo(file.c_str(), m.field));
  if (SameNoCase(name, "year2")) return Kept(Year2(GetExtendedInfo(file.c_str(), "year")));
  if (SameNoCase(name, "mode"))
    return Direct(StereoFieldText(GetExtendedInfo(file.c_str(), "stereo")));
  return nullptr;
}

}  // namespace

char* __cdecl ResolveHostTag(char* tag, void*) {
  return Guarded([=] { return tag ? Resolve(tag) : nullptr; }, static_cast<char*>(nullptr));
}

void __cdecl ReleaseHostTag(char*, void*) {}

std::string FormatWithHost(std::string format) {
  ReplaceAllNoCase(format, "\\n", "\n");
  // Zeroed whole, so that a text the player leaves unterminated still ends in the buffer.
  char out[kFormattedBytes] = {};
  std::deque<std::string> values;
  PendingScope pending(&values);
  host::TitleFormatRequest request = {format.data(), nullptr, out, kFormattedBytes,
                                      ResolveHostTag, ReleaseHostTag};
  host::FormatTitle(&request);
  return std::string(out, strnlen(out, sizeof out));
}

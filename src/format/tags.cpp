// The tag table, and the player's answers its values are made from.
//
// To add a tag, add its row below, at the place in the expander's order where it belongs. A
// row's value is asked for only when a formatter meets the tag; see tags.h for what each
// column means. Nothing is kept between calls.
#include "format/tags.h"

#include <windows.h>

#include <cstring>

#include "base/product.h"
#include "encoding/encoding.h"
#include "host/host.h"

namespace {

constexpr int kAnswerBytes = 2048;
constexpr std::size_t kAnswerChars = 2048;
constexpr int kDateTimeChars = 256;
// The longest path the system knows; a file name the player leaves unterminated is cut there.
constexpr std::size_t kFileNameChars = 32767;
constexpr int kHertzPerKilohertz = 1000;
constexpr char kAlbumField[] = "album";

std::string Bounded(const char* text, std::size_t size) {
  return std::string(text, strnlen(text, size));
}

std::wstring BoundedWide(const wchar_t* text, std::size_t size) {
  return std::wstring(text, wcsnlen(text, size));
}

// Numbers wrap at 32 bits as the player's own do, instead of overflowing.
int Wrapped(long long value) { return static_cast<int>(static_cast<unsigned>(value)); }

// "album" and every leading part of it (the empty name included) go as the album request: a
// prefix is what FindNoCase finds at the very start.
bool IsAlbumRequest(const char* field) { return FindNoCase(kAlbumField, field) == kAlbumField; }

// One metadata field of a file, as the player answers it in the code page (host::ExtendedInfo:
// the album request for "album", the general one for every other field).
std::string AnsiExtendedInfo(const std::string& fileName, const char* field) {
  // Zeroed whole, so that an answer the player leaves unterminated still ends in the buffer.
  char answer[kAnswerBytes] = {};
  host::ExtendedInfoRequest request = {fileName.c_str(), field, answer, kAnswerBytes};
  host::ExtendedInfo(IsAlbumRequest(request.field), &request);
  return Bounded(answer, sizeof answer);
}

// The same through the wide requests (host::ExtendedInfoWide); empty when the player writes
// nothing.
std::string WideExtendedInfo(const std::string& fileName, const char* field) {
  const std::wstring wideFile = WideText(fileName, Encoding::kUtf8);
  const std::wstring wideField = WideText(field, Encoding::kUtf8);
  wchar_t answer[kAnswerChars] = {};
  host::ExtendedInfoRequestW request = {wideFile.c_str(), wideField.c_str(), answer, kAnswerChars};
  host::ExtendedInfoWide(IsAlbumRequest(field), &request);
  return FromWide(BoundedWide(answer, kAnswerChars), Encoding::kUtf8);
}

// A metadata field in the context's encoding. With the Unicode encodings the wide request goes
// first; an older player, or one that writes nothing, gets the ANSI request, converted.
std::string ExtendedInfo(const TagInputs& in, const char* field) {
  const TagContext& context = in.context;
  if (!IsUnicode(context.encoding)) return AnsiExtendedInfo(in.file, field);
  if (context.hostVersion >= host::kFirstWideInfoVersion) {
    std::string value = WideExtendedInfo(in.file, field);
    if (!value.empty()) return value;
  }
  return CodePageToUtf8(AnsiExtendedInfo(Utf8ToCodePage(in.file), field));
}

// The system's time and date formatters, wide: their ANSI forms answer in the code page of the
// user's locale, which need not be the system's.
using ClockFormat = int(WINAPI*)(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int);

// The time or date now, as the user's locale writes it in `flags`' form, converted like every
// other text.
std::string ClockText(ClockFormat format, DWORD flags, Encoding encoding) {
  wchar_t text[kDateTimeChars];
  if (format(LOCALE_USER_DEFAULT, flags, nullptr, nullptr, text, kDateTimeChars) <= 0)
    return std::string();
  return FromWide(BoundedWide(text, kDateTimeChars), encoding);
}

std::string TimeText(Encoding encoding) { return ClockText(GetTimeFormatW, 0, encoding); }

std::string DateText(DWORD form, Encoding encoding) {
  return ClockText(GetDateFormatW, form, encoding);
}

// Scopes of the rows: known everywhere, or file metadata that only players from 2.9 give.
constexpr unsigned kAll = kEverywhere;
constexpr unsigned kMeta = kMetadataTemplates | kHostFormats;
constexpr unsigned kOld = kPlaybackInfoTemplates;
constexpr unsigned kHost = kHostFormats;

constexpr bool kIfPresent = true;
constexpr bool kAlways = false;

constexpr TagInput kNothing = TagInput::kNothing;
constexpr TagInput kPosition = TagInput::kPosition;
constexpr TagInput kFile = TagInput::kFile;

using In = const TagInputs&;

// In the expander's order: a value a step puts in is seen by the later steps only. Rows of the
// same name have disjoint scopes.
constexpr Tag kTags[] = {
    {"FullTitle", kAll, kAlways, kNothing, [](In in) { return in.context.title; }},
    {"Length", kAll, kIfPresent, kNothing,
     [](In) { return ShortLength(host::TrackLength()); }},
    {"LongLength", kAll, kIfPresent, kNothing,
     [](In) { return LongLength(host::TrackLength()); }},
    {"PlaylistLength", kAll, kIfPresent, kNothing,
     [](In) { return std::to_string(host::PlaylistLength()); }},
    {"PlaylistEntry", kAll, kIfPresent, kPosition,
     [](In in) { return std::to_string(Wrapped(in.position + 1LL)); }},
    {"FileName", kAll, kAlways, kFile, [](In in) { return in.file; }},
    {"Title", kMeta, kIfPresent, kFile, [](In in) { return ExtendedInfo(in, "title"); }},
    {"Artist", kMeta, kIfPresent, kFile, [](In in) { return ExtendedInfo(in, "artist"); }},
    {"Album", kMeta, kIfPresent, kFile, [](In in) { return ExtendedInfo(in, "album"); }},
    {"Year", kMeta, kIfPresent, kFile, [](In in) { return ExtendedInfo(in, "year"); }},
    {"Year2", kHost, kIfPresent, kFile,
     [](In in) { return Year2(ExtendedInfo(in, "year")); }},
    {"TrackNumber", kMeta, kIfPresent, kFile,
     [](In in) { return ExtendedInfo(in, "track"); }},
    {"Genre", kMeta, kIfPresent, kFile, [](In in) { return ExtendedInfo(in, "genre"); }},
    {"Comment", kMeta, kIfPresent, kFile,
     [](In in) { return ExtendedInfo(in, "comment"); }},
    {"Bitrate", kMeta, kIfPresent, kFile,
     [](In in) { return ExtendedInfo(in, "bitrate"); }},
    {"Bitrate", kOld, kIfPresent, kNothing, [](In) { return std::to_string(host::Bitrate()); }},
    {"VBR", kMeta, kIfPresent, kFile, [](In in) { return ExtendedInfo(in, "vbr"); }},
    {"Samplerate", kMeta, kIfPresent, kFile,
     [](In in) { return ExtendedInfo(in, "srate"); }},
    {"Samplerate", kOld, kIfPresent, kNothing,
     [](In) {
       return std::to_string(Wrapped(static_cast<long long>(host::SampleRateKhz()) *
                                     kHertzPerKilohertz));
     }},
    {"Mode", kMeta, kIfPresent, kFile,
     [](In in) { return std::string(StereoFieldText(ExtendedInfo(in, "stereo"))); }},
    {"Mode", kOld, kIfPresent, kNothing,
     [](In) { return std::string(ChannelsText(host::Channels())); }},
    {"Time", kAll, kIfPresent, kNothing, [](In in) { return TimeText(in.context.encoding); }},
    {"LongDate", kAll, kIfPresent, kNothing,
     [](In in) { return DateText(DATE_LONGDATE, in.context.encoding); }},
    {"ShortDate", kAll, kIfPresent, kNothing,
     [](In in) { return DateText(DATE_SHORTDATE, in.context.encoding); }},
    {"WinampVersion", kAll, kAlways, kNothing, [](In in) { return in.context.hostVersionText; }},
    {"PluginVersion", kAll, kAlways, kNothing,
     [](In) { return std::string(kPluginVersionText); }},
};

}  // namespace

TagScope TemplateScope(unsigned hostVersion) {
  return hostVersion < host::kFirstExtendedInfoVersion ? kPlaybackInfoTemplates
                                                      : kMetadataTemplates;
}

std::span<const Tag> TagTable() { return kTags; }

const Tag* FindHostFormatTag(const char* name) {
  for (const Tag& tag : kTags)
    if ((tag.scope & kHostFormats) && SameNoCase(name, tag.name)) return &tag;
  return nullptr;
}

std::string PlaylistFileName(int position, const TagContext& context) {
  if (IsUnicode(context.encoding) && context.hostVersion >= host::kFirstWideFileNameVersion) {
    if (const wchar_t* name = host::FileNameWide(position))
      return FromWide(BoundedWide(name, kFileNameChars), context.encoding);
  }
  const char* name = host::FileName(position);
  return name ? FromCodePage(Bounded(name, kFileNameChars), context.encoding) : std::string();
}

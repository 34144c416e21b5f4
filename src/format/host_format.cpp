// Formatting through the player's own title formatter, with our resolvers answering the
// player's questions about our tag names from the tag table: host::FormatTitle with
// ResolveHostTag in the code page, and, with the Unicode encodings, host::FormatTitleWide with
// ResolveHostTagW in UTF-16. A player that predates the wide request or writes nothing for it
// is asked the ANSI way, with every text converted between UTF-8 and the code page on the way.
//
// Lifetime of answers: the player may hold every value we hand it until the request returns.
// The values are kept in storage owned by the pending FormatWithHost call and freed when it
// returns. A question asked while no call is pending gets no answer.
#include <cstring>
#include <cwchar>
#include <deque>
#include <forward_list>

#include "base/guarded.h"
#include "encoding/encoding.h"
#include "format/format.h"
#include "format/tags.h"
#include "host/host.h"

namespace {

// The formatters' buffers. The player is told one element less than each holds: a player that
// writes its terminator one past the size it was told (a common off-by-one) still writes
// inside, and the last element stays zero whatever it writes.
constexpr int kFormattedBytes = 2096;
constexpr int kFormattedChars = 2096;
// The ANSI request names no file, so every field comes from our resolver; the wide one is
// asked the same way: no file (an empty name rather than null, which not every player
// checks for) and none of its metadata.
constexpr wchar_t kNoFile[] = L"";
constexpr int kWithoutExtendedInfo = 0;

// The FormatWithHost call now waiting for the player: what it formats for, and the values it
// has handed out, in containers where adding one never moves the others.
struct PendingFormat {
  const TagContext& context;
  bool codePageAnswers;  // the values are UTF-8 and the player asked the ANSI way
  std::deque<std::string> values;
  std::forward_list<std::wstring> wideValues;
};

PendingFormat* Pending = nullptr;

// Makes `format` the pending call while it lives; puts back the outer one after.
class PendingScope {
 public:
  explicit PendingScope(PendingFormat* format) : outer_(Pending) { Pending = format; }
  ~PendingScope() { Pending = outer_; }
  PendingScope(const PendingScope&) = delete;
  PendingScope& operator=(const PendingScope&) = delete;

 private:
  PendingFormat* outer_;
};

// The value of the tag the player means by `name`, in the context's encoding; false for a name
// that is not ours. Tags made from nothing but the context are answered without a request; for
// every other name, unknown ones included, the playlist position and file name are asked first.
bool Resolve(const PendingFormat& pending, const char* name, std::string& value) {
  TagInputs inputs{pending.context, 0, {}};
  const Tag* tag = FindHostFormatTag(name);
  if (!tag || tag->input != TagInput::kNothing) {
    inputs.position = host::PlaylistPosition();
    inputs.file = PlaylistFileName(inputs.position, pending.context);
  }
  if (!tag) return false;
  value = tag->value(inputs);
  return true;
}

char* Answer(const char* name) {
  std::string value;
  if (!Pending || !Resolve(*Pending, name, value)) return nullptr;
  if (Pending->codePageAnswers) value = Utf8ToCodePage(value);
  Pending->values.push_back(std::move(value));
  return Pending->values.back().data();
}

wchar_t* AnswerWide(const wchar_t* name) {
  std::string value;
  if (!Pending || !Resolve(*Pending, FromWide(name, Encoding::kUtf8).c_str(), value))
    return nullptr;
  Pending->wideValues.push_front(WideText(value, Encoding::kUtf8));
  return Pending->wideValues.front().data();
}

// The player's callbacks, each keeping its failures inside. Releasing a value does nothing: the
// values go with the pending call.
char* __cdecl ResolveHostTag(char* tag, void*) {
  return Guarded([=] { return tag ? Answer(tag) : nullptr; }, static_cast<char*>(nullptr));
}

void __cdecl ReleaseHostTag(char*, void*) {}

wchar_t* __cdecl ResolveHostTagW(const wchar_t* tag, void*) {
  return Guarded([=] { return tag ? AnswerWide(tag) : nullptr; },
                 static_cast<wchar_t*>(nullptr));
}

void __cdecl ReleaseHostTagW(wchar_t*, void*) {}

// The ANSI request: `format` and the answer in the code page, or, with codePageAnswers, our
// values converted to it.
std::string FormatAnsi(std::string format, const TagContext& context, bool codePageAnswers) {
  // Zeroed whole, so that a text the player leaves unterminated still ends in the buffer.
  char out[kFormattedBytes] = {};
  PendingFormat pending{context, codePageAnswers, {}, {}};
  PendingScope scope(&pending);
  host::TitleFormatRequest request = {format.data(), nullptr, out, kFormattedBytes - 1,
                                      ResolveHostTag, ReleaseHostTag};
  host::FormatTitle(&request);
  out[kFormattedBytes - 1] = '\0';
  return std::string(out, strnlen(out, sizeof out));
}

// The wide request: `format` and the answer in UTF-8; empty when the player writes nothing.
std::string FormatWide(const std::string& format, const TagContext& context) {
  const std::wstring wideFormat = WideText(format, Encoding::kUtf8);
  wchar_t out[kFormattedChars] = {};
  PendingFormat pending{context, false, {}, {}};
  PendingScope scope(&pending);
  host::TitleFormatRequestW request = {kNoFile, kWithoutExtendedInfo, wideFormat.c_str(),
                                       nullptr, out, kFormattedChars - 1, ResolveHostTagW,
                                       ReleaseHostTagW};
  host::FormatTitleWide(&request);
  out[kFormattedChars - 1] = L'\0';
  return FromWide(std::wstring_view(out, wcsnlen(out, kFormattedChars)), Encoding::kUtf8);
}

}  // namespace

std::string FormatWithHost(std::string format, const TagContext& context) {
  // A backslash and a small n only: "D:\New Music" keeps its letters, and so does a
  // double-byte character that ends in a backslash's byte.
  ReplaceAll(format, "\\n", "\n", TextLeadBytes(context.encoding));
  if (!IsUnicode(context.encoding)) return FormatAnsi(std::move(format), context, false);
  if (context.hostVersion >= host::kFirstWideFormatVersion) {
    std::string formatted = FormatWide(format, context);
    if (!formatted.empty()) return formatted;
  }
  return CodePageToUtf8(FormatAnsi(Utf8ToCodePage(format), context, true));
}

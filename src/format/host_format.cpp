// Formatting through the player's own title formatter (request 297), with ResolveHostTag
// answering the player's questions about our tag names from the tag table.
//
// Lifetime of answers: the player may hold every value we hand it until request 297 returns.
// The values are kept in storage owned by the pending FormatWithHost call and freed when it
// returns. A question asked while no call is pending gets no answer.
#include <cstring>
#include <deque>

#include "base/guarded.h"
#include "format/format.h"
#include "format/tags.h"
#include "host/host.h"

char* __cdecl ResolveHostTag(char* tag, void* context);
void __cdecl ReleaseHostTag(char* value, void* context);

namespace {

constexpr int kFormattedBytes = 2096;

// The FormatWithHost call now waiting for the player: what it formats for, and the values it
// has handed out, in a deque, so that adding one never moves the others.
struct PendingFormat {
  const TagContext& context;
  std::deque<std::string> values;
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

char* Kept(PendingFormat& pending, std::string value) {
  pending.values.push_back(std::move(value));
  return pending.values.back().data();
}

// Tags made from nothing but the context are answered without a request; for every other
// name, unknown ones included, the playlist position and file name are asked first.
char* Resolve(const char* name) {
  if (!Pending) return nullptr;
  TagInputs inputs{Pending->context, 0, {}};
  const Tag* tag = FindHostFormatTag(name);
  if (!tag || tag->input != TagInput::kNothing) {
    inputs.position = host::PlaylistPosition();
    inputs.file = PlaylistFileName(inputs.position);
  }
  return tag ? Kept(*Pending, tag->value(inputs)) : nullptr;
}

}  // namespace

char* __cdecl ResolveHostTag(char* tag, void*) {
  return Guarded([=] { return tag ? Resolve(tag) : nullptr; }, static_cast<char*>(nullptr));
}

void __cdecl ReleaseHostTag(char*, void*) {}

std::string FormatWithHost(std::string format, const TagContext& context) {
  // A backslash and a small n only: "D:\New Music" keeps its letters.
  ReplaceAll(format, "\\n", "\n");
  // Zeroed whole, so that a text the player leaves unterminated still ends in the buffer.
  char out[kFormattedBytes] = {};
  PendingFormat pending{context, {}};
  PendingScope scope(&pending);
  host::TitleFormatRequest request = {format.data(), nullptr, out, kFormattedBytes,
                                      ResolveHostTag, ReleaseHostTag};
  host::FormatTitle(&request);
  return std::string(out, strnlen(out, sizeof out));
}

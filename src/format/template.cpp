// The plug-in's own %Tag% expander.
//
// The rows of the tag table are substituted one after another over the whole text, in the
// table's order, so a value inserted by one step is seen by the later steps only. A row marked
// "only if present" is substituted only when the text holds its tag before any zero byte (the
// values that cost the player a request, and the clock's); the others wherever they occur. The
// playlist position and file name are asked for on every expansion, just before the first row
// made from them. Nothing is kept from one expansion to the next.
//
// Tag values come from whoever made the file, and a value holding later tags multiplies at
// their steps (a Title of 255 x %Artist% and an Artist of 292 x %Album% would make 152 MB). An
// expansion never grows past its limit: the step that would pass it and every later one are
// left out, and the text is what the steps before made of it.
#include <algorithm>

#include "encoding/encoding.h"
#include "format/format.h"
#include "format/tags.h"
#include "host/host.h"

namespace {

// The limit: 1 MB, or 64 times the text to expand where that is more.
constexpr std::size_t kExpansionLimitBytes = 1024 * 1024;
constexpr std::size_t kExpansionLimitPerByte = 64;

std::size_t ExpansionLimit(std::size_t textBytes) {
  const std::size_t scaled = textBytes > kNoLengthLimit / kExpansionLimitPerByte
                                 ? kNoLengthLimit
                                 : textBytes * kExpansionLimitPerByte;
  return std::max(kExpansionLimitBytes, scaled);
}

bool Has(const std::string& text, const char* tag) {
  return FindNoCase(text.c_str(), tag) != nullptr;
}

}  // namespace

std::string ExpandTemplate(std::string text, const TagContext& context) {
  // A backslash and a small n only: "D:\New Music" keeps its letters, and so does a
  // double-byte character that ends in a backslash's byte.
  ReplaceAll(text, "\\n", "\n", TextLeadBytes(context.encoding));
  const std::size_t limit = ExpansionLimit(text.size());
  const unsigned scope = TemplateScope(context.hostVersion);
  TagInputs inputs{context, 0, {}};
  bool positionAsked = false;
  bool fileAsked = false;
  std::string placeholder;
  for (const Tag& tag : TagTable()) {
    if (tag.input != TagInput::kNothing && !positionAsked) {
      inputs.position = host::PlaylistPosition();
      positionAsked = true;
    }
    if (tag.input == TagInput::kFile && !fileAsked) {
      inputs.file = PlaylistFileName(inputs.position, context);
      fileAsked = true;
    }
    if (!(tag.scope & scope)) continue;
    placeholder.clear();
    placeholder += '%';
    placeholder += tag.name;
    placeholder += '%';
    if (tag.onlyIfPresent && !Has(text, placeholder.c_str())) continue;
    if (ReplaceAllNoCase(text, placeholder.c_str(), tag.value(inputs).c_str(), limit) < 0) break;
  }
  return text;
}

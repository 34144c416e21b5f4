// The plug-in's own %Tag% expander.
//
// The rows of the tag table are substituted one after another over the whole text, in the
// table's order, so a value inserted by one step is seen by the later steps only. A row marked
// "only if present" is substituted only when the text holds its tag before any zero byte (the
// values that cost the player a request, and the clock's); the others wherever they occur. The
// playlist position and file name are asked for on every expansion, just before the first row
// made from them. Nothing is kept from one expansion to the next.
#include "format/format.h"
#include "format/tags.h"
#include "host/host.h"

namespace {

bool Has(const std::string& text, const char* tag) {
  return FindNoCase(text.c_str(), tag) != nullptr;
}

}  // namespace

std::string ExpandTemplate(std::string text, const TagContext& context) {
  // A backslash and a small n only: "D:\New Music" keeps its letters.
  ReplaceAll(text, "\\n", "\n");
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
    ReplaceAllNoCase(text, placeholder.c_str(), tag.value(inputs).c_str());
  }
  return text;
}

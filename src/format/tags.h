// The tag table: every tag the plug-in knows, in the order the %Tag% expander substitutes them.
// Each row names the tag, says where it is recognised and makes its value; the expander
// (template.cpp) and the resolver of the player's formatter (host_format.cpp) both read it, so
// a new tag is one new row in tags.cpp.
//
// Internal to src/format. Values are made afresh, on the player's window thread, each time a
// formatter asks; nothing is kept.
#pragma once

#include <span>
#include <string>

#include "format/format.h"

// Where a tag is recognised: bits of Tag::scope.
enum TagScope : unsigned {
  kPlaybackInfoTemplates = 1u << 0,  // the expander, players before 2.9 (no file metadata)
  kMetadataTemplates = 1u << 1,      // the expander, players from 2.9
  kHostFormats = 1u << 2,            // the player's formatter, through our resolver
  kTemplates = kPlaybackInfoTemplates | kMetadataTemplates,
  kEverywhere = kTemplates | kHostFormats,
};

// The expander's scope for a player of this version.
TagScope TemplateScope(unsigned hostVersion);

// What a value is made from besides the context and the player's answers about the track.
enum class TagInput {
  kNothing,
  kPosition,  // the playlist position
  kFile,      // the position and its file name
};

struct TagInputs {
  const TagContext& context;
  int position = 0;  // asked for when a tag's input is kPosition or kFile
  std::string file;  // asked for when a tag's input is kFile; empty when the player answers null
};

struct Tag {
  const char* name;      // as written between the percent signs; matched in any letter case
  unsigned scope;        // TagScope bits
  bool onlyIfPresent;    // the expander makes the value only when the text holds the tag
  TagInput input;
  std::string (*value)(const TagInputs& inputs);
};

std::span<const Tag> TagTable();

// The row the player's formatter means by `name`, or null.
const Tag* FindHostFormatTag(const char* name);

// The file name of a playlist entry as the player answers it, in the context's encoding; empty
// when the answer is null.
std::string PlaylistFileName(int position, const TagContext& context);

// Text formatting: the plug-in's own %Tag% expander and the player's title formatter with our
// tag resolver, both over the one tag table (tags.cpp); and, through the two headers below, the
// search and replace and the small text forms they share.
//
// Free of <windows.h>. Everything runs on the player's window thread; nothing here keeps state
// between calls.
#pragma once

#include <string>

#include "encoding/unicode.h"
#include "format/tag_forms.h"
#include "format/text.h"

// What the formatters take from the update cycle; everything else they ask the player afresh.
struct TagContext {
  std::string title;            // %FullTitle%: the song title
  unsigned hostVersion = 0;     // the player's, as 0x5000 for 5.0
  std::string hostVersionText;  // %WinampVersion%: its display form, "5.00"
  // The form of every text in and out: the code page, or UTF-8 taken from the player's wide
  // answers where it has them.
  Encoding encoding = Encoding::kAnsi;
};

// Expands the %Tag% placeholders of text for the track now playing; values that hold tags of
// later steps make it grow to 1 MB (or 64 times the text) at most.
std::string ExpandTemplate(std::string text, const TagContext& context);

// Has the player format text with its own title formatter, our tags answering its questions;
// the wide formatter with the Unicode encodings, where the player has it.
std::string FormatWithHost(std::string format, const TagContext& context);

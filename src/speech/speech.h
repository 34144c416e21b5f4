// Speaking the announcement through the system's speech engine ("SAPI.SpVoice") on a worker
// thread of its own, with the player paused or turned down meanwhile.
#pragma once

#include <string>

#include "encoding/unicode.h"

// Whether the system knows the speech engine's ProgID. Asked afresh on every call.
bool IsSpeechAvailable();

// Starts a worker that speaks text (in the code page, or UTF-8 with the Unicode encodings) and
// returns at once; an empty text starts nothing.
void SpeakAsync(const std::string& text, bool pauseHost, bool changeVolume, unsigned level,
                Encoding encoding);

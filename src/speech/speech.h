// Speaking the announcement through the system's speech engine ("SAPI.SpVoice") on a worker
// thread, one announcement at a time, with the player paused or turned down meanwhile.
#pragma once

#include <string>

#include "encoding/unicode.h"

// Whether the system knows the speech engine's ProgID. Asked afresh on every call.
bool IsSpeechAvailable();

// Has the worker speak text (in the code page, or UTF-8 with the Unicode encodings) and returns
// at once; an empty text starts nothing. The announcement speaking, or waiting, is ended first.
void SpeakAsync(const std::string& text, bool pauseHost, bool changeVolume, unsigned level,
                Encoding encoding);

// At quit, on the player's thread: ends the announcement, puts back what it changed on the
// player before it returns, and lets no worker touch the player again.
void EndSpeech();

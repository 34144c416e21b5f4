// The speech announcer.
#include "speech/speech.h"

// Placeholders until the speech announcer lands.
bool IsSpeechAvailable() { return false; }
void SpeakAsync(const std::string&, bool, bool, unsigned) {}
unsigned HostVolumeFromLevel(unsigned level) { return level * 4; }

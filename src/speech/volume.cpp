// The speech volume scale: the settings' levels 0..64 on the player's volume 0..255. Pure, so
// that the native tests compile this very file.
#include "speech/volume.h"

namespace {

constexpr unsigned kTopLevel = 64;

}  // namespace

unsigned HostVolumeFromLevel(unsigned level) {
  // Levels above the scale never come from the settings; should one arrive all the same, it
  // must not wrap past the player's 255.
  if (level > kTopLevel) level = kTopLevel;
  unsigned volume = 4 * level;
  if (level >= 16) volume += 1;
  if (level == 32) volume += 1;
  if (level >= 33) volume -= 1;
  if (level == kTopLevel) volume -= 1;
  return volume;
}

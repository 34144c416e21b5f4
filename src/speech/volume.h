// The speech volume scale: the settings' levels 0..64 on the player's volume 0..255. Pure and
// free of <windows.h> (volume.cpp is tested natively).
#pragma once

// The player's volume (0..255) for a speech volume level (0..64).
unsigned HostVolumeFromLevel(unsigned level);

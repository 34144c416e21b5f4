// The playing track's cover as the bytes of an image file: the art the player's album-art
// service has for it (as the player stores it, or a PNG of the pixels it decodes), or, from a
// player without that service, an image beside the track. Asked on the player's window thread,
// in the update cycle; nothing is kept between calls.
#pragma once

#include <optional>
#include <string>

// The cover of the playlist's playing entry, or none. `hostVersion` says which of the player's
// requests for the entry's file name it answers.
std::optional<std::string> PlayingCover(unsigned hostVersion);

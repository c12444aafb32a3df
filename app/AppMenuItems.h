// The application's own menu-item accessor: it looks the item up anew in the
// application's menu bar at every call.
#pragma once

#include <cstdint>

#include "framework/Menu.h"

// The sound-volume item of that index (0 .. SoundPlayer::kMuteIndex).
fw::Ref<fw::MenuItem> GameMenuSoundVol(int32_t index);

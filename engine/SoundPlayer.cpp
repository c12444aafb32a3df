#include "engine/SoundPlayer.h"

#include <iterator>

#include "framework/Time.h"

namespace {

// The volume and the save code of each level.
constexpr int32_t kVolumes[] = {100, 70, 50, 35, 25, 17, 12, 8, 6};
constexpr const char* kCodes[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I"};
static_assert(std::size(kVolumes) == SoundPlayer::kLevels && std::size(kCodes) == SoundPlayer::kLevels);
constexpr const char* kMuteCode = "0";

// Priorities that priority mode plays at once, and those it drops.
constexpr int32_t kPlayAbove = 6;
constexpr int32_t kDropBelow = 4;

}  // namespace

SoundPlayer::SoundPlayer() = default;
SoundPlayer::~SoundPlayer() = default;

std::string SoundPlayer::VersionInfo() { return "2012-05-19,1"; }

void SoundPlayer::Play(const fw::Ref<fw::Sound>& s) {
  if (!SoundEnable || !s) return;
  s->Volume(SoundVolume);
  s->Play();
  LastPlayTime = fw::Microseconds();
}

void SoundPlayer::SetEnable(bool on) {
  SoundEnable = on;
  SoundVolume = on ? 100 : 0;
  // 99 rather than the mute index: no volume menu item shows as current.
  SoundVolumeIndex = on ? 0 : 99;
}

bool SoundPlayer::RefEnable() { return SoundEnable; }

// Nothing in the game beeps; the guard is kept so that a muted player never
// makes a sound.
void SoundPlayer::Beep() {
  if (!SoundEnable) return;
}

void SoundPlayer::SetVolume(int32_t index) {
  if (index >= 0 && index < kLevels) {
    SoundEnable = true;
    SoundVolume = kVolumes[index];
    SoundVolumeIndex = index;
  } else {
    SoundEnable = false;
    SoundVolume = 0;
    SoundVolumeIndex = kMuteIndex;
  }
}

int32_t SoundPlayer::RefVolume() { return SoundVolumeIndex; }

std::string SoundPlayer::SaveData() {
  if (SoundVolumeIndex >= 0 && SoundVolumeIndex < kLevels) return kCodes[SoundVolumeIndex];
  return kMuteCode;
}

void SoundPlayer::RestoreData(const std::string& code) {
  for (int32_t i = 0; i < kLevels; ++i) {
    if (code == kCodes[i]) {
      SetVolume(i);
      return;
    }
  }
  SetVolume(code == kMuteCode ? kMuteIndex : 0);
}

void SoundPlayer::PushQueue(const fw::Ref<fw::Sound>& s, int32_t priority) {
  if (!s || priority < 1) return;
  if (SoundQueueBound >= kQueueSize - 1) return;  // full: the newcomer is dropped
  if (SoundQueueBound < 0) {
    SoundQueue[0] = s;
    PriorityQueue[0] = priority;
    SoundQueueBound = 0;
    return;
  }
  // From the back, move every lower-priority sound up one slot.
  int32_t position = 0;
  for (int32_t i = SoundQueueBound; i >= 0; --i) {
    if (PriorityQueue[i] >= priority) {
      position = i + 1;
      break;
    }
    SoundQueue[i + 1] = std::move(SoundQueue[i]);
    PriorityQueue[i + 1] = PriorityQueue[i];
    position = i;
  }
  SoundQueue[position] = s;
  PriorityQueue[position] = priority;
  ++SoundQueueBound;
}

void SoundPlayer::ClearSlot(int32_t i) {
  SoundQueue[i] = nullptr;
  PriorityQueue[i] = 0;
}

void SoundPlayer::PlayQueue() {
  if (SoundQueueBound < 0) {
    if (SacrificeSound) {
      const double quiet = static_cast<double>(SacrificeInterval) * 100000.0;  // tenths of a second in µs
      if (quiet < fw::Microseconds() - LastPlayTime) Play(SacrificeSound);
    }
    return;
  }

  Play(SoundQueue[0]);
  ClearSlot(0);
  if (SoundQueueBound == 0) {
    SoundQueueBound = -1;
    return;
  }

  if (!PriorityMode) {
    for (int32_t i = 1; i <= SoundQueueBound; ++i) {
      Play(SoundQueue[i]);
      ClearSlot(i);
    }
    SoundQueueBound = -1;
    return;
  }

  // Priority mode: play the urgent sounds, drop the minor ones, and carry
  // the middle ones over to later ticks in their order.
  int32_t kept = 0;
  for (int32_t i = 1; i <= SoundQueueBound; ++i) {
    const int32_t p = PriorityQueue[i];
    if (p > kPlayAbove) {
      Play(SoundQueue[i]);
      ClearSlot(i);
    } else if (p < kDropBelow) {
      ClearSlot(i);
    } else {
      ++kept;
    }
  }
  int32_t w = 0;
  if (kept > 0) {
    for (int32_t i = 1; i <= SoundQueueBound; ++i) {
      if (!SoundQueue[i]) continue;
      SoundQueue[w] = std::move(SoundQueue[i]);
      PriorityQueue[w] = PriorityQueue[i];
      ClearSlot(i);
      ++w;
    }
  }
  SoundQueueBound = w - 1;
}

void SoundPlayer::SetSacrifice(const fw::Ref<fw::Sound>& s, int32_t interval) {
  SacrificeSound = s;
  SacrificeInterval = interval;
}

void SoundPlayer::SetPriorityMode(bool on) { PriorityMode = on; }

// The sound-effect player: volume levels and mute with their save codes, a
// priority queue of 16 sounds emptied once per clock tick, and an idle sound
// played after a set time of quiet.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "framework/Object.h"
#include "framework/Sound.h"

class SoundPlayer : public fw::Object {
 public:
  static constexpr int32_t kQueueSize = 16;
  // Volume levels 0 .. kLevels - 1, loud to soft; the index after them mutes.
  static constexpr int32_t kLevels = 9;
  static constexpr int32_t kMuteIndex = kLevels;

  SoundPlayer();
  ~SoundPlayer() override;

  virtual std::string VersionInfo();
  // Plays the sound at once at the current volume; nothing while sound is
  // off or without a sound.
  virtual void Play(const fw::Ref<fw::Sound>& s);
  virtual void SetEnable(bool on);
  virtual bool RefEnable();
  // Never called by the game; kept whole on purpose (docs/ARCHITECTURE.md).
  virtual void Beep();
  // A level, loud to soft; any other index mutes (kMuteIndex).
  virtual void SetVolume(int32_t index);
  virtual int32_t RefVolume();
  // One character: "A".."I" for the levels, "0" otherwise.
  virtual std::string SaveData();
  // The inverse of SaveData; any other text gives level 0.
  virtual void RestoreData(const std::string& code);
  // Queues a sound behind every queued sound of the same or higher priority.
  virtual void PushQueue(const fw::Ref<fw::Sound>& s, int32_t priority);
  // Plays the queue (or the idle sound when it is empty and quiet has lasted).
  virtual void PlayQueue();
  // The idle sound and the quiet before it, in tenths of a second.
  virtual void SetSacrifice(const fw::Ref<fw::Sound>& s, int32_t interval);
  virtual void SetPriorityMode(bool on);

  int32_t SacrificeInterval = 0;

 protected:
  bool SoundEnable = true;
  int32_t SoundVolume = 100;
  int32_t SoundVolumeIndex = 0;
  std::array<fw::Ref<fw::Sound>, kQueueSize> SoundQueue;
  int32_t SoundQueueBound = -1;
  fw::Ref<fw::Sound> SacrificeSound;
  double LastPlayTime = 0;
  std::array<int32_t, kQueueSize> PriorityQueue{};
  bool PriorityMode = false;

 private:
  void ClearSlot(int32_t i);
};

// The mixer behind the default sound output: sums the sounds that are
// playing into one stream of 16-bit stereo frames. Plain C++, so that the
// mixing can be checked without an audio device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/Sound.h"

namespace fw {

class SoundMixer {
 public:
  // The stream's format: interleaved 16-bit stereo at this rate.
  static constexpr int32_t kRate = 44100;
  static constexpr int32_t kChannels = 2;
  // Voices beyond this many replace the oldest one.
  static constexpr size_t kMaxVoices = 32;

  SoundMixer();

  // Starts `sound` at `volume` after `delay` frames of what Mix produces
  // next (0: with the next frame). Volume 0..100 (clamped) scales the
  // amplitude linearly: 35 gives 0.35 of the samples. A mono sound plays on
  // both channels; a sound at another rate is resampled linearly. Nothing
  // starts for volume 0 or an empty sound.
  void Start(std::shared_ptr<const SoundData> sound, int32_t volume, size_t delay = 0);

  // Fills `frames` frames (2 * frames samples) with the sum of the voices,
  // saturated to the 16-bit range; silence where nothing plays. A voice is
  // released after its last frame has been mixed.
  void Mix(int16_t* out, size_t frames);

  // Voices still to be heard, those still waiting for their start included.
  size_t Playing() const { return voices_.size(); }
  // Stops every voice.
  void Clear() { voices_.clear(); }

 private:
  struct Voice {
    std::shared_ptr<const SoundData> sound;
    int32_t volume;
    // Position and step in source frames, 32.32 fixed point, so that a
    // sound at the mixer's rate is copied sample for sample.
    uint64_t position;
    uint64_t step;
    uint64_t end;
    // Frames of silence before the first one.
    size_t delay;
  };
  // Adds the voice into acc_ for up to `frames` frames; false once it has ended.
  bool MixVoice(Voice& v, size_t frames);

  std::vector<Voice> voices_;
  std::vector<int32_t> acc_;
};

}  // namespace fw

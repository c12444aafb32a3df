#include "framework/SoundMixer.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace fw {

namespace {

// a + (b - a) * frac / 65536, with frac in 0..65535.
int32_t Lerp(int32_t a, int32_t b, int64_t frac) {
  return a + static_cast<int32_t>((static_cast<int64_t>(b - a) * frac) >> 16);
}

int16_t Saturate(int32_t v) {
  return static_cast<int16_t>(
      std::clamp<int32_t>(v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

}  // namespace

SoundMixer::SoundMixer() { voices_.reserve(kMaxVoices); }

void SoundMixer::Start(std::shared_ptr<const SoundData> sound, int32_t volume, size_t delay) {
  volume = std::clamp(volume, 0, 100);
  if (!sound || volume == 0) return;
  if (sound->channels != 1 && sound->channels != 2) return;
  if (sound->sampleRate <= 0) return;
  const uint64_t frames = sound->samples.size() / static_cast<size_t>(sound->channels);
  // The end position must fit the 32.32 fixed point.
  if (frames == 0 || frames >= (uint64_t{1} << 31)) return;
  if (voices_.size() >= kMaxVoices) voices_.erase(voices_.begin());
  const uint64_t step = (static_cast<uint64_t>(sound->sampleRate) << 32) / kRate;
  voices_.push_back(Voice{std::move(sound), volume, 0, std::max<uint64_t>(step, 1), frames << 32, delay});
}

bool SoundMixer::MixVoice(Voice& v, size_t frames) {
  const SoundData& d = *v.sound;
  const int16_t* s = d.samples.data();
  const uint64_t last = d.samples.size() / static_cast<size_t>(d.channels) - 1;
  const bool stereo = d.channels == 2;
  const size_t wait = std::min(v.delay, frames);
  v.delay -= wait;
  int32_t* acc = acc_.data() + 2 * wait;
  frames -= wait;
  for (size_t i = 0; i < frames && v.position < v.end; ++i) {
    const uint64_t f = v.position >> 32;
    const int64_t frac = static_cast<int64_t>((v.position >> 16) & 0xFFFF);
    // The last frame is held rather than faded, so the sound keeps its
    // level to its last sample.
    const uint64_t g = f < last ? f + 1 : f;
    int32_t left;
    int32_t right;
    if (stereo) {
      left = Lerp(s[2 * f], s[2 * g], frac);
      right = Lerp(s[2 * f + 1], s[2 * g + 1], frac);
    } else {
      left = right = Lerp(s[f], s[g], frac);
    }
    acc[2 * i] += left * v.volume / 100;
    acc[2 * i + 1] += right * v.volume / 100;
    v.position += v.step;
  }
  return v.position < v.end;
}

void SoundMixer::Mix(int16_t* out, size_t frames) {
  const size_t samples = frames * kChannels;
  if (voices_.empty()) {
    std::memset(out, 0, samples * sizeof(int16_t));
    return;
  }
  acc_.assign(samples, 0);
  std::erase_if(voices_, [&](Voice& v) { return !MixVoice(v, frames); });
  for (size_t i = 0; i < samples; ++i) out[i] = Saturate(acc_[i]);
}

}  // namespace fw

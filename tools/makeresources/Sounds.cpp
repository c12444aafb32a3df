#include "Sounds.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

constexpr double kPi = 3.14159265358979323846;
// Every effect is brought to this loudness (about -15 dBFS) ...
constexpr double kLoudness = 0.18;
// ... unless that would put its peak above this (about -1.4 dBFS).
constexpr double kPeakLimit = 0.85;
constexpr double kLoudnessWindow = 0.050;

using Signal = std::vector<double>;

Signal Silence(double seconds) { return Signal(static_cast<size_t>(seconds * kSampleRate + 0.5), 0.0); }

// A deterministic noise source (xorshift32), uniform in [-1, 1).
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed) {}
  double Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
  }

 private:
  uint32_t state_;
};

// A second-order band-pass filter whose centre may move from sample to sample.
class BandPass {
 public:
  double Step(double x, double centre, double q) {
    const double w = 2 * kPi * centre / kSampleRate;
    const double alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    const double b0 = alpha / a0, b2 = -alpha / a0;
    const double a1 = -2 * std::cos(w) / a0, a2 = (1 - alpha) / a0;
    const double y = b0 * x + b2 * x2_ - a1 * y1_ - a2 * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return y;
  }

 private:
  double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// A struck tone at `start` seconds: partials of the frequency, each with its
// own ratio, weight and decay time, after a short attack. `glide` bends the
// pitch down by that fraction over the first 40 ms (a knock).
struct Partial {
  double ratio, weight, decay;
};
void Strike(Signal& s, double start, double freq, double amp, const std::vector<Partial>& partials,
            double attack = 0.003, double glide = 0.0) {
  const size_t first = static_cast<size_t>(start * kSampleRate);
  for (const Partial& part : partials) {
    double phase = 0;
    for (size_t i = first; i < s.size(); ++i) {
      const double t = static_cast<double>(i - first) / kSampleRate;
      const double bend = 1.0 - glide * std::min(t / 0.040, 1.0);
      phase += 2 * kPi * freq * part.ratio * bend / kSampleRate;
      const double env = std::min(t / attack, 1.0) * std::exp(-t / part.decay);
      s[i] += amp * part.weight * env * std::sin(phase);
    }
  }
}

// The volume sample: one clear marimba-like note (G5).
Signal VolumeSample() {
  Signal s = Silence(0.45);
  Strike(s, 0.0, 783.99, 1.0, {{1.0, 1.0, 0.14}, {3.93, 0.22, 0.035}, {9.2, 0.05, 0.012}});
  return s;
}

// The push: a soft thump, then the slide of a wooden tile on its tray.
Signal Push() {
  Signal s = Silence(0.34);
  Strike(s, 0.0, 150.0, 0.7, {{1.0, 1.0, 0.030}, {2.1, 0.3, 0.015}}, 0.002, 0.35);
  Noise noise(0x5EED1u);
  BandPass band;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double centre = 1900.0 * std::exp(-t / 0.22) + 500.0;
    const double env = std::min(t / 0.045, 1.0) * std::exp(-t / 0.11);
    s[i] += 1.6 * env * band.Step(noise.Next(), centre, 2.2);
  }
  return s;
}

// A landing: a short, dry wooden knock.
Signal Landing() {
  Signal s = Silence(0.16);
  Strike(s, 0.0, 330.0, 1.0, {{1.0, 1.0, 0.038}, {2.76, 0.45, 0.016}, {5.4, 0.15, 0.006}}, 0.0015, 0.28);
  Noise noise(0xB10C4u);
  BandPass band;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    s[i] += 0.9 * std::min(t / 0.001, 1.0) * std::exp(-t / 0.006) * band.Step(noise.Next(), 2500.0, 1.2);
  }
  return s;
}

// Completion: a rising arpeggio, C E G C, ringing out on a chord.
Signal Complete() {
  Signal s = Silence(0.80);
  const std::vector<Partial> bell = {{1.0, 1.0, 0.22}, {2.0, 0.25, 0.10}, {3.0, 0.10, 0.05}, {4.16, 0.06, 0.03}};
  const double notes[] = {523.25, 659.26, 783.99, 1046.50};
  for (int i = 0; i < 4; ++i) Strike(s, 0.095 * i, notes[i], i == 3 ? 1.0 : 0.8, bell);
  const std::vector<Partial> ring = {{1.0, 1.0, 0.24}, {2.0, 0.2, 0.10}};
  Strike(s, 0.285, 659.26, 0.35, ring);
  Strike(s, 0.285, 783.99, 0.30, ring);
  return s;
}

// Raised-cosine fades at both ends, so that no sound starts or stops with a click.
void Fade(Signal& s, double in, double out) {
  const size_t nIn = static_cast<size_t>(in * kSampleRate), nOut = static_cast<size_t>(out * kSampleRate);
  for (size_t i = 0; i < nIn && i < s.size(); ++i) s[i] *= 0.5 - 0.5 * std::cos(kPi * i / nIn);
  for (size_t i = 0; i < nOut && i < s.size(); ++i) s[s.size() - 1 - i] *= 0.5 - 0.5 * std::cos(kPi * i / nOut);
}

double LoudestWindowRms(const Signal& s) {
  const size_t w = std::min(s.size(), static_cast<size_t>(kLoudnessWindow * kSampleRate));
  if (w == 0) return 0;
  double sum = 0, best = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    sum += s[i] * s[i];
    if (i >= w) sum -= s[i - w] * s[i - w];
    if (i + 1 >= w) best = std::max(best, sum);
  }
  return std::sqrt(std::max(best, 0.0) / static_cast<double>(w));
}

std::vector<int16_t> Finish(Signal s) {
  // The fade-out grows with the sound, so that a ringing tail ends gently.
  Fade(s, 0.002, std::max(0.015, 0.12 * static_cast<double>(s.size()) / kSampleRate));
  double peak = 0;
  for (double v : s) peak = std::max(peak, std::fabs(v));
  const double loud = LoudestWindowRms(s);
  if (loud <= 0 || peak <= 0) throw std::runtime_error("a sound came out silent");
  const double gain = std::min(kLoudness / loud, kPeakLimit / peak);
  std::vector<int16_t> out(s.size());
  for (size_t i = 0; i < s.size(); ++i) out[i] = static_cast<int16_t>(std::lround(s[i] * gain * 32767.0));
  return out;
}

}  // namespace

std::vector<NamedSound> SynthesiseSounds() {
  return {
      // 50 ms of true silence: the idle sound, played about once a second.
      {"SilenceSnd", std::vector<int16_t>(kSampleRate / 20, 0)},
      {"SoundVolSnd", Finish(VolumeSample())},
      {"PushSnd", Finish(Push())},
      {"BlockSnd", Finish(Landing())},
      {"CompleteSnd", Finish(Complete())},
  };
}

QByteArray WaveFile(const std::vector<int16_t>& samples) {
  QByteArray out;
  auto u32 = [&out](uint32_t v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
  };
  auto u16 = [&out](uint16_t v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
  };
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  out.append("RIFF", 4);
  u32(36 + dataBytes);
  out.append("WAVE", 4);
  out.append("fmt ", 4);
  u32(16);
  u16(1);  // PCM
  u16(1);  // mono
  u32(kSampleRate);
  u32(kSampleRate * 2);  // bytes per second
  u16(2);                // bytes per frame
  u16(16);               // bits per sample
  out.append("data", 4);
  u32(dataBytes);
  for (int16_t v : samples) u16(static_cast<uint16_t>(v));
  return out;
}

Level Measure(const std::vector<int16_t>& samples) {
  Signal s(samples.size());
  Level level;
  for (size_t i = 0; i < samples.size(); ++i) {
    s[i] = samples[i] / 32768.0;
    level.peak = std::max(level.peak, std::fabs(s[i]));
  }
  level.loudness = LoudestWindowRms(s);
  return level;
}

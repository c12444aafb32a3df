// Sound effects: decoded PCM that plays at once and may overlap.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Object.h"

namespace fw {

// Decoded samples, shared by every Sound made from the same file.
struct SoundData {
  std::string name;            // the file name the sound was read from
  int32_t sampleRate = 44100;  // frames per second
  int32_t channels = 1;        // 1 or 2, interleaved
  std::vector<int16_t> samples;
  double DurationSeconds() const;
};

class Sound : public Object {
 public:
  explicit Sound(std::shared_ptr<const SoundData> data);
  ~Sound() override;

  // 0..100; values outside are clamped. Applies to the next Play.
  int32_t Volume() const { return volume_; }
  void Volume(int32_t v);

  // Starts the sound at its volume and returns at once; a sound that is
  // still playing keeps playing, so sounds overlap.
  void Play();

  const std::shared_ptr<const SoundData>& Data() const { return data_; }

 private:
  std::shared_ptr<const SoundData> data_;
  int32_t volume_ = 100;
};

// Reads a RIFF WAVE file of 8- or 16-bit PCM, mono or stereo, at any rate
// from 1000 to 384000 Hz; nil when the file is missing, truncated, larger
// than 64 MiB or of another kind. The sound is named after the file.
Ref<Sound> LoadSound(const std::string& path);
// The same from bytes in memory; `name` labels the result. 8-bit samples
// become 16-bit ones; the rate and channels stay those of the file.
std::shared_ptr<SoundData> DecodeWave(const std::string& bytes, const std::string& name);

// Where Sound::Play sends its sounds. The default output mixes them into one
// stream to the sound server, which it connects to on its first Play, on a
// thread of its own: Play only hands the sound over and never waits for the
// server. Every sound starts the same time after its Play, whether the
// output was playing, suspended or closed. When the server cannot be
// reached within two seconds the sounds are dropped, and it is tried again
// at a Play three seconds or more after the failure; a server that goes
// away while connected is looked for again at the next Play, at once, and
// that sound plays once it is back. A test puts a recording output in its
// place.
class SoundOutput {
 public:
  virtual ~SoundOutput() = default;
  virtual void Play(const std::shared_ptr<const SoundData>& sound, int32_t volume) = 0;
};

// nullptr restores the default output.
void SetSoundOutput(std::shared_ptr<SoundOutput> output);
std::shared_ptr<SoundOutput> CurrentSoundOutput();

// Where the default output's audio device stands, for diagnostics: not yet
// asked for, being opened, open (connected to the server), or failed
// (sounds are being dropped).
enum class SoundDeviceState { Closed, Opening, Open, Failed };
SoundDeviceState CurrentSoundDeviceState();

// Records every sound played, with its volume and the Microseconds reading.
class RecordingSoundOutput : public SoundOutput {
 public:
  struct Entry {
    std::string name;
    int32_t volume;
    double time;
    std::shared_ptr<const SoundData> sound;
  };
  void Play(const std::shared_ptr<const SoundData>& sound, int32_t volume) override;
  std::vector<Entry> entries;
};

}  // namespace fw

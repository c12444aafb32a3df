#include "framework/Sound.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "framework/Time.h"

namespace fs = std::filesystem;

namespace fw {

// ---------------------------------------------------------------------------
// Sound

double SoundData::DurationSeconds() const {
  if (channels <= 0 || sampleRate <= 0) return 0.0;
  return static_cast<double>(samples.size() / static_cast<size_t>(channels)) / sampleRate;
}

Sound::Sound(std::shared_ptr<const SoundData> data) : data_(std::move(data)) {}
Sound::~Sound() = default;

void Sound::Volume(int32_t v) { volume_ = std::clamp(v, 0, 100); }

void Sound::Play() { CurrentSoundOutput()->Play(data_, volume_); }

// ---------------------------------------------------------------------------
// WAVE files

namespace {

constexpr uintmax_t kMaxWaveBytes = uintmax_t{64} << 20;
constexpr uint32_t kMinRate = 1000;
constexpr uint32_t kMaxRate = 384000;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The sub-format of an extensible header that means integer PCM.
constexpr char kPcmSubFormat[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, '\x80', 0, 0, '\xAA', 0, 0x38, '\x9B', 0x71};

uint16_t Le16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(Le16(b, at)) | static_cast<uint32_t>(Le16(b, at + 2)) << 16;
}

struct WaveFormat {
  uint16_t channels;
  uint16_t bits;
  uint32_t rate;
  uint16_t blockAlign;
};

// The "fmt " chunk of `size` bytes at `at`, when it is one this decoder plays.
std::optional<WaveFormat> ParseFormat(const std::string& b, size_t at, uint32_t size) {
  if (size < 16) return std::nullopt;
  const uint16_t tag = Le16(b, at);
  WaveFormat f{Le16(b, at + 2), Le16(b, at + 14), Le32(b, at + 4), Le16(b, at + 12)};
  if (tag == kFormatExtensible) {
    if (size < 40 || Le16(b, at + 16) < 22) return std::nullopt;
    if (b.compare(at + 24, sizeof kPcmSubFormat, kPcmSubFormat, sizeof kPcmSubFormat) != 0)
      return std::nullopt;
  } else if (tag != kFormatPcm) {
    return std::nullopt;
  }
  if (f.channels != 1 && f.channels != 2) return std::nullopt;
  if (f.bits != 8 && f.bits != 16) return std::nullopt;
  if (f.blockAlign != f.channels * f.bits / 8) return std::nullopt;
  if (f.rate < kMinRate || f.rate > kMaxRate) return std::nullopt;
  return f;
}

}  // namespace

std::shared_ptr<SoundData> DecodeWave(const std::string& bytes, const std::string& name) {
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
    return nullptr;
  std::optional<WaveFormat> format;
  std::optional<std::pair<size_t, uint32_t>> data;  // offset and size of the samples
  // The RIFF size is not trusted: the chunks are walked within the bytes
  // that are there, and every chunk must lie wholly inside them.
  size_t pos = 12;
  while (pos + 8 <= bytes.size() && !(format && data)) {
    const uint32_t size = Le32(bytes, pos + 4);
    const size_t body = pos + 8;
    if (size > bytes.size() - body) return nullptr;
    if (bytes.compare(pos, 4, "fmt ") == 0 && !format) {
      format = ParseFormat(bytes, body, size);
      if (!format) return nullptr;
    } else if (bytes.compare(pos, 4, "data") == 0 && !data) {
      data.emplace(body, size);
    }
    pos = body + size + (size & 1u);  // chunks are padded to an even size
  }
  if (!format || !data) return nullptr;

  auto sound = std::make_shared<SoundData>();
  sound->name = name;
  sound->sampleRate = static_cast<int32_t>(format->rate);
  sound->channels = format->channels;
  // A partial frame at the end of the data is left out.
  const size_t frames = data->second / format->blockAlign;
  const size_t count = frames * format->channels;
  sound->samples.resize(count);
  const size_t at = data->first;
  if (format->bits == 8) {
    for (size_t i = 0; i < count; ++i)
      sound->samples[i] = static_cast<int16_t>((static_cast<uint8_t>(bytes[at + i]) - 128) * 256);
  } else {
    for (size_t i = 0; i < count; ++i) sound->samples[i] = static_cast<int16_t>(Le16(bytes, at + 2 * i));
  }
  return sound;
}

Ref<Sound> LoadSound(const std::string& path) {
  std::error_code ec;
  // Only a regular file: opening a pipe or a device could block or never end.
  if (!fs::is_regular_file(fs::path(path), ec)) return nullptr;
  const uintmax_t size = fs::file_size(fs::path(path), ec);
  if (ec || size > kMaxWaveBytes) return nullptr;
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  std::string bytes(static_cast<size_t>(size), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  if (static_cast<uintmax_t>(in.gcount()) != size) return nullptr;
  auto data = DecodeWave(bytes, fs::path(path).filename().string());
  if (!data) return nullptr;
  return New<Sound>(std::move(data));
}

// ---------------------------------------------------------------------------
// Outputs

namespace {

// Stands in for the audio device until it lands: sounds are dropped.
class SilentSoundOutput final : public SoundOutput {
 public:
  void Play(const std::shared_ptr<const SoundData>&, int32_t) override {}
};

std::shared_ptr<SoundOutput>& OutputOverride() {
  static std::shared_ptr<SoundOutput> output;
  return output;
}

}  // namespace

void SetSoundOutput(std::shared_ptr<SoundOutput> output) { OutputOverride() = std::move(output); }

std::shared_ptr<SoundOutput> CurrentSoundOutput() {
  if (OutputOverride()) return OutputOverride();
  static const std::shared_ptr<SoundOutput> device = std::make_shared<SilentSoundOutput>();
  return device;
}

void RecordingSoundOutput::Play(const std::shared_ptr<const SoundData>& sound, int32_t volume) {
  entries.push_back(Entry{sound ? sound->name : std::string(), volume, Microseconds(), sound});
}

}  // namespace fw

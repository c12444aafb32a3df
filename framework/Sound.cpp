#include "framework/Sound.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>

#include "framework/FilesPrivate.h"
#include "framework/RuntimePrivate.h"
#include "framework/SoundMixer.h"
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
    if (b.compare(at + 24, sizeof kPcmSubFormat, kPcmSubFormat, sizeof kPcmSubFormat) != 0) return std::nullopt;
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
  if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) return nullptr;
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
  // Only a regular file of bounded size: a pipe or a device could block or
  // never end.
  std::string bytes;
  if (!files::ReadRegularFile(path, kMaxWaveBytes, bytes)) return nullptr;
  auto data = DecodeWave(bytes, fs::path(path).filename().string());
  if (!data) return nullptr;
  return New<Sound>(std::move(data));
}

// ---------------------------------------------------------------------------
// The default output: one audio sink on a thread of its own, fed by a mixer.

namespace {

using SteadyClock = std::chrono::steady_clock;

// Latency of the stream, and how often the audio thread tops it up: the
// buffer rides out a late wake-up of the thread several times over.
constexpr int kBufferMs = 60;
constexpr int kFeedMs = 10;
// How long a suspended sink stays open for the next sound before it is
// closed: a suspended sink still keeps the sound server working.
constexpr int kCloseAfterMs = 3000;
// How long after a failure the device is tried again.
constexpr auto kRetryDelay = std::chrono::seconds(3);
// Sounds waiting for the device: at most this many, and none older than
// kMaxWait, so that a slow device does not play a burst of stale sounds.
constexpr size_t kMaxPending = 64;
constexpr auto kMaxWait = std::chrono::seconds(1);
// How long quitting waits for the audio thread. It ends in milliseconds
// unless it is caught in a server that never answers, where the client
// library waits 30 s; then it is left, and quitting does not wait for it.
constexpr int kShutdownWaitMs = 500;

struct PendingVoice {
  std::shared_ptr<const SoundData> sound;
  int32_t volume;
  SteadyClock::time_point queued;
};

class AudioWorker;

// Shared between Play on the main thread and the audio thread; the lock is
// held only to hand sounds over, never while mixing or talking to the server.
class AudioEngine {
 public:
  // Never destroyed: the audio thread may still run when statics go.
  static AudioEngine& Instance() {
    static AudioEngine* engine = new AudioEngine;
    return *engine;
  }

  void Play(std::shared_ptr<const SoundData> sound, int32_t volume);
  SoundDeviceState State() const { return state_.load(); }
  // False when the audio thread did not end in time and was left running.
  bool Shutdown();

  // Audio thread.
  void TakeVoices(std::vector<PendingVoice>& out) {
    std::lock_guard lock(mutex_);
    out.swap(inbox_);
  }
  void Opened() {
    std::lock_guard lock(mutex_);
    if (!shutDown_) state_ = SoundDeviceState::Open;
  }
  void Failed() {
    std::lock_guard lock(mutex_);
    inbox_.clear();
    failedAt_ = SteadyClock::now();
    if (!shutDown_) state_ = SoundDeviceState::Failed;
  }

 private:
  AudioEngine() = default;
  void StartThread();

  std::mutex mutex_;
  std::vector<PendingVoice> inbox_;
  std::atomic<SoundDeviceState> state_{SoundDeviceState::Closed};
  SteadyClock::time_point failedAt_;
  bool shutDown_ = false;
  // Main thread only.
  QThread* thread_ = nullptr;
  AudioWorker* worker_ = nullptr;
};

// Lives on the audio thread and owns the sink there. While a sound plays it
// keeps the sink's buffer topped up with the mixer's output, the sum of the
// voices; after the last one it writes silence until the sound has left the
// buffer, so its end is never cut, and then suspends the sink and stops its
// feed timer; after some seconds more of quiet it closes the sink, so that
// a quiet game costs the sound server and this thread nothing. The next
// sound resumes the sink, or opens one again, and is written at once.
class AudioWorker : public QObject {
 public:
  explicit AudioWorker(AudioEngine& engine) : engine_(engine) {}
  ~AudioWorker() override { Close(); }

  void Open() {
    if (sink_ || parked_) return;
    if (!StartSink()) {
      Close();
      engine_.Failed();
      return;
    }
    engine_.Opened();
    Feed();
  }

  // A sound has been handed over: mix it in now rather than at the next
  // top-up, which does not come while the sink is closed.
  void Wake() { Feed(); }

  void Close() {
    parked_ = false;
    suspended_ = false;
    if (closeTimer_) closeTimer_->stop();
    delete timer_;
    timer_ = nullptr;
    if (sink_) sink_->disconnect(this);
    delete sink_;  // takes its output device along
    sink_ = nullptr;
    output_ = nullptr;
    mixer_.Clear();
  }

 private:
  static constexpr qsizetype kFrameBytes = SoundMixer::kChannels * sizeof(int16_t);

  // Connects a sink to the default device and starts its feed timer; false
  // when that fails.
  bool StartSink() {
    // Asking for the device connects to the sound server; that may take
    // long or fail, which is why it happens here and not in Play.
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return false;
    QAudioFormat format;
    format.setSampleRate(SoundMixer::kRate);
    format.setChannelCount(SoundMixer::kChannels);
    format.setSampleFormat(QAudioFormat::Int16);
    sink_ = new QAudioSink(device, format);
    sink_->setBufferSize(SoundMixer::kRate * kBufferMs / 1000 * kFrameBytes);
    output_ = sink_->start();
    if (output_ == nullptr || sink_->state() == QAudio::StoppedState) return false;
    // A sink that stops later has lost its server: close it, so that the
    // next Play after the retry delay opens the device anew.
    QObject::connect(sink_, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
      if (state != QAudio::StoppedState) return;
      QMetaObject::invokeMethod(
          this,
          [this] {
            Close();
            engine_.Failed();
          },
          Qt::QueuedConnection);
    });
    timer_ = new QTimer(this);
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_, &QTimer::timeout, this, [this] { Feed(); });
    timer_->start(kFeedMs);
    quietFrames_ = 0;
    return true;
  }

  // Fills the free part of the sink's buffer; closes the sink once the last
  // sound has been played out, and opens one again for the next sound.
  void Feed() {
    if (!sink_ && !parked_) return;
    engine_.TakeVoices(arrived_);
    const auto now = SteadyClock::now();
    for (PendingVoice& v : arrived_) {
      // A sound of silence alone is not worth waking the sink for: what
      // comes out is the same.
      if ((parked_ || suspended_) && mixer_.Playing() == 0 && Silent(*v.sound)) continue;
      if (now - v.queued <= kMaxWait) mixer_.Start(std::move(v.sound), v.volume);
    }
    arrived_.clear();
    if (mixer_.Playing() > 0) {
      quietFrames_ = 0;
      if (parked_) {
        parked_ = false;
        if (!StartSink()) {
          Close();
          engine_.Failed();
          return;
        }
      } else if (suspended_) {
        suspended_ = false;
        closeTimer_->stop();
        sink_->resume();
        timer_->start(kFeedMs);
      }
    } else if (parked_ || suspended_) {
      return;
    } else if (quietFrames_ >= BufferFrames()) {
      // Whatever was written after the last sound is silence, and at least
      // a whole buffer of it has been taken: the sound has been played out.
      Suspend();
      return;
    }
    const size_t frames = static_cast<size_t>(std::max<qsizetype>(sink_->bytesFree(), 0) / kFrameBytes);
    if (frames == 0) return;
    scratch_.resize(frames * SoundMixer::kChannels);
    const bool quiet = mixer_.Playing() == 0;
    mixer_.Mix(scratch_.data(), frames);
    output_->write(reinterpret_cast<const char*>(scratch_.data()), static_cast<qint64>(frames) * kFrameBytes);
    if (quiet) quietFrames_ += frames;
  }

  void Suspend() {
    suspended_ = true;
    timer_->stop();
    sink_->suspend();
    if (closeTimer_ == nullptr) {
      closeTimer_ = new QTimer(this);
      closeTimer_->setSingleShot(true);
      // Closed, the sink no longer tells when the server goes away; the
      // next sound finds out when it opens a sink again.
      QObject::connect(closeTimer_, &QTimer::timeout, this, [this] {
        if (!suspended_) return;
        Close();
        parked_ = true;
      });
    }
    closeTimer_->start(kCloseAfterMs);
  }

  static bool Silent(const SoundData& d) {
    return std::all_of(d.samples.begin(), d.samples.end(), [](int16_t s) { return s == 0; });
  }

  size_t BufferFrames() const { return static_cast<size_t>(sink_->bufferSize() / kFrameBytes); }

  AudioEngine& engine_;
  QAudioSink* sink_ = nullptr;
  QIODevice* output_ = nullptr;
  QTimer* timer_ = nullptr;
  SoundMixer mixer_;
  std::vector<PendingVoice> arrived_;
  std::vector<int16_t> scratch_;
  // The sink is suspended: nothing plays and the feed timer is off.
  bool suspended_ = false;
  QTimer* closeTimer_ = nullptr;
  // The device is open but its sink closed: nothing runs until the next
  // sound.
  bool parked_ = false;
  // Frames of silence written since the last sound ended.
  size_t quietFrames_ = 0;
};

void ShutdownAudio() { AudioEngine::Instance().Shutdown(); }

void AudioEngine::StartThread() {
  thread_ = new QThread;
  thread_->setObjectName(QStringLiteral("sound"));
  worker_ = new AudioWorker(*this);
  worker_->moveToThread(thread_);
  QMetaObject::invokeMethod(worker_, &AudioWorker::Open, Qt::QueuedConnection);
  // Runs while the application object is taken down, before the statics.
  qAddPostRoutine(&ShutdownAudio);
  thread_->start();
}

void AudioEngine::Play(std::shared_ptr<const SoundData> sound, int32_t volume) {
  if (!sound || sound->samples.empty() || volume <= 0) return;
  // The audio thread needs the application's event machinery.
  if (QCoreApplication::instance() == nullptr) return;
  const auto now = SteadyClock::now();
  std::lock_guard lock(mutex_);
  if (shutDown_) return;
  switch (state_.load()) {
    case SoundDeviceState::Closed:
      state_ = SoundDeviceState::Opening;
      StartThread();
      break;
    case SoundDeviceState::Failed:
      // Trying again helps after the server went away: the multimedia
      // library reconnects by itself then. A server that was missing from
      // the start is not looked for again by it in the same run.
      if (now - failedAt_ < kRetryDelay) return;
      state_ = SoundDeviceState::Opening;
      QMetaObject::invokeMethod(worker_, &AudioWorker::Open, Qt::QueuedConnection);
      break;
    case SoundDeviceState::Opening: break;
    case SoundDeviceState::Open:
      QMetaObject::invokeMethod(worker_, &AudioWorker::Wake, Qt::QueuedConnection);
      break;
  }
  if (inbox_.size() >= kMaxPending) inbox_.erase(inbox_.begin());
  inbox_.push_back(PendingVoice{std::move(sound), volume, now});
}

bool AudioEngine::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    if (shutDown_) return thread_ == nullptr;
    shutDown_ = true;
    inbox_.clear();
    state_ = SoundDeviceState::Closed;
  }
  if (thread_ == nullptr) return true;
  QMetaObject::invokeMethod(
      worker_,
      [w = worker_] {
        w->Close();
        QThread::currentThread()->quit();
      },
      Qt::QueuedConnection);
  if (!thread_->wait(QDeadlineTimer(kShutdownWaitMs))) {
    // Still stuck in the server's client library: leave the thread to the
    // end of the process rather than destroy what it runs on.
    return false;
  }
  delete worker_;
  worker_ = nullptr;
  delete thread_;
  thread_ = nullptr;
  return true;
}

class DeviceSoundOutput final : public SoundOutput {
 public:
  void Play(const std::shared_ptr<const SoundData>& sound, int32_t volume) override {
    AudioEngine::Instance().Play(sound, volume);
  }
};

std::shared_ptr<SoundOutput>& OutputOverride() {
  static std::shared_ptr<SoundOutput> output;
  return output;
}

}  // namespace

// For the run time's shut-down: false when the audio thread was left running.
bool ShutDownSound() { return AudioEngine::Instance().Shutdown(); }

void SetSoundOutput(std::shared_ptr<SoundOutput> output) { OutputOverride() = std::move(output); }

std::shared_ptr<SoundOutput> CurrentSoundOutput() {
  if (OutputOverride()) return OutputOverride();
  static const std::shared_ptr<SoundOutput> device = std::make_shared<DeviceSoundOutput>();
  return device;
}

SoundDeviceState CurrentSoundDeviceState() { return AudioEngine::Instance().State(); }

void RecordingSoundOutput::Play(const std::shared_ptr<const SoundData>& sound, int32_t volume) {
  entries.push_back(Entry{sound ? sound->name : std::string(), volume, Microseconds(), sound});
}

}  // namespace fw

#include "framework/Sound.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop.h>
#include <pulse/stream.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

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
// The default output: one stream to the sound server on a thread of its own,
// fed by a mixer.

namespace {

using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr size_t kFrameBytes = SoundMixer::kChannels * sizeof(int16_t);
// The stream's latency, from the write of a frame to its sound, and how
// much the server asks for at a time. The server keeps about half of the
// latency in the stream's buffer and asks for more as it plays, and the
// thread answers at once; what is buffered rides out the late wake-ups of
// the thread, and of the server, that a busy machine makes, 30 to 50 ms.
constexpr int kBufferMs = 100;
constexpr int kRequestMs = 10;
// The audio thread's nice level, where it may take it.
constexpr int kNice = -11;
// How long a suspended stream stays open for the next sound before it is
// closed: a suspended stream still keeps the sound server working.
constexpr auto kCloseAfter = 3s;
// Opening the device (connecting to the server and opening a stream) gives
// up after this long; a connection that is refused is tried again every
// kReconnectEvery meanwhile, so a server that is starting up is found.
constexpr auto kOpenTimeout = 2s;
constexpr auto kReconnectEvery = 100ms;
// How long after a failed opening the device is tried again.
constexpr auto kRetryDelay = 3s;
// Sounds waiting for the device: at most this many, and none older than
// kMaxWait, so that a slow device does not play a burst of stale sounds.
constexpr size_t kMaxPending = 64;
constexpr auto kMaxWait = 1s;
// How long quitting waits for the audio thread. It never waits for the
// server, so it ends in milliseconds; a thread that does not is left, and
// quitting does not wait for it.
constexpr auto kShutdownWait = 500ms;
constexpr auto kNever = SteadyClock::time_point::max();

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

  // Audio thread. Takes the sounds handed over; true when it is to end.
  bool TakeVoices(std::vector<PendingVoice>& out) {
    std::lock_guard lock(mutex_);
    out.swap(inbox_);
    return shutDown_;
  }
  void Opened() {
    std::lock_guard lock(mutex_);
    if (!shutDown_) state_ = SoundDeviceState::Open;
  }
  // Opening failed: sounds are dropped until the retry delay has passed.
  void Failed() {
    std::lock_guard lock(mutex_);
    inbox_.clear();
    failedAt_ = SteadyClock::now();
    lost_ = false;
    if (!shutDown_) state_ = SoundDeviceState::Failed;
  }
  // The server went away from an open device: the next Play opens it again
  // at once. True when a sound is waiting for it already (`waiting`, or one
  // handed over): then the device is being opened again now.
  bool Lost(bool waiting) {
    std::lock_guard lock(mutex_);
    if (shutDown_) return false;
    if (waiting || !inbox_.empty()) {
      state_ = SoundDeviceState::Opening;
      return true;
    }
    lost_ = true;
    state_ = SoundDeviceState::Failed;
    return false;
  }
  // The audio thread's last act.
  void Finished() {
    std::lock_guard lock(mutex_);
    finished_ = true;
    ended_.notify_all();
  }

 private:
  AudioEngine() = default;
  bool StartThread();
  void Wake();

  std::mutex mutex_;
  std::condition_variable ended_;
  std::vector<PendingVoice> inbox_;
  std::atomic<SoundDeviceState> state_{SoundDeviceState::Closed};
  SteadyClock::time_point failedAt_;
  bool lost_ = false;
  bool shutDown_ = false;
  bool finished_ = false;
  // The thread could not be started, or has ended: nothing plays.
  bool broken_ = false;
  // Main thread only.
  int wakeFd_ = -1;
  std::thread thread_;
  bool leftRunning_ = false;
  std::unique_ptr<AudioWorker> worker_;
};

// Lives on the audio thread, which runs the sound server's client library in
// a main loop of its own: a connection to the server and, while sounds play,
// one stream. The server asks for data as it plays the stream's buffer, and
// the worker answers with the mixer's output, the sum of the voices. Every
// sound starts a whole buffer after its Play, whatever the stream was doing:
// a sound mixed into a buffer that is less full waits for the difference.
// After the last sound the worker writes silence until the sound has left
// the buffer, so its end is never cut, and then suspends (corks) the
// stream; after some seconds more of quiet it closes the stream, so that a
// quiet game costs the server and this thread nothing. The next sound
// resumes the stream, or opens one again. Nothing here waits for the
// server: a server that stops answering holds up no one, and the thread
// ends at once when asked.
class AudioWorker {
 public:
  AudioWorker(AudioEngine& engine, int wakeFd, std::string name)
      : engine_(engine), wakeFd_(wakeFd), name_(std::move(name)) {}

  void Run() {
    // Where the system allows it, the thread runs ahead of ordinary work,
    // as the sound server's own threads do; elsewhere it keeps its priority.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kNice);
    loop_ = pa_mainloop_new();
    timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    if (loop_ != nullptr && timerFd_ >= 0) {
      api_ = pa_mainloop_get_api(loop_);
      pa_io_event* wake = api_->io_new(api_, wakeFd_, PA_IO_EVENT_INPUT, &AudioWorker::OnWake, this);
      pa_io_event* timer = api_->io_new(api_, timerFd_, PA_IO_EVENT_INPUT, &AudioWorker::OnTimer, this);
      end_ = api_->defer_new(api_, &AudioWorker::OnEnd, this);
      api_->defer_enable(end_, 0);
      TakeVoices();
      pa_mainloop_run(loop_, nullptr);
      Disconnect();
      api_->defer_free(end_);
      api_->io_free(wake);
      api_->io_free(timer);
    } else {
      engine_.Failed();
    }
    if (timerFd_ >= 0) close(timerFd_);
    if (loop_ != nullptr) pa_mainloop_free(loop_);
    engine_.Finished();
  }

 private:
  static void OnWake(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* self) {
    uint64_t count;
    while (read(fd, &count, sizeof count) > 0) {
    }
    static_cast<AudioWorker*>(self)->TakeVoices();
  }

  static void OnTimer(pa_mainloop_api*, pa_io_event*, int fd, pa_io_event_flags_t, void* self) {
    uint64_t count;
    while (read(fd, &count, sizeof count) > 0) {
    }
    static_cast<AudioWorker*>(self)->Deadlines();
  }

  static void OnContextState(pa_context* c, void* self) {
    auto* w = static_cast<AudioWorker*>(self);
    switch (pa_context_get_state(c)) {
      case PA_CONTEXT_READY:
        w->contextReady_ = true;
        w->Service();
        break;
      case PA_CONTEXT_FAILED:
      case PA_CONTEXT_TERMINATED: w->EndLater(); break;
      default: break;
    }
  }

  static void OnStreamState(pa_stream* s, void* self) {
    auto* w = static_cast<AudioWorker*>(self);
    switch (pa_stream_get_state(s)) {
      case PA_STREAM_READY: w->StreamReady(); break;
      case PA_STREAM_FAILED:
      case PA_STREAM_TERMINATED: w->EndLater(); break;
      default: break;
    }
  }

  static void OnEnd(pa_mainloop_api* api, pa_defer_event* e, void* self) {
    api->defer_enable(e, 0);
    static_cast<AudioWorker*>(self)->ConnectionEnded();
  }

  // The connection or the stream has ended: nothing more goes to them, and
  // they are let go of on the loop's next turn, outside the client
  // library's own calls.
  void EndLater() {
    contextReady_ = false;
    streamReady_ = false;
    api_->defer_enable(end_, 1);
  }

  static void OnStreamWrite(pa_stream*, size_t bytes, void* self) {
    static_cast<AudioWorker*>(self)->Write(bytes);
  }

  // Takes the sounds handed over, or ends the loop when asked to.
  void TakeVoices() {
    if (engine_.TakeVoices(arrived_)) {
      arrived_.clear();
      pa_mainloop_quit(loop_, 0);
      return;
    }
    // A sound of silence alone is not worth waking a suspended or closed
    // stream for: what comes out is the same.
    const bool asleep = contextReady_ && (stream_ == nullptr || corked_);
    for (PendingVoice& v : arrived_) {
      if (asleep && mixer_.Playing() == 0 && waiting_.empty() && Silent(*v.sound)) continue;
      if (waiting_.size() >= kMaxPending) waiting_.erase(waiting_.begin());
      waiting_.push_back(std::move(v));
    }
    arrived_.clear();
    Service();
  }

  // Does what the waiting sounds need: a connection, a stream, a stream
  // resumed, room in its buffer.
  void Service() {
    const auto now = SteadyClock::now();
    std::erase_if(waiting_, [&](const PendingVoice& v) { return now - v.queued > kMaxWait; });
    if (waiting_.empty()) return;
    if (context_ == nullptr) {
      if (!opening_) StartOpening();
      return;
    }
    if (!contextReady_) return;
    if (stream_ == nullptr) {
      OpenStream();
      return;
    }
    if (!streamReady_) return;
    if (corked_) Cork(false);
    const size_t free = pa_stream_writable_size(stream_);
    if (free == static_cast<size_t>(-1)) return;
    // A stream that starts or resumes gives the server at once what it
    // holds beyond the stream's buffer (the sink's part of the latency), so
    // the buffer is as full from the start as while it plays.
    const size_t extra = waking_ ? sinkFrames_ : 0;
    waking_ = false;
    if (free / kFrameBytes + extra > 0) Write(free, extra);
  }

  // An opening of the device, from the connection on: bounded in time, and
  // the connection tried again while the server refuses it.
  void StartOpening() {
    opening_ = true;
    openBy_ = SteadyClock::now() + kOpenTimeout;
    Connect();
  }

  void Connect() {
    retryAt_ = kNever;
    pa_context* c = context_ = pa_context_new(api_, name_.c_str());
    if (c != nullptr) {
      pa_context_set_state_callback(c, &AudioWorker::OnContextState, this);
      // The session starts the server; a game does not.
      if (pa_context_connect(c, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        ArmTimer();
        return;
      }
    }
    // Unless the state callback has told of the failure already.
    if (context_ == c) ConnectionEnded();
  }

  void OpenStream() {
    if (!opening_) openBy_ = SteadyClock::now() + kOpenTimeout;
    const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<uint32_t>(SoundMixer::kRate),
                              static_cast<uint8_t>(SoundMixer::kChannels)};
    pa_stream* s = stream_ = pa_stream_new(context_, "sound effects", &spec, nullptr);
    if (s == nullptr) {
      ConnectionEnded();
      return;
    }
    pa_stream_set_state_callback(s, &AudioWorker::OnStreamState, this);
    pa_stream_set_write_callback(s, &AudioWorker::OnStreamWrite, this);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(SoundMixer::kRate * kBufferMs / 1000 * kFrameBytes);
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(SoundMixer::kRate * kRequestMs / 1000 * kFrameBytes);
    attr.fragsize = static_cast<uint32_t>(-1);
    if (pa_stream_connect_playback(s, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0) {
      if (stream_ == s) ConnectionEnded();
      return;
    }
    ArmTimer();
  }

  void StreamReady() {
    streamReady_ = true;
    corked_ = false;
    quietFrames_ = 0;
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream_);
    const size_t latencyFrames = SoundMixer::kRate * kBufferMs / 1000;
    bufferFrames_ = attr != nullptr ? attr->tlength / kFrameBytes : latencyFrames;
    sinkFrames_ = latencyFrames > bufferFrames_ ? latencyFrames - bufferFrames_ : 0;
    waking_ = true;
    openBy_ = kNever;
    ArmTimer();
    if (opening_) {
      opening_ = false;
      engine_.Opened();
    }
    Service();
  }

  // The server asks for `bytes` more (and `extra` frames go beyond them):
  // the waiting sounds start, each placed a whole buffer after its Play,
  // and the mix fills the request.
  void Write(size_t bytes, size_t extra = 0) {
    if (!streamReady_) return;
    const size_t asked = bytes / kFrameBytes;
    const size_t frames = asked + extra;
    if (frames == 0) return;
    const auto now = SteadyClock::now();
    // What is in the buffer ahead of these frames.
    const size_t ahead = bufferFrames_ > asked ? bufferFrames_ - asked : 0;
    for (PendingVoice& v : waiting_) {
      if (now - v.queued > kMaxWait) continue;
      const double since = std::chrono::duration<double>(now - v.queued).count();
      const double due = static_cast<double>(bufferFrames_) - since * SoundMixer::kRate -
                         static_cast<double>(ahead);
      mixer_.Start(std::move(v.sound), v.volume, due > 0 ? static_cast<size_t>(due) : 0);
    }
    waiting_.clear();
    scratch_.resize(frames * SoundMixer::kChannels);
    const bool quiet = mixer_.Playing() == 0;
    mixer_.Mix(scratch_.data(), frames);
    if (pa_stream_write(stream_, scratch_.data(), frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
    if (!quiet || mixer_.Playing() > 0) {
      quietFrames_ = 0;
    } else if ((quietFrames_ += frames) >= bufferFrames_ && !corked_) {
      // At least a whole buffer of silence has been written since the last
      // sound ended: the sound has left the buffer.
      Cork(true);
    }
  }

  void Cork(bool cork) {
    corked_ = cork;
    waking_ = !cork;
    quietFrames_ = 0;
    if (pa_operation* o = pa_stream_cork(stream_, cork ? 1 : 0, nullptr, nullptr)) pa_operation_unref(o);
    closeAt_ = cork ? SteadyClock::now() + kCloseAfter : kNever;
    ArmTimer();
  }

  // The connection or the stream ended, or could not be made.
  void ConnectionEnded() {
    api_->defer_enable(end_, 0);
    const bool connected = context_ != nullptr;
    Disconnect();
    if (opening_) {
      if (SteadyClock::now() + kReconnectEvery < openBy_) {
        retryAt_ = SteadyClock::now() + kReconnectEvery;
        ArmTimer();
      } else {
        GiveUp();
      }
      return;
    }
    // The server went away from an open device.
    if (!connected) return;
    if (engine_.Lost(!waiting_.empty())) {
      StartOpening();
    } else {
      waiting_.clear();
    }
  }

  void GiveUp() {
    Disconnect();
    opening_ = false;
    openBy_ = retryAt_ = kNever;
    waiting_.clear();
    ArmTimer();
    engine_.Failed();
  }

  void Deadlines() {
    const auto now = SteadyClock::now();
    if (openBy_ <= now) {
      openBy_ = kNever;
      if (opening_) {
        GiveUp();
      } else {
        // A stream that the server does not open in time.
        ConnectionEnded();
      }
    }
    if (retryAt_ <= now) {
      retryAt_ = kNever;
      if (opening_ && context_ == nullptr) Connect();
    }
    if (closeAt_ <= now) {
      closeAt_ = kNever;
      if (corked_) CloseStream();
    }
    ArmTimer();
  }

  // Sets the timer to the nearest deadline.
  void ArmTimer() {
    const auto next = std::min({openBy_, retryAt_, closeAt_});
    itimerspec spec{};
    if (next != kNever) {
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(next.time_since_epoch()).count();
      spec.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
      spec.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
      if (spec.it_value.tv_sec == 0 && spec.it_value.tv_nsec == 0) spec.it_value.tv_nsec = 1;
    }
    timerfd_settime(timerFd_, TFD_TIMER_ABSTIME, &spec, nullptr);
  }

  void CloseStream() {
    if (stream_ != nullptr) {
      pa_stream_set_state_callback(stream_, nullptr, nullptr);
      pa_stream_set_write_callback(stream_, nullptr, nullptr);
      pa_stream_disconnect(stream_);
      pa_stream_unref(stream_);
    }
    stream_ = nullptr;
    streamReady_ = false;
    corked_ = false;
    closeAt_ = kNever;
    quietFrames_ = 0;
    mixer_.Clear();
  }

  void Disconnect() {
    CloseStream();
    if (context_ != nullptr) {
      pa_context_set_state_callback(context_, nullptr, nullptr);
      pa_context_disconnect(context_);
      pa_context_unref(context_);
    }
    context_ = nullptr;
    contextReady_ = false;
  }

  static bool Silent(const SoundData& d) {
    return std::all_of(d.samples.begin(), d.samples.end(), [](int16_t s) { return s == 0; });
  }

  AudioEngine& engine_;
  const int wakeFd_;
  const std::string name_;
  int timerFd_ = -1;
  pa_mainloop* loop_ = nullptr;
  pa_mainloop_api* api_ = nullptr;
  pa_defer_event* end_ = nullptr;
  pa_context* context_ = nullptr;
  bool contextReady_ = false;
  pa_stream* stream_ = nullptr;
  bool streamReady_ = false;
  // The stream is suspended: the server plays nothing of it.
  bool corked_ = false;
  // The device is being opened, by openBy_; a refused connection is tried
  // again at retryAt_.
  bool opening_ = false;
  SteadyClock::time_point openBy_ = kNever;
  SteadyClock::time_point retryAt_ = kNever;
  // When a suspended stream is closed.
  SteadyClock::time_point closeAt_ = kNever;
  // The stream's buffer, as the server set it up, and the rest of the
  // latency, which the server holds beyond it.
  size_t bufferFrames_ = 0;
  size_t sinkFrames_ = 0;
  // The stream has started or resumed, and has not been written to since.
  bool waking_ = false;
  // Frames of silence written since the last sound ended.
  size_t quietFrames_ = 0;
  SoundMixer mixer_;
  // Sounds handed over and not yet started.
  std::vector<PendingVoice> arrived_, waiting_;
  std::vector<int16_t> scratch_;
};

void ShutdownAudio() { AudioEngine::Instance().Shutdown(); }

bool AudioEngine::StartThread() {
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) return false;
  std::string name = QCoreApplication::applicationName().toStdString();
  worker_ = std::make_unique<AudioWorker>(*this, wakeFd_, name.empty() ? "sound" : name);
  try {
    thread_ = std::thread([w = worker_.get()] { w->Run(); });
  } catch (const std::system_error&) {
    worker_.reset();
    close(wakeFd_);
    wakeFd_ = -1;
    return false;
  }
  pthread_setname_np(thread_.native_handle(), "sound");
  // Runs while the application object is taken down, before the statics.
  qAddPostRoutine(&ShutdownAudio);
  return true;
}

void AudioEngine::Wake() {
  const uint64_t one = 1;
  if (write(wakeFd_, &one, sizeof one) < 0) {
    // The counter is full only when the thread has long stopped reading.
  }
}

void AudioEngine::Play(std::shared_ptr<const SoundData> sound, int32_t volume) {
  if (!sound || sound->samples.empty() || volume <= 0) return;
  // The output's thread is stopped while the application object is taken
  // down; without one, nothing would stop it.
  if (QCoreApplication::instance() == nullptr) return;
  const auto now = SteadyClock::now();
  std::lock_guard lock(mutex_);
  if (shutDown_ || broken_ || finished_) return;
  switch (state_.load()) {
    case SoundDeviceState::Closed:
      if (!StartThread()) {
        broken_ = true;
        state_ = SoundDeviceState::Failed;
        return;
      }
      state_ = SoundDeviceState::Opening;
      break;
    case SoundDeviceState::Failed:
      // A server that went away from an open device is looked for again at
      // once; one that could not be reached, after the retry delay.
      if (!lost_ && now - failedAt_ < kRetryDelay) return;
      lost_ = false;
      state_ = SoundDeviceState::Opening;
      break;
    case SoundDeviceState::Opening:
    case SoundDeviceState::Open: break;
  }
  if (inbox_.size() >= kMaxPending) inbox_.erase(inbox_.begin());
  inbox_.push_back(PendingVoice{std::move(sound), volume, now});
  Wake();
}

bool AudioEngine::Shutdown() {
  std::unique_lock lock(mutex_);
  if (shutDown_) return !leftRunning_;
  shutDown_ = true;
  inbox_.clear();
  state_ = SoundDeviceState::Closed;
  if (!thread_.joinable()) return true;
  Wake();
  if (!ended_.wait_for(lock, kShutdownWait, [this] { return finished_; })) {
    // Left to the end of the process, with what it runs on.
    leftRunning_ = true;
    thread_.detach();
    (void)worker_.release();
    return false;
  }
  lock.unlock();
  // The thread has let go of the server; joining it waits only for its end.
  thread_.join();
  worker_.reset();
  close(wakeFd_);
  wakeFd_ = -1;
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

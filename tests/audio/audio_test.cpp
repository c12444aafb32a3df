// Sounds played through the default output into a private sound server and
// recorded from it. Each test runs in a process of its own (as ctest runs
// them), because the device is opened once per process.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <poll.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/Sound.h"
#include "tests/audio/SoundServer.h"
#include "tests/support/TestSupport.h"

extern char** environ;

using namespace fw;
using audiotest::SoundServer;
using audiotest::Span;

namespace {

using Clock = std::chrono::steady_clock;

// A square wave of `frames` frames; the right channel runs at twice the
// left one's frequency, so that the channels can be told apart. Every
// sample, the first and the last included, is +-amplitude.
std::vector<int16_t> Square(size_t frames, int channels, int16_t amplitude, size_t period = 64) {
  std::vector<int16_t> s;
  for (size_t f = 0; f < frames; ++f) {
    s.push_back((f % period) < period / 2 ? amplitude : static_cast<int16_t>(-amplitude));
    if (channels == 2) s.push_back((f % (period / 2)) < period / 4 ? amplitude : static_cast<int16_t>(-amplitude));
  }
  return s;
}

// The audio runs on its own thread; the main thread only waits.
void Wait(int32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

double Ms(size_t frames, int32_t rate = SoundServer::kRate) { return 1000.0 * static_cast<double>(frames) / rate; }
// Milliseconds from frame `from` to frame `to`, negative when `to` comes first.
double MsBetween(size_t from, size_t to) { return Ms(to) - Ms(from); }

// Plays and reports how long the call took, in microseconds.
double TimedPlay(const Ref<Sound>& sound, int32_t volume) {
  sound->Volume(volume);
  const auto t0 = Clock::now();
  sound->Play();
  return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
}

void UseServer(const std::string& address, const std::string& dir) {
  setenv("PULSE_SERVER", address.c_str(), 1);
  setenv("PULSE_RUNTIME_PATH", (dir + "/runtime").c_str(), 1);
  setenv("HOME", (dir + "/home").c_str(), 1);
}

class AudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (CurrentSoundDeviceState() != SoundDeviceState::Closed)
      GTEST_SKIP() << "the sound device is already open in this process; run each test on its own";
    server_ = std::make_unique<SoundServer>(dir_.path() + "/server");
    if (!server_->Running()) GTEST_SKIP() << "no sound server could be started: " << server_->Problem();
    UseServer(server_->Address(), dir_.path() + "/server");
  }

  Ref<Sound> Load(const std::string& name, const std::string& bytes) {
    testsupport::WriteFile(dir_.File(name), bytes);
    return LoadSound(dir_.File(name));
  }

  // Plays a sound (unrecorded) and waits until the output is open.
  bool OpenOutput() {
    Ref<Sound> click = New<Sound>(
        std::make_shared<SoundData>(SoundData{"click.wav", 44100, 1, Square(441, 1, 8000)}));
    click->Play();
    for (const auto deadline = Clock::now() + std::chrono::seconds(15);
         CurrentSoundDeviceState() != SoundDeviceState::Open && Clock::now() < deadline;)
      Wait(10);
    Wait(200);
    return CurrentSoundDeviceState() == SoundDeviceState::Open;
  }

  // Records while `play` runs and for `ms` milliseconds after it.
  std::vector<int16_t> Record(const std::function<void()>& play, int32_t ms) {
    EXPECT_TRUE(server_->StartRecording()) << "the recorder did not start";
    play();
    Wait(ms);
    return server_->StopRecording();
  }

  testsupport::TempDir dir_;
  std::unique_ptr<SoundServer> server_;
};

TEST_F(AudioTest, EverySoundPlaysWholeToItsLastSample) {
  struct Case {
    const char* label;
    int32_t rate;
    int channels;
    int bits;
    size_t frames;
  };
  const Case cases[] = {
      {"16-bit stereo 44100 Hz, 300 ms", 44100, 2, 16, 13230},
      {"8-bit mono 11025 Hz, 40 ms", 11025, 1, 8, 441},
      {"16-bit mono 22050 Hz, 25 ms", 22050, 1, 16, 551},
      {"16-bit stereo 48000 Hz, 100 ms", 48000, 2, 16, 4800},
  };
  constexpr int16_t kAmplitude = 12000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::vector<int16_t> samples = Square(c.frames, c.channels, kAmplitude);
    Ref<Sound> sound = Load("whole.wav", testsupport::WaveFile(c.rate, c.channels, c.bits, samples));
    ASSERT_TRUE(sound);
    double playUs = 0;
    const auto rec = Record([&] { playUs = TimedPlay(sound, 100); },
                            static_cast<int32_t>(Ms(c.frames, c.rate)) + 500);
    const Span span = audiotest::AudibleSpan(rec, kAmplitude / 4);
    ASSERT_TRUE(span.found) << "nothing was heard";
    // The mixer's length of the sound, resampled to the stream's rate.
    const size_t expected = (c.frames * SoundServer::kRate + c.rate - 1) / c.rate;
    std::printf(
        "figures: %s: file %.2f ms (%zu frames at 44100 Hz), recorded %.2f ms (%zu frames); Play %.1f us\n",
        c.label, Ms(expected), expected, Ms(span.Frames()), span.Frames(), playUs);
    EXPECT_NEAR(static_cast<double>(span.Frames()), static_cast<double>(expected), 2.0);
    if (c.rate == SoundServer::kRate && c.channels == 2 && c.bits == 16) {
      // Unresampled, the recording is the file sample for sample.
      size_t differing = 0;
      for (size_t i = 0; i < samples.size(); ++i) differing += rec[2 * span.first + i] != samples[i];
      EXPECT_EQ(differing, 0u);
    }
  }
}

TEST_F(AudioTest, VolumeScalesTheLevelLinearly) {
  constexpr int16_t kAmplitude = 12000;
  constexpr size_t kFrames = 8820;  // 200 ms
  Ref<Sound> sound = Load("level.wav", testsupport::WaveFile(44100, 2, 16, Square(kFrames, 2, kAmplitude)));
  ASSERT_TRUE(sound);
  struct Level {
    int32_t volume;
    int32_t peak;
    double rms;
    size_t frames;
  };
  std::vector<Level> levels;
  for (int32_t volume : {100, 35}) {
    double playUs = 0;
    const auto rec = Record([&] { playUs = TimedPlay(sound, volume); }, 700);
    const Span span = audiotest::AudibleSpan(rec, 500);
    ASSERT_TRUE(span.found) << "nothing was heard at volume " << volume;
    levels.push_back({volume, audiotest::Peak(rec, span), audiotest::Rms(rec, span), span.Frames()});
    std::printf("figures: volume %d: peak %d, RMS %.1f, recorded %.2f ms of %.2f ms; Play %.1f us\n", volume,
                levels.back().peak, levels.back().rms, Ms(span.Frames()), Ms(kFrames), playUs);
  }
  std::printf("figures: 35 against 100: peak ratio %.4f, RMS ratio %.4f\n",
              static_cast<double>(levels[1].peak) / levels[0].peak, levels[1].rms / levels[0].rms);
  EXPECT_EQ(levels[0].peak, kAmplitude);
  EXPECT_NEAR(static_cast<double>(levels[1].peak) / levels[0].peak, 0.35, 0.005);
  EXPECT_NEAR(levels[1].rms / levels[0].rms, 0.35, 0.005);
  for (const Level& l : levels) EXPECT_NEAR(static_cast<double>(l.frames), static_cast<double>(kFrames), 2.0);

  const auto silent = Record([&] { TimedPlay(sound, 0); }, 400);
  EXPECT_FALSE(audiotest::AudibleSpan(silent, 0).found) << "volume 0 was heard";
}

TEST_F(AudioTest, OverlappingSoundsAreSummedWithSaturation) {
  // Two level tones of +20000; where they overlap the sum exceeds the 16-bit
  // range and must stay at the top instead of wrapping to a negative value.
  constexpr size_t kFrames = 13230;  // 300 ms
  const std::vector<int16_t> level(kFrames, 20000);
  Ref<Sound> first = Load("first.wav", testsupport::WaveFile(44100, 1, 16, level));
  Ref<Sound> second = Load("second.wav", testsupport::WaveFile(44100, 1, 16, level));
  ASSERT_TRUE(first && second);
  // The output is opened first: how long opening takes is not what this
  // measures.
  ASSERT_TRUE(OpenOutput());
  double firstUs = 0;
  double secondUs = 0;
  double apartMs = 0;
  const auto rec = Record(
      [&] {
        const auto t0 = Clock::now();
        firstUs = TimedPlay(first, 100);
        Wait(100);
        apartMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        secondUs = TimedPlay(second, 100);
      },
      800);
  const Span span = audiotest::AudibleSpan(rec, 1000);
  ASSERT_TRUE(span.found);
  size_t saturated = 0;
  int32_t lowest = 0;
  for (size_t i = 2 * span.first; i <= 2 * span.last + 1; ++i) {
    saturated += rec[i] == 32767;
    lowest = std::min<int32_t>(lowest, rec[i]);
  }
  const double heardApartMs = MsBetween(kFrames, span.Frames());
  std::printf(
      "figures: overlap: recorded %.2f ms for two %.2f ms sounds played %.2f ms apart (heard %.2f ms apart), "
      "%.2f ms saturated; Play %.1f us and %.1f us\n",
      Ms(span.Frames()), Ms(kFrames), apartMs, heardApartMs, Ms(saturated / 2), firstUs, secondUs);
  EXPECT_EQ(lowest, 0) << "the sum wrapped around";
  // Each sound starts the same time after its Play.
  EXPECT_NEAR(heardApartMs, apartMs, 12.0);
  // The overlap is the span less the part where only one sound plays.
  EXPECT_NEAR(static_cast<double>(saturated / 2), static_cast<double>(2 * kFrames - span.Frames()), 2.0);
}

TEST_F(AudioTest, ASoundAfterQuietPlaysWholeAndPromptly) {
  // Each sound comes after enough quiet for the output to have gone idle:
  // it must wake it, play whole, and start soon after Play. The delay is
  // counted in frames of the recording, from where it stood at Play.
  constexpr int16_t kAmplitude = 10000;
  constexpr size_t kFrames = 2205;  // 50 ms
  Ref<Sound> sound = Load("short.wav", testsupport::WaveFile(44100, 2, 16, Square(kFrames, 2, kAmplitude)));
  ASSERT_TRUE(sound);
  ASSERT_TRUE(server_->StartRecording());
  std::vector<double> delaysMs;
  for (int i = 0; i < 20; ++i) {
    Wait(400);
    const size_t at = server_->RecordedFrames();
    sound->Play();
    std::vector<int16_t> rec;
    Span span;
    for (const auto deadline = Clock::now() + std::chrono::seconds(2); Clock::now() < deadline;) {
      Wait(20);
      rec = server_->RecordedFrom(at);
      span = audiotest::AudibleSpan(rec, kAmplitude / 4);
      if (span.found && span.last + 4410 < rec.size() / 2) break;  // 100 ms heard after its end
    }
    ASSERT_TRUE(span.found) << "sound " << i << " was not heard";
    EXPECT_NEAR(static_cast<double>(span.Frames()), static_cast<double>(kFrames), 2.0) << "sound " << i;
    delaysMs.push_back(Ms(span.first));
  }
  server_->StopRecording();
  std::vector<double> sorted = delaysMs;
  std::sort(sorted.begin(), sorted.end());
  std::printf("figures: Play to first recorded sample after quiet, 20 sounds: median %.1f ms, worst %.1f ms\n",
              sorted[sorted.size() / 2], sorted.back());
}

TEST_F(AudioTest, EverySoundStartsTheSameTimeAfterItsPlay) {
  // Two probes 100 ms apart, told apart by their level: the second always
  // finds the output playing, so their spacing in the recording, less the
  // spacing of their Play calls, is how much earlier the first one sounds
  // than one played while the output plays. The first finds the output
  // closed, suspended, or playing a soft tone.
  constexpr size_t kFrames = 2205;  // 50 ms
  Ref<Sound> first = Load("first.wav", testsupport::WaveFile(44100, 2, 16, Square(kFrames, 2, 10000)));
  Ref<Sound> second = Load("second.wav", testsupport::WaveFile(44100, 2, 16, Square(kFrames, 2, 20000)));
  Ref<Sound> soft = Load("soft.wav", testsupport::WaveFile(44100, 2, 16, Square(22050, 2, 1500)));
  ASSERT_TRUE(first && second && soft);
  struct Case {
    const char* state;
    std::function<void()> before;
  };
  const Case cases[] = {
      {"closed", [] { Wait(4000); }},  // a quiet output closes after about 3 s
      {"suspended", [] { Wait(600); }},
      {"playing",
       [&] {
         Wait(600);
         soft->Play();
         Wait(150);
       }},
  };
  ASSERT_TRUE(OpenOutput());
  ASSERT_TRUE(server_->StartRecording());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    std::vector<double> earlierMs;
    for (int i = 0; i < 3; ++i) {
      c.before();
      const audiotest::ProbePair p = audiotest::PlayProbes(*server_, first, second, 600);
      ASSERT_TRUE(p.Heard()) << "a probe was not heard";
      EXPECT_NEAR(static_cast<double>(p.first.Frames()), static_cast<double>(kFrames), 2.0)
          << "a gap in the first probe";
      EXPECT_NEAR(static_cast<double>(p.second.Frames()), static_cast<double>(kFrames), 2.0)
          << "a gap in the second probe";
      earlierMs.push_back(p.FirstEarlierMs());
    }
    std::sort(earlierMs.begin(), earlierMs.end());
    std::printf(
        "figures: with the output %s, a first sound starts %.1f ms earlier than a playing one (median of"
        " %.1f, %.1f, %.1f)\n",
        c.state, earlierMs[1], earlierMs[0], earlierMs[1], earlierMs[2]);
    EXPECT_NEAR(earlierMs[1], 0.0, 15.0);
  }
  server_->StopRecording();
}

TEST_F(AudioTest, AfterTheServerRestartsTheFirstSoundIsHeard) {
  // The server is killed and started again on the same socket, as an update
  // of it does, while the output is closed, suspended or playing; the first
  // sound played after that is heard, whole.
  constexpr int16_t kAmplitude = 8000;
  constexpr size_t kFrames = 4410;  // 100 ms
  Ref<Sound> beep = Load("beep.wav", testsupport::WaveFile(44100, 2, 16, Square(kFrames, 2, kAmplitude)));
  Ref<Sound> tone = Load("tone.wav", testsupport::WaveFile(44100, 2, 16, Square(88200, 2, 2000)));
  ASSERT_TRUE(beep && tone);
  struct Case {
    const char* state;
    std::function<void()> before;
  };
  const Case cases[] = {
      {"closed", [] { Wait(4000); }},
      {"suspended", [] { Wait(600); }},
      {"playing",
       [&] {
         tone->Play();
         Wait(300);
       }},
  };
  ASSERT_TRUE(OpenOutput());
  const std::string serverDir = dir_.path() + "/server";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    c.before();
    server_.reset();
    const auto gone = Clock::now() + std::chrono::seconds(15);
    while (CurrentSoundDeviceState() == SoundDeviceState::Open && Clock::now() < gone) Wait(10);
    EXPECT_EQ(CurrentSoundDeviceState(), SoundDeviceState::Failed) << "the server's end went unnoticed";
    server_ = std::make_unique<SoundServer>(serverDir);
    ASSERT_TRUE(server_->Running()) << server_->Problem();
    ASSERT_TRUE(server_->StartRecording());
    const size_t at = server_->RecordedFrames();
    beep->Play();
    Span span;
    std::vector<int16_t> rec;
    for (const auto deadline = Clock::now() + std::chrono::seconds(4); Clock::now() < deadline;) {
      Wait(20);
      rec = server_->RecordedFrom(at);
      span = audiotest::AudibleSpan(rec, kAmplitude / 2);
      if (span.found && span.last + 4410 < rec.size() / 2) break;
    }
    server_->StopRecording();
    ASSERT_TRUE(span.found) << "the first sound after the restart was not heard";
    std::printf(
        "figures: after a restart with the output %s, the first sound was recorded %.1f ms after its Play\n",
        c.state, Ms(span.first));
    EXPECT_NEAR(static_cast<double>(span.Frames()), static_cast<double>(kFrames), 2.0);
    EXPECT_EQ(CurrentSoundDeviceState(), SoundDeviceState::Open);
  }
}

// Without a server, or with one that never answers, Play must return at
// once and nothing may hang or crash, quitting included.
class NoAudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (CurrentSoundDeviceState() != SoundDeviceState::Closed)
      GTEST_SKIP() << "the sound device is already open in this process; run each test on its own";
    sound_ = New<Sound>(std::make_shared<SoundData>(SoundData{"beep.wav", 44100, 1, Square(4410, 1, 8000)}));
  }

  // Waits until the device state leaves `state`, for at most 15 s.
  SoundDeviceState WaitWhile(SoundDeviceState state) {
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (CurrentSoundDeviceState() == state && Clock::now() < deadline) Wait(10);
    return CurrentSoundDeviceState();
  }

  testsupport::TempDir dir_;
  Ref<Sound> sound_;
};

TEST_F(NoAudioTest, WithoutAServerPlayIsSilent) {
  UseServer("unix:" + dir_.File("no-server-here"), dir_.path());
  const double firstUs = TimedPlay(sound_, 100);
  EXPECT_NE(CurrentSoundDeviceState(), SoundDeviceState::Closed);
  EXPECT_EQ(WaitWhile(SoundDeviceState::Opening), SoundDeviceState::Failed);
  double worstUs = 0;
  for (int i = 0; i < 100; ++i) worstUs = std::max(worstUs, TimedPlay(sound_, 100));
  EXPECT_EQ(CurrentSoundDeviceState(), SoundDeviceState::Failed);
  std::printf("figures: no server: first Play %.1f us, worst of 100 more %.1f us\n", firstUs, worstUs);
}

TEST_F(NoAudioTest, PlayReturnsWhileTheServerNeverAnswers) {
  // A socket that takes connections into its backlog and never answers. A
  // helper process holds it for a few seconds past the test, so that the
  // program quits while the server is still silent; the client library
  // gives up when the socket goes.
  const std::string path = dir_.File("silent");
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(listener, 8), 0);
  pid_t holder = -1;
  char sleepArg0[] = "sleep";
  char sleepArg1[] = "4";
  char* sleepArgs[] = {sleepArg0, sleepArg1, nullptr};
  ASSERT_EQ(posix_spawnp(&holder, "sleep", nullptr, nullptr, sleepArgs, environ), 0);
  UseServer("unix:" + path, dir_.path());

  const double firstUs = TimedPlay(sound_, 100);
  // The device is being opened on the audio thread: the connection arrives
  // after Play has returned.
  pollfd p{listener, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 15000), 1) << "the device never connected to the server";
  double worstUs = 0;
  for (int i = 0; i < 100; ++i) worstUs = std::max(worstUs, TimedPlay(sound_, 100));
  Wait(500);
  EXPECT_EQ(CurrentSoundDeviceState(), SoundDeviceState::Opening);
  std::printf("figures: silent server: first Play %.1f us, worst of 100 more %.1f us\n", firstUs, worstUs);
  close(listener);
}

}  // namespace

// The real binary's sounds, recorded from a private sound server's null
// sink while the game is played on a virtual display.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/audio/SoundServer.h"
#include "tests/e2e/Screen.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Seconds from the recording's start at which a sound begins: the level
// rises above the threshold after at least 50 ms below it.
std::vector<double> Onsets(const std::vector<int16_t>& stereo, int32_t threshold = 200) {
  std::vector<double> out;
  const size_t quiet = audiotest::SoundServer::kRate / 20;
  size_t below = quiet;
  for (size_t f = 0; f + 1 < stereo.size(); f += 2) {
    const int32_t level = std::max(std::abs(int32_t{stereo[f]}), std::abs(int32_t{stereo[f + 1]}));
    if (level > threshold) {
      if (below >= quiet) out.push_back(static_cast<double>(f / 2) / audiotest::SoundServer::kRate);
      below = 0;
    } else {
      ++below;
    }
  }
  return out;
}

std::string Gaps(const std::vector<double>& onsets) {
  std::string s;
  for (double t : onsets) s += std::to_string(t - onsets.front()).substr(0, 5) + " ";
  return s;
}

struct Recorded {
  testsupport::TempDir dir;
  audiotest::SoundServer server{dir.path()};
};

#define START_WITH_SOUND(rec, g, ...)                                                     \
  Recorded rec;                                                                           \
  if (!rec.server.Running()) GTEST_SKIP() << "no sound server: " << rec.server.Problem(); \
  e2e::GameScreen g({                                                                     \
    { "PULSE_SERVER", rec.server.Address() }                                              \
  } __VA_ARGS__);                                                                         \
  if (!g.display().Ok()) GTEST_SKIP() << "no virtual display (Xvfb)";                     \
  ASSERT_TRUE(g.Ok()) << g.process().Log()

}  // namespace

TEST(GameSound, APushSoundsAfterItsFirstTickThenTwoLandings) {
  START_WITH_SOUND(rec, g);
  std::this_thread::sleep_for(1500ms);  // the sound device is open after the first idle sound
  ASSERT_TRUE(rec.server.StartRecording());
  std::this_thread::sleep_for(300ms);
  g.ClickRow(2);
  std::this_thread::sleep_for(2200ms);
  const std::vector<double> onsets = Onsets(rec.server.StopRecording());
  // Push at tick 1, landings at ticks 10 and 15: 9 and 14 ticks of 80 ms later.
  std::printf("figures: push and landings start at %s s\n", Gaps(onsets).c_str());
  ASSERT_EQ(onsets.size(), 3u) << Gaps(onsets);
  EXPECT_NEAR(onsets[1] - onsets[0], 0.72, 0.1) << Gaps(onsets);
  EXPECT_NEAR(onsets[2] - onsets[0], 1.12, 0.1) << Gaps(onsets);
}

TEST(GameSound, MutedThePushIsSilentAndTheChoiceIsKept) {
  START_WITH_SOUND(rec, g);
  g.OpenMenu(2);
  // To the sound submenu; it opens on its second item, and Up passes the
  // current (disabled) first item round to the last: mute.
  g.display().Xdotool("key Down Down Down Down Down Right");
  std::this_thread::sleep_for(300ms);
  g.display().Xdotool("key Up Return");
  std::this_thread::sleep_for(500ms);
  ASSERT_TRUE(rec.server.StartRecording());
  g.ClickRow(1);
  std::this_thread::sleep_for(2000ms);
  EXPECT_TRUE(Onsets(rec.server.StopRecording()).empty());
  g.Key("ctrl+q");
  EXPECT_EQ(g.process().Wait(10000), 0);
  EXPECT_EQ(testsupport::ReadFile(g.PrefsFile()), "0000");
}

TEST(GameSound, TheIdleSoundComesAboutOnceASecond) {
  // The shipped idle sound is silence; an audible one in its place shows
  // when it plays.
  testsupport::TempDir app;
  const std::string binary = e2e::InstallGame(app.path());
  fs::copy_file(app.File("resources/BlockSnd.wav"), app.File("resources/SilenceSnd.wav"),
                fs::copy_options::overwrite_existing);
  START_WITH_SOUND(rec, g, , binary);
  ASSERT_TRUE(rec.server.StartRecording());
  std::this_thread::sleep_for(6000ms);
  std::vector<double> onsets = Onsets(rec.server.StopRecording());
  std::printf("figures: idle sounds start at %s s\n", Gaps(onsets).c_str());
  // The first idle sound connects the game to the sound server, which a
  // busy machine makes slow: the game's clock is measured from the second.
  ASSERT_FALSE(onsets.empty());
  onsets.erase(onsets.begin());
  ASSERT_GE(onsets.size(), 4u) << Gaps(onsets);
  for (size_t i = 1; i < onsets.size(); ++i) EXPECT_NEAR(onsets[i] - onsets[i - 1], 1.04, 0.1) << Gaps(onsets);
}

TEST(GameSound, QuitsPromptlyWhateverItsSoundServerDoes) {
  // The game's sound server is gone (killed) or stopped (it takes what it is
  // sent and answers nothing) when the game is told to quit: the game ends
  // at once, with its settings saved and nothing left running.
  struct Case {
    const char* server;
    int signal;
  };
  for (const Case& c : {Case{"gone", SIGKILL}, Case{"stopped", SIGSTOP}}) {
    SCOPED_TRACE(c.server);
    testsupport::TempDir home;
    audiotest::SoundServer server(home.File("pulse"));
    if (!server.Running()) GTEST_SKIP() << "no sound server: " << server.Problem();
    testsupport::GameRun run(home.File("config"), {{"PULSE_SERVER", server.Address()}, {"TMPDIR", home.path()}});
    // The idle sound, about a second after the start, opens the output.
    std::this_thread::sleep_for(2500ms);
    ASSERT_TRUE(run.process->Running()) << run.process->Log();
    ASSERT_EQ(kill(server.Pid(), c.signal), 0);
    std::this_thread::sleep_for(300ms);
    const auto start = std::chrono::steady_clock::now();
    run.process->Signal(SIGTERM);
    const int status = run.process->Wait(10000);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (c.signal == SIGSTOP) kill(server.Pid(), SIGCONT);
    std::printf("figures: quit with the sound server %s took %.2f s\n", c.server, seconds);
    EXPECT_EQ(status, 0) << run.process->Log();
    EXPECT_LT(seconds, 2.0);
    EXPECT_EQ(testsupport::ReadFile(home.File("config/Pandriskの設定")), "0010");
  }
}

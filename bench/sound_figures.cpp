// Figures of the default sound output, recorded from a private sound
// server's null sink:
//
//   sound_figures [ROUNDS]
//
// Each round plays two probes of 50 ms, 100 ms apart, in each of three
// states of the output: closed (5 s of quiet before), suspended (600 ms of
// quiet) and awake (a soft tone is playing). The second probe always finds
// the output awake, so the spacing of the two in the recording, less the
// spacing of their Play calls, is how much earlier the first one sounds
// than an awake one: the start latency that the state adds. A probe
// recorded longer than it is has a gap inside it, an underrun of the
// output. A round ends with a 1 s sound after quiet, gaps counted the same
// way. The server's debug log gives its own count of underrun streams.
//
// Run it beside a busy machine with bench/busy_cores.sh 8 build/sound_figures.
// PANDRISK_FIGURES_QUIET_MS sets the quiet before the closed state (5000);
// PANDRISK_FIGURES_LOG names a file to keep the server's log in.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/Sound.h"
#include "framework/Testing.h"
#include "tests/audio/SoundServer.h"
#include "tests/support/TestSupport.h"

using Clock = std::chrono::steady_clock;
using audiotest::SoundServer;

namespace {

constexpr size_t kProbeFrames = 2205;  // 50 ms
constexpr size_t kLongFrames = 44100;  // 1 s

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
double Ms(double frames) { return 1000.0 * frames / SoundServer::kRate; }

std::vector<int16_t> Square(size_t frames, int16_t amplitude) {
  std::vector<int16_t> s;
  for (size_t f = 0; f < frames; ++f) {
    const int16_t v = (f % 64) < 32 ? amplitude : static_cast<int16_t>(-amplitude);
    s.push_back(v);
    s.push_back(v);
  }
  return s;
}

fw::Ref<fw::Sound> Make(const std::string& name, size_t frames, int16_t amplitude) {
  return fw::New<fw::Sound>(
      std::make_shared<fw::SoundData>(fw::SoundData{name, SoundServer::kRate, 2, Square(frames, amplitude)}));
}

struct Figures {
  std::vector<double> earlier;  // ms the first probe sounds earlier than an awake one
  std::vector<double> latency;  // ms from Play to the first probe's first recorded frame
  std::vector<double> gaps;     // ms of gap inside each sound
  size_t lost = 0;              // sounds not heard
};

std::string Summary(std::vector<double> v) {
  if (v.empty()) return "none";
  std::sort(v.begin(), v.end());
  char buf[96];
  std::snprintf(buf, sizeof buf, "median %.1f, min %.1f, max %.1f", v[v.size() / 2], v.front(), v.back());
  return buf;
}

std::string Gaps(const std::vector<double>& gaps) {
  size_t n = 0;
  double worst = 0;
  for (double g : gaps) {
    if (g > Ms(2)) ++n;
    worst = std::max(worst, g);
  }
  char buf[96];
  std::snprintf(buf, sizeof buf, "%zu of %zu sounds with a gap, worst %.1f ms", n, gaps.size(), worst);
  return buf;
}

// The two probes, and what the recording tells of them.
void Probes(SoundServer& server, const fw::Ref<fw::Sound>& first, const fw::Ref<fw::Sound>& second, Figures& f) {
  const audiotest::ProbePair p = audiotest::PlayProbes(server, first, second, 500);
  if (!p.Heard()) {
    f.lost += !p.first.found + !p.second.found;
    return;
  }
  f.earlier.push_back(p.FirstEarlierMs());
  f.latency.push_back(Ms(static_cast<double>(p.first.first)));
  f.gaps.push_back(Ms(static_cast<double>(p.first.Frames()) - kProbeFrames));
  f.gaps.push_back(Ms(static_cast<double>(p.second.Frames()) - kProbeFrames));
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const char* quietEnv = std::getenv("PANDRISK_FIGURES_QUIET_MS");
  const int quietMs = quietEnv ? std::max(0, std::atoi(quietEnv)) : 5000;
  fw::testing::InitForTests(argc, argv);
  int status = 0;
  {
    testsupport::TempDir dir;
    SoundServer server(dir.path() + "/server", true);
    if (!server.Running()) {
      std::fprintf(stderr, "sound_figures: %s\n", server.Problem().c_str());
      fw::testing::ShutdownForTests(1);
      return 1;
    }
    setenv("PULSE_SERVER", server.Address().c_str(), 1);
    setenv("PULSE_RUNTIME_PATH", (dir.path() + "/server/runtime").c_str(), 1);
    setenv("HOME", (dir.path() + "/server/home").c_str(), 1);
    const auto first = Make("first.wav", kProbeFrames, 10000);
    const auto second = Make("second.wav", kProbeFrames, 20000);
    const auto soft = Make("soft.wav", 22050, 1500);
    const auto longer = Make("long.wav", kLongFrames, 10000);
    if (!server.StartRecording()) {
      std::fprintf(stderr, "sound_figures: the recorder did not start\n");
      status = 1;
    }
    Figures closed, suspended, awake, lasting;
    for (int r = 0; r < rounds && status == 0; ++r) {
      Sleep(quietMs);
      Probes(server, first, second, closed);
      Sleep(100);
      Probes(server, first, second, suspended);
      soft->Play();
      Sleep(150);
      Probes(server, first, second, awake);
      Sleep(600);
      const size_t at = server.RecordedFrames();
      longer->Play();
      Sleep(1500);
      const audiotest::Span s = audiotest::AudibleSpan(server.RecordedFrom(at), 5000, 0, 15000);
      if (s.found) {
        lasting.gaps.push_back(Ms(static_cast<double>(s.Frames()) - kLongFrames));
      } else {
        ++lasting.lost;
      }
    }
    server.StopRecording();
    std::printf("figures: %d rounds\n", rounds);
    const struct {
      const char* name;
      Figures* f;
    } states[] = {{"closed", &closed}, {"suspended", &suspended}, {"awake", &awake}};
    for (const auto& s : states) {
      std::printf("  %-9s first probe sounds earlier than an awake one by ms: %s\n", s.name,
                  Summary(s.f->earlier).c_str());
      std::printf("  %-9s Play to first recorded frame, ms: %s\n", "", Summary(s.f->latency).c_str());
      std::printf("  %-9s %s; %zu not heard\n", "", Gaps(s.f->gaps).c_str(), s.f->lost);
    }
    std::printf("  1 s sound %s; %zu not heard\n", Gaps(lasting.gaps).c_str(), lasting.lost);
    std::printf("  underruns in the server's log: %zu\n", server.Underruns());
    if (const char* keep = std::getenv("PANDRISK_FIGURES_LOG")) testsupport::WriteFile(keep, server.Log());
  }
  fw::testing::ShutdownForTests(status);
  return status;
}

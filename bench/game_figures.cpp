// Figures of the whole game, each beside a plain Qt window or a plain timer
// measured in the same run:
//
//   game_figures session [ROUNDS]
//                          the real binary on a virtual display beside
//                          plainwindow, a program of the same shape: start-up
//                          to the first painted frame (median of 5); then
//                          ROUNDS (3) rounds of 60 idle seconds in which the
//                          plain program, the game without a sound server and
//                          the game with one run side by side, with CPU and
//                          wake-ups per second of each and of the game's sound
//                          server (beside a server that no client uses); the
//                          ratios are taken within each round, then the
//                          medians; then 30 s of pushes beside the plain
//                          program
//   game_figures ticks     the game in this process for 60 s with a push
//                          every 1.3 s: the actions of the game's clock beside
//                          a plain 80 ms Timer (750 expected), and the load
//                          that each PeriodicAction reports
//
// PANDRISK_FIGURES_SECONDS shortens every phase (for a quick look);
// PANDRISK_FIGURES_GAME runs another build of the game in the session.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/App.h"
#include "app/Startup.h"
#include "engine/GameField.h"
#include "engine/PeriodicTimer.h"
#include "engine/WindowLayout.h"
#include "framework/Controls.h"
#include "framework/FolderItem.h"
#include "framework/Testing.h"
#include "framework/Time.h"
#include "tests/audio/SoundServer.h"
#include "tests/e2e/Harness.h"
#include "tests/e2e/Screen.h"
#include "window/MainWindow.h"
#include "window/PictureButton.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

int Seconds(int full) {
  const char* s = std::getenv("PANDRISK_FIGURES_SECONDS");
  return s ? std::max(1, std::min(full, std::atoi(s))) : full;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = static_cast<size_t>(std::ceil(p * static_cast<double>(v.size()))) - 1;
  return v[std::min(v.size() - 1, i)];
}

// CPU seconds (user and system) the process has used so far.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(in, line);
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream rest(line.substr(close + 2));
  std::string field;
  double utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::atof(field.c_str());
    if (i == 15) stime = std::atof(field.c_str());
  }
  return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Wake-ups so far: the voluntary context switches of all the process's
// threads (each one a sleep that ended).
double WakeUps(pid_t pid) {
  double sum = 0;
  std::error_code ec;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    std::ifstream in(task.path() / "status");
    std::string line;
    while (std::getline(in, line))
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) sum += std::atof(line.c_str() + 24);
  }
  return sum;
}

// CPU (% of one core) and wake-ups per second of processes over one window.
struct Usage {
  double cpu = 0, wakeUps = 0;
};
std::vector<Usage> MeasureTogether(const std::vector<pid_t>& pids, int seconds) {
  std::vector<double> c0, w0;
  for (pid_t p : pids) {
    c0.push_back(CpuSeconds(p));
    w0.push_back(WakeUps(p));
  }
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  std::vector<Usage> out;
  for (size_t i = 0; i < pids.size(); ++i)
    out.push_back({100.0 * (CpuSeconds(pids[i]) - c0[i]) / seconds, (WakeUps(pids[i]) - w0[i]) / seconds});
  return out;
}

struct Program {
  std::string name, title;
  std::vector<std::string> argv;
  // The content pixel that tells the first frame is painted.
  int x, y;
  uint32_t colour;
};

std::map<std::string, std::string> Environment(e2e::Display& d, testsupport::TempDir& home,
                                               const std::string& pulse) {
  return {{"DISPLAY", d.Name()},
          {"QT_QPA_PLATFORM", "xcb"},
          {"XDG_CONFIG_HOME", home.File("config")},
          {"TMPDIR", home.path()},
          {"PULSE_SERVER", pulse}};
}

// Start-up to the first painted frame, median of 5.
double StartupMs(e2e::Display& d, const Program& p) {
  testsupport::TempDir home;
  std::vector<double> startups;
  for (int run = 0; run < 5; ++run) {
    const auto t0 = Clock::now();
    e2e::Process proc(p.argv, Environment(d, home, "unix:/nonexistent"), home.File("log"));
    std::string win;
    while (Clock::now() - t0 < 15s) {
      if (win.empty()) win = d.FindWindow(p.title, 0);
      if (!win.empty()) {
        int w = 0, h = 0;
        d.Geometry(win, nullptr, nullptr, &w, &h);
        const e2e::Image img = d.Grab(win);
        if (!img.Empty() && img.Pixel(p.x, p.y + (h - layout::kWindowHeight)) == p.colour) break;
      }
      std::this_thread::sleep_for(2ms);
    }
    startups.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    proc.Signal(SIGTERM);
    proc.Wait(10000);
  }
  return Median(startups);
}

struct Round {
  Usage plain, gameQuiet, gameSound, server, serverAlone;
  double rssGame = 0, rssPlain = 0;
};

// One round, all side by side over the same seconds: the plain program, the
// game without a sound server, the game with one (and that server), and a
// second server that no client uses.
Round IdleRound(e2e::Display& d, const Program& game, const Program& plain, int seconds) {
  testsupport::TempDir homePlain, homeQuiet, homeSound, servers;
  audiotest::SoundServer server(servers.path() + "/used");
  audiotest::SoundServer alone(servers.path() + "/alone");
  if (!server.Running() || !alone.Running())
    std::fprintf(stderr, "no sound server: %s\n", server.Problem().c_str());
  e2e::Process p(plain.argv, Environment(d, homePlain, "unix:/nonexistent"), homePlain.File("log"));
  e2e::Process q(game.argv, Environment(d, homeQuiet, "unix:/nonexistent"), homeQuiet.File("log"));
  e2e::Process g(game.argv, Environment(d, homeSound, server.Address()), homeSound.File("log"));
  std::this_thread::sleep_for(3s);  // started, and the first idle sound has opened the device
  const std::vector<Usage> u = MeasureTogether({p.pid(), q.pid(), g.pid(), server.Pid(), alone.Pid()}, seconds);
  Round r{u[0], u[1], u[2], u[3], u[4], e2e::RssMiB(g.pid()), e2e::RssMiB(p.pid())};
  for (e2e::Process* proc : {&p, &q, &g}) {
    proc->Signal(SIGTERM);
    proc->Wait(10000);
  }
  return r;
}

// The game pushing a row every 1.35 s beside the plain program.
std::pair<Usage, Usage> PushingRound(e2e::Display& d, const Program& game, const Program& plain, int seconds) {
  testsupport::TempDir homePlain, homeGame;
  e2e::Process p(plain.argv, Environment(d, homePlain, "unix:/nonexistent"), homePlain.File("log"));
  e2e::Process g(game.argv, Environment(d, homeGame, "unix:/nonexistent"), homeGame.File("log"));
  const std::string win = d.FindWindow(game.title, 5000);
  int h = 0;
  d.Geometry(win, nullptr, nullptr, nullptr, &h);
  std::this_thread::sleep_for(2s);
  const double c0 = CpuSeconds(g.pid()), c1 = CpuSeconds(p.pid());
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  for (int k = 0; Clock::now() < end; ++k) {
    d.Click(win, layout::kRowButtonX + layout::kRowButtonWidth / 2,
            layout::kRowButtonTop[k % 3] + layout::kRowButtonHeight / 2 + (h - layout::kWindowHeight));
    std::this_thread::sleep_for(1350ms);
  }
  const std::pair<Usage, Usage> out{{100.0 * (CpuSeconds(g.pid()) - c0) / seconds, 0},
                                    {100.0 * (CpuSeconds(p.pid()) - c1) / seconds, 0}};
  g.Signal(SIGTERM);
  p.Signal(SIGTERM);
  g.Wait(10000);
  p.Wait(10000);
  return out;
}

int Session(int rounds) {
  // Xvfb picks a free display number itself.
  e2e::Display d(true);
  if (!d.Ok()) {
    std::fprintf(stderr, "no virtual display (Xvfb, openbox, xdotool, import)\n");
    return 1;
  }
  const std::string bin = PANDRISK_BINARY_DIR;
  const std::string tile = testsupport::SourceResourcesDir() + "/Tile0Pict.png";
  // The first frame with tiles: the solved board's centre tile, and the
  // same pixel of the plain program's picture.
  const uint32_t centre = e2e::Resource("Tile0Pict.png")->Graphics()->Pixel(96, 96).value;
  // PANDRISK_FIGURES_GAME names another build of the game to measure.
  const char* other = std::getenv("PANDRISK_FIGURES_GAME");
  const Program game{"pandrisk", "Pandrisk", {other ? std::string(other) : bin + "/pandrisk"}, 100, 100, centre};
  const Program plain{"plainwindow", "Plain", {bin + "/plainwindow", tile}, 100, 100, centre};
  const int seconds = Seconds(60);

  std::printf("%-38s %12s %12s\n", "", "pandrisk", "plainwindow");
  std::printf("%-38s %12.0f %12.0f\n", "start-up to first painted frame, ms", StartupMs(d, game),
              StartupMs(d, plain));
  std::fflush(stdout);

  std::printf("\nidle, %d s, side by side (%% of one core; wake-ups per second):\n", seconds);
  std::printf("%5s %14s %14s %14s %14s %14s %9s %9s\n", "round", "plain", "game, no srv", "game, srv",
              "its server", "server alone", "CPU x", "wake x");
  std::vector<double> cpuRatio, wakeRatio, plainCpu, soundCpu, serverCpu;
  Round last;
  for (int i = 0; i < rounds; ++i) {
    const Round r = IdleRound(d, game, plain, seconds);
    last = r;
    const double ratio = (r.gameSound.cpu + r.server.cpu) / r.plain.cpu;
    const double wake = r.gameSound.wakeUps / r.plain.wakeUps;
    cpuRatio.push_back(ratio);
    wakeRatio.push_back(wake);
    plainCpu.push_back(r.plain.cpu);
    soundCpu.push_back(r.gameSound.cpu);
    serverCpu.push_back(r.server.cpu);
    std::printf("%5d %6.2f %6.0f/s %6.2f %6.0f/s %6.2f %6.0f/s %6.3f %6.0f/s %6.3f %6.0f/s %9.2f %9.2f\n", i + 1,
                r.plain.cpu, r.plain.wakeUps, r.gameQuiet.cpu, r.gameQuiet.wakeUps, r.gameSound.cpu,
                r.gameSound.wakeUps, r.server.cpu, r.server.wakeUps, r.serverAlone.cpu, r.serverAlone.wakeUps,
                ratio, wake);
    std::fflush(stdout);
  }
  std::printf(
      "median of %d rounds: plain %.2f %%, game with server %.2f %% + its server %.3f %%; "
      "(game + server) / plain %.2fx, game's wake-ups / plain's %.2fx\n",
      rounds, Median(plainCpu), Median(soundCpu), Median(serverCpu), Median(cpuRatio), Median(wakeRatio));
  std::printf("resident memory idle, MiB: game %.1f, plain %.1f\n", last.rssGame, last.rssPlain);

  const auto [pushGame, pushPlain] = PushingRound(d, game, plain, Seconds(30));
  std::printf("pushing a row every 1.35 s, %d s side by side: game %.2f %%, plain %.2f %% (%.2fx)\n", Seconds(30),
              pushGame.cpu, pushPlain.cpu, pushGame.cpu / pushPlain.cpu);
  return 0;
}

int Ticks() {
  testsupport::TempDir prefs;
  fw::SetPreferencesFolder(prefs.path());
  fw::SetResourcesFolder(testsupport::SourceResourcesDir());
  Initialize();
  fw::RunFrameworkInitialization(Startup);
  fw::testing::StartApplication();
  fw::Ref<MainWindow> w = MainWindow::Instance();

  // The window's own handler runs as always; the load it is given is kept.
  std::vector<double> loads, handlerUs;
  int actions = 0;
  fw::Ref<PeriodicTimer> clock = w->GameHeltz();
  clock->PeriodicAction.Attach([&, weak = std::weak_ptr<MainWindow>(w)](int32_t load) {
    ++actions;
    loads.push_back(load);
    const double t0 = fw::Microseconds();
    if (auto win = weak.lock()) win->GameHeltz_PeriodicAction(clock, load);
    handlerUs.push_back(fw::Microseconds() - t0);
  });
  int plainActions = 0;
  auto plain = fw::New<fw::Timer>();
  plain->Action.Attach([&] { ++plainActions; });
  plain->Period(80);
  plain->Mode(2);
  int pushes = 0;
  auto pusher = fw::New<fw::Timer>();
  pusher->Action.Attach([&] { w->KickButton(pushes++ % 3)->Action.Raise(); });
  pusher->Period(1300);
  pusher->Mode(2);

  const int seconds = Seconds(60);
  const int before = actions;
  fw::testing::ProcessEvents(seconds * 1000);
  const int counted = actions - before;
  plain->Mode(0);
  pusher->Mode(0);
  std::printf("%d s with a push every 1.3 s (%d pushes)\n", seconds, pushes);
  std::printf("%-34s %8d (expected %d)\n", "actions of the game's clock", counted, seconds * 1000 / 80);
  std::printf("%-34s %8d\n", "actions of a plain 80 ms Timer", plainActions);
  std::printf("load reported by PeriodicAction, %% of the interval: median %.0f, 99th %.0f, max %.0f\n",
              Median(loads), Percentile(loads, 0.99),
              loads.empty() ? 0.0 : *std::max_element(loads.begin(), loads.end()));
  std::printf("the tick's handler (step, repaint, sounds), us: median %.0f, 99th %.0f\n", Median(handlerUs),
              Percentile(handlerUs, 0.99));
  Finalize();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode != "session" && mode != "ticks") {
    std::fprintf(stderr, "usage: game_figures session [ROUNDS] | ticks\n");
    return 2;
  }
  const int rounds = mode == "session" && argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  fw::testing::InitForTests(argc, argv);
  const int status = mode == "session" ? Session(rounds) : Ticks();
  fw::testing::ShutdownForTests();
  return status;
}

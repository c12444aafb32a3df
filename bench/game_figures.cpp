// Figures of the whole game, each beside a plain Qt window or a plain timer
// measured in the same run:
//
//   game_figures session   the real binary on a virtual display beside
//                          plainwindow: start-up to the first painted frame
//                          (median of 5), CPU over 30 idle seconds and over
//                          30 seconds of continuous pushes (the plain window
//                          repainting every 80 ms), resident memory
//   game_figures ticks     the game in this process for 60 s with a push
//                          every 1.3 s: the actions of the game's clock beside
//                          a plain 80 ms Timer (750 expected), and the load
//                          that each PeriodicAction reports
//
// PANDRISK_FIGURES_SECONDS shortens every phase (for a quick look).
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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


struct Program {
  std::string name, title;
  std::vector<std::string> argv;
  // The content pixel that tells the first frame is painted.
  int x, y;
  uint32_t colour;
};

struct SessionFigures {
  double startupMs = 0, idleCpu = 0, activeCpu = 0, rssIdle = 0, rssActive = 0;
};

SessionFigures Measure(e2e::Display& d, const Program& p, const std::vector<std::string>& activeArgv,
                       bool pushes) {
  SessionFigures f;
  testsupport::TempDir home;
  const std::map<std::string, std::string> env{{"DISPLAY", d.Name()},
                                               {"QT_QPA_PLATFORM", "xcb"},
                                               {"XDG_CONFIG_HOME", home.File("config")},
                                               {"TMPDIR", home.path()},
                                               {"PULSE_SERVER", "unix:/nonexistent"}};
  std::vector<double> startups;
  for (int run = 0; run < 5; ++run) {
    const auto t0 = Clock::now();
    e2e::Process proc(p.argv, env, home.File("log"));
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
  f.startupMs = Median(startups);

  const int phase = Seconds(30);
  {
    e2e::Process proc(p.argv, env, home.File("log"));
    std::this_thread::sleep_for(3s);
    const double c0 = CpuSeconds(proc.pid());
    std::this_thread::sleep_for(std::chrono::seconds(phase));
    f.idleCpu = 100.0 * (CpuSeconds(proc.pid()) - c0) / phase;
    f.rssIdle = e2e::RssMiB(proc.pid());
    if (pushes) {
      const std::string win = d.FindWindow(p.title, 5000);
      int h = 0;
      d.Geometry(win, nullptr, nullptr, nullptr, &h);
      const double c1 = CpuSeconds(proc.pid());
      const auto end = Clock::now() + std::chrono::seconds(phase);
      for (int k = 0; Clock::now() < end; ++k) {
        d.Click(win, layout::kRowButtonX + layout::kRowButtonWidth / 2,
                layout::kRowButtonTop[k % 3] + layout::kRowButtonHeight / 2 + (h - layout::kWindowHeight));
        std::this_thread::sleep_for(1350ms);
      }
      f.activeCpu = 100.0 * (CpuSeconds(proc.pid()) - c1) / phase;
      f.rssActive = e2e::RssMiB(proc.pid());
    }
    proc.Signal(SIGTERM);
    proc.Wait(10000);
  }
  if (!pushes) {
    e2e::Process proc(activeArgv, env, home.File("log"));
    std::this_thread::sleep_for(3s);
    const double c1 = CpuSeconds(proc.pid());
    std::this_thread::sleep_for(std::chrono::seconds(phase));
    f.activeCpu = 100.0 * (CpuSeconds(proc.pid()) - c1) / phase;
    f.rssActive = e2e::RssMiB(proc.pid());
    proc.Signal(SIGTERM);
    proc.Wait(10000);
  }
  return f;
}

int Session() {
  e2e::Display d(true);
  if (!d.Ok()) {
    std::fprintf(stderr, "no virtual display (Xvfb, openbox, xdotool, import)\n");
    return 1;
  }
  const std::string bin = PANDRISK_BINARY_DIR;
  const std::string tile = testsupport::SourceResourcesDir() + "/Tile0Pict.png";
  // The game's first frame with tiles: the solved board's centre tile.
  const uint32_t centre = e2e::Resource("Tile0Pict.png")->Graphics()->Pixel(96, 96).value;
  const Program game{"pandrisk", "Pandrisk", {bin + "/pandrisk"}, 100, 100, centre};
  const uint32_t plainColour = e2e::Resource("Tile0Pict.png")->Graphics()->Pixel(96, 96).value;
  const Program plain{"plainwindow", "Plain", {bin + "/plainwindow", tile}, 100, 100, plainColour};
  const SessionFigures g = Measure(d, game, {}, true);
  const SessionFigures q = Measure(d, plain, {bin + "/plainwindow", tile, "--tick"}, false);
  std::printf("%-38s %12s %12s\n", "", "pandrisk", "plainwindow");
  std::printf("%-38s %12.0f %12.0f\n", "start-up to first painted frame, ms", g.startupMs, q.startupMs);
  std::printf("%-38s %12.2f %12.2f\n", "CPU idle, % of one core", g.idleCpu, q.idleCpu);
  std::printf("%-38s %12.2f %12.2f\n", "CPU pushing (plain: 80 ms repaint), %", g.activeCpu, q.activeCpu);
  std::printf("%-38s %12.1f %12.1f\n", "resident memory idle, MiB", g.rssIdle, q.rssIdle);
  std::printf("%-38s %12.1f %12.1f\n", "resident memory active, MiB", g.rssActive, q.rssActive);
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
              Median(loads), Percentile(loads, 0.99), loads.empty() ? 0.0 : *std::max_element(loads.begin(), loads.end()));
  std::printf("the tick's handler (step, repaint, sounds), us: median %.0f, 99th %.0f\n", Median(handlerUs),
              Percentile(handlerUs, 0.99));
  Finalize();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode != "session" && mode != "ticks") {
    std::fprintf(stderr, "usage: game_figures session|ticks\n");
    return 2;
  }
  fw::testing::InitForTests(argc, argv);
  const int status = mode == "session" ? Session() : Ticks();
  fw::testing::ShutdownForTests();
  return status;
}

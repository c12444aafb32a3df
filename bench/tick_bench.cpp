// The cost of one clock tick of the game window as it runs: the board's
// step, the board's repaint on screen, the tick's sounds, and the pass of
// the event loop that follows it.
//
//   build/tick_bench                   time per tick, idle and pushing
//   valgrind --tool=callgrind --instr-atstart=no build/tick_bench --count=1000
//                                            instructions of 1000 pushing
//                                            ticks (only the ticks are
//                                            instrumented; divide by 1000)
//
// Runs on the offscreen platform unless a display is given.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/App.h"
#include "app/Startup.h"
#include "engine/PeriodicTimer.h"
#include "framework/Application.h"
#include "framework/FolderItem.h"
#include "framework/Sound.h"
#include "framework/Testing.h"
#include "window/MainWindow.h"
#include "window/PictureButton.h"

namespace {

class SilentOutput : public fw::SoundOutput {
 public:
  void Play(const std::shared_ptr<const fw::SoundData>&, int32_t) override {}
};

// The game, started as the binary starts it, with its clock stopped: the
// ticks are driven one by one.
struct Game {
  fw::Ref<MainWindow> window;
  int64_t ticks = 0;

  Game() {
    static std::string prefs = "/tmp/pandrisk-tick-XXXXXX";
    if (mkdtemp(prefs.data()) == nullptr) std::perror("mkdtemp");
    fw::SetPreferencesFolder(prefs);
    fw::SetResourcesFolder(std::string(PANDRISK_SOURCE_DIR) + "/resources");
    Initialize();
    fw::RunFrameworkInitialization(Startup);
    fw::testing::StartApplication();
    window = MainWindow::Instance();
    window->GameHeltz()->TimerStop();
    fw::testing::ProcessEvents(100);
  }

  // One tick, as the clock raises it from the event loop; while pushing, a
  // row is pushed every 17 ticks (a push takes 15).
  void Tick(bool pushing) {
    fw::Ref<PeriodicTimer> clock = window->GameHeltz();
    if (pushing && ticks % 17 == 0)
      fw::CallProgram([&] { window->KickButton(static_cast<int32_t>(ticks / 17 % 3))->Action.Raise(); });
    fw::CallProgram([&] { clock->PeriodicAction.Raise(0); });
    fw::testing::ProcessEvents(0);
    ++ticks;
  }
};

Game& TheGame() {
  static Game game;
  return game;
}

void BM_TickIdle(benchmark::State& state) {
  Game& g = TheGame();
  for (auto _ : state) g.Tick(false);
}
BENCHMARK(BM_TickIdle)->Unit(benchmark::kMicrosecond);

void BM_TickPushing(benchmark::State& state) {
  Game& g = TheGame();
  for (auto _ : state) g.Tick(true);
}
BENCHMARK(BM_TickPushing)->Unit(benchmark::kMicrosecond);

// The ticks alone under the instruction counter.
void CountTicks(int count) {
  Game& g = TheGame();
  for (int i = 0; i < 50; ++i) g.Tick(true);  // caches and pictures settle
  g.ticks = 0;
  CALLGRIND_START_INSTRUMENTATION;
  for (int i = 0; i < count; ++i) g.Tick(true);
  CALLGRIND_STOP_INSTRUMENTATION;
  std::printf("%d pushing ticks counted\n", count);
}

}  // namespace

int main(int argc, char** argv) {
  if (getenv("QT_QPA_PLATFORM") == nullptr && getenv("DISPLAY") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int count = 0;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--count=", 8) == 0) count = atoi(argv[i] + 8);
  fw::testing::InitForTests(argc, argv);
  fw::SetSoundOutput(std::make_shared<SilentOutput>());
  if (count > 0) {
    CountTicks(count);
  } else {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  }
  TheGame().window = nullptr;
  Finalize();
  fw::testing::ShutdownForTests();
  return 0;
}

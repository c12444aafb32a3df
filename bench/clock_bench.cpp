// A real 60-second run, on the event loop, of the game's clock (polls every
// 16 ms, acts every 80 ms) beside a plain repeating Timer of 80 ms in the
// same process. For each it counts the actions that come within the 60 s (750 is
// the goal) and measures how late each action comes after its due time, the
// start plus a whole number of intervals: median, 99th percentile, maximum
// and the lateness of the last action (a growing lateness is drift). A
// second run stalls the loop for 200 ms every 4 s.
//
//   build/clock_bench                          (both runs, about 2 minutes)
//   build/clock_bench --benchmark_filter=/0/   (the quiet run only)
//
// Optional: PANDRISK_CLOCK_BENCH_SECONDS shortens or lengthens the run.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <cmath>
#include <string>
#include <vector>

#include "engine/PeriodicTimer.h"
#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Time.h"

namespace {

constexpr double kIntervalUs = 80'000;
int g_argc = 0;
char** g_argv = nullptr;

struct Lateness {
  double median = 0, p99 = 0, max = 0, last = 0;
  int count = 0;
};

// Action k (1-based) is due at start + k intervals. Counted are the actions
// that came within the run, the last one allowed one poll period (16 ms)
// past its end: a drift-free 80 ms clock gives 750 in 60 s; a lost action
// or a drift leaves the count short. The clock works off every due action,
// so its i-th action is the one due i intervals after the start. A timer
// drops the firings it was too late for: each of its firings is taken for
// the latest due time it has passed, after the previous firing's.
Lateness Measure(const std::vector<double>& times, double start, double seconds, bool drops) {
  Lateness r;
  std::vector<double> late;
  double k = 0;
  for (size_t i = 0; i < times.size(); ++i) {
    if (times[i] > start + seconds * 1e6 + 16'000) break;
    k = drops ? std::max(k + 1, std::floor((times[i] - start) / kIntervalUs)) : k + 1;
    late.push_back((times[i] - (start + kIntervalUs * k)) / 1000.0);
  }
  r.count = static_cast<int>(late.size());
  if (late.empty()) return r;
  r.last = late.back();
  std::sort(late.begin(), late.end());
  r.median = late[late.size() / 2];
  r.p99 = late[std::min(late.size() - 1, static_cast<size_t>(std::ceil(0.99 * late.size())) - 1)];
  r.max = late.back();
  return r;
}

void BM_ClockBesideTimer(benchmark::State& state) {
  const char* env = getenv("PANDRISK_CLOCK_BENCH_SECONDS");
  const double seconds = env ? std::max(1.0, atof(env)) : 60.0;
  const int64_t stallMs = state.range(0);
  Lateness clock, plain;
  for (auto _ : state) {
    std::vector<double> clockTimes, timerTimes;
    clockTimes.reserve(2000);
    timerTimes.reserve(2000);

    auto periodic = fw::New<PeriodicTimer>();
    periodic->PeriodicAction.Attach([&](int32_t) {
      clockTimes.push_back(fw::Microseconds());
      if (stallMs > 0 && clockTimes.size() % 50 == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(stallMs));
    });
    periodic->Setup(16, 80);
    auto timer = fw::New<fw::Timer>();
    timer->Action.Attach([&] { timerTimes.push_back(fw::Microseconds()); });
    timer->Period(80);

    // Both start from within the event loop, which then runs as in the
    // game until a one-shot timer quits the application.
    double clockStart = 0, timerStart = 0;
    auto app = fw::New<fw::Application>();
    fw::RuntimeRegisterAppObject(app);
    auto begin = fw::New<fw::Timer>();
    begin->Action.Attach([&] {
      clockStart = fw::Microseconds();
      periodic->TimerStart(0);
      timerStart = fw::Microseconds();
      timer->Mode(2);
    });
    begin->Period(0);
    begin->Mode(1);
    auto end = fw::New<fw::Timer>();
    end->Action.Attach([&] { app->Quit(); });
    end->Period(static_cast<int32_t>(seconds * 1000) + 300);
    end->Mode(1);
    fw::RuntimeRun();
    periodic->TimerStop();
    timer->Mode(0);
    // The run time ends with the quit; bring it up afresh for the next run.
    begin = nullptr;
    end = nullptr;
    periodic = nullptr;
    timer = nullptr;
    app = nullptr;
    fw::RuntimeExit();
    fw::RuntimeInit(g_argc, g_argv);

    clock = Measure(clockTimes, clockStart, seconds, false);
    plain = Measure(timerTimes, timerStart, seconds, true);
  }
  state.counters["clock_actions"] = clock.count;
  state.counters["clock_late_median_ms"] = clock.median;
  state.counters["clock_late_p99_ms"] = clock.p99;
  state.counters["clock_late_max_ms"] = clock.max;
  state.counters["clock_late_last_ms"] = clock.last;
  state.counters["timer_actions"] = plain.count;
  state.counters["timer_late_median_ms"] = plain.median;
  state.counters["timer_late_p99_ms"] = plain.p99;
  state.counters["timer_late_max_ms"] = plain.max;
  state.counters["timer_late_last_ms"] = plain.last;
}
// Argument: a stall in milliseconds that the clock's handler makes at every
// 50th action (every 4 s), holding up both; 0 for a quiet run.
BENCHMARK(BM_ClockBesideTimer)->Arg(0)->Arg(200)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (getenv("QT_QPA_PLATFORM") == nullptr && getenv("DISPLAY") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  g_argc = argc;
  g_argv = argv;
  fw::RuntimeInit(g_argc, g_argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return fw::RuntimeExit();
}

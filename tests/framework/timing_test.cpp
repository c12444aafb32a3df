// Timers on the event loop and cooperative threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Testing.h"
#include "framework/Thread.h"
#include "framework/Time.h"

using namespace fw;

TEST(Timer, RepeatsWhileModeTwoAndStopsAtModeZero) {
  auto t = New<Timer>();
  int count = 0;
  t->Action.Attach([&] {
    if (++count == 3) t->Mode(0);
  });
  t->Period(5);
  EXPECT_EQ(count, 0);  // the design Mode 0: off
  t->Mode(2);
  fw::testing::ProcessEvents(200);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(t->Period(), 5);
}

TEST(Timer, ModeOneFiresOnce) {
  auto t = New<Timer>();
  int count = 0;
  t->Action.Attach([&] { ++count; });
  t->Period(1);
  t->Mode(1);
  fw::testing::ProcessEvents(50);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(t->Mode(), 0);
}

namespace {
class Counter : public Thread {
 public:
  std::vector<std::string>* log = nullptr;
  int passes = 3;
  void Event_Run() override {
    for (int i = 0; i < passes; ++i) {
      log->push_back("pass " + std::to_string(i));
      YieldToNextThread();
    }
    log->push_back("end");
  }
};

class Thrower : public Thread {
 public:
  void Event_Run() override {
    YieldToNextThread();
    throw std::runtime_error("from a thread");
  }
};

class Forever : public Thread {
 public:
  bool* unwound = nullptr;
  void Event_Run() override {
    struct Guard {
      bool* flag;
      ~Guard() { *flag = true; }
    } guard{unwound};
    for (;;) YieldToNextThread();
  }
};
}  // namespace

TEST(Thread, RunsOnTheEventLoopAndGivesWayAtEachYield) {
  std::vector<std::string> log;
  auto t = New<Counter>();
  t->log = &log;
  t->Run();
  log.push_back("after Run");  // Run returns before the thread's code runs
  EXPECT_TRUE(t->IsRunning());
  fw::testing::ProcessEvents(100);
  EXPECT_EQ(log, (std::vector<std::string>{"after Run", "pass 0", "pass 1", "pass 2", "end"}));
  EXPECT_FALSE(t->IsRunning());
  // A thread that has ended may run again.
  log.clear();
  t->passes = 1;
  t->Run();
  fw::testing::ProcessEvents(50);
  EXPECT_EQ(log, (std::vector<std::string>{"pass 0", "end"}));
}

TEST(Thread, ExceptionLeavingAThreadIsReportedAndFailsTheRun) {
  auto t = New<Thrower>();
  ::testing::internal::CaptureStderr();
  t->Run();
  fw::testing::ProcessEvents(100);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("from a thread"), std::string::npos);
  EXPECT_FALSE(t->IsRunning());
  EXPECT_EQ(RuntimeExit(), 1);
}

TEST(Thread, ShutDownUnwindsARunningThread) {
  bool unwound = false;
  auto t = New<Forever>();
  t->unwound = &unwound;
  t->Run();
  fw::testing::ProcessEvents(20);
  EXPECT_TRUE(t->IsRunning());
  EXPECT_FALSE(unwound);
  EXPECT_EQ(RuntimeExit(), 0);
  EXPECT_TRUE(unwound);
}

TEST(Time, SeamsReplaceClockAndRandomSource) {
  SetMicrosecondsSource([] { return 1234.0; });
  SetRandomSource([] { return 0.25; });
  EXPECT_EQ(Microseconds(), 1234.0);
  EXPECT_EQ(Rnd(), 0.25);
  SetMicrosecondsSource(nullptr);
  SetRandomSource(nullptr);
  const double a = Microseconds();
  const double r = Rnd();
  EXPECT_GE(Microseconds(), a);
  EXPECT_GE(r, 0.0);
  EXPECT_LT(r, 1.0);
}

TEST(Timer, ALateFiringLeavesTheLaterOnesOnTheSchedule) {
  // Period 20 ms; the second firing holds the loop for 50 ms. The firings
  // after it stay on start + k × 20 ms, where restarting from the late one
  // would put them 10 ms off. The earliest of several is taken, as a busy
  // machine only makes them later.
  auto t = New<Timer>();
  std::vector<double> times;
  t->Action.Attach([&] {
    times.push_back(Microseconds());
    if (times.size() == 2) {
      const double until = Microseconds() + 50000;
      while (Microseconds() < until) {
      }
    }
    if (times.size() == 10) t->Mode(0);
  });
  t->Period(20);
  const double start = Microseconds();
  t->Mode(2);
  fw::testing::ProcessEvents(500);
  ASSERT_EQ(times.size(), 10u);
  double earliest = 1e9;
  for (size_t i = 3; i < times.size(); ++i) {
    const double offset = std::fmod(times[i] - start, 20000.0);
    earliest = std::min(earliest, offset);
  }
  EXPECT_LT(earliest, 4000.0) << "microseconds past the schedule";
}

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/PeriodicTimer.h"
#include "framework/Testing.h"
#include "tests/engine/Fixtures.h"

namespace {

class ClockProbe : public PeriodicTimer {
 public:
  int32_t Interval() const { return ItsInterval; }
  int32_t PollPeriod() const { return ItsPeriod; }
  double Last() const { return LastTime; }
  fw::Ref<PeriodicThread> Thread() const { return ItsPeriodicThread; }
};

struct Action {
  double ms;  // clock reading when the handler ran, in ms
  int32_t argument;
  friend bool operator==(const Action& a, const Action& b) { return a.ms == b.ms && a.argument == b.argument; }
};
std::ostream& operator<<(std::ostream& os, const Action& a) {
  return os << "{" << a.ms << " ms, " << a.argument << "}";
}

// A clock polled by the test at chosen times; the handler records each
// action and may take time (it moves the fake clock on) or act on the clock.
class ClockHarness {
 public:
  ClockHarness() {
    timer->PeriodicAction.Attach([this](int32_t arg) {
      actions.push_back({clock.now / 1000.0, arg});
      if (onAction) onAction(arg);
      clock.now += handlerMs * 1000.0;
    });
  }
  void Start(double atMs, int32_t skip = 0) {
    clock.now = atMs * 1000.0;
    timer->TimerStart(skip);
  }
  // One poll at the given time.
  void PollAt(double ms) {
    clock.now = ms * 1000.0;
    timer->Event_Action();
  }
  // Polls from `fromMs` up to `toMs` inclusive, every `stepMs`.
  void PollEvery(double stepMs, double fromMs, double toMs) {
    for (double t = fromMs; t <= toMs; t += stepMs) PollAt(t);
  }
  std::vector<double> Times() const {
    std::vector<double> out;
    for (const auto& a : actions) out.push_back(a.ms);
    return out;
  }

  fixtures::FakeClock clock;
  fw::Ref<ClockProbe> timer = fw::New<ClockProbe>();
  std::vector<Action> actions;
  double handlerMs = 0;
  std::function<void(int32_t)> onAction;
};

}  // namespace

TEST(PeriodicTimer, ActsAtTheFirstPollStrictlyAfterEachDueTime) {
  ClockHarness h;
  h.timer->Setup(16, 80);
  h.Start(1000);
  EXPECT_EQ(h.timer->RefStatus(), PeriodicTimer::kRunningOnTimer);
  EXPECT_EQ(h.timer->Period(), 16);
  EXPECT_EQ(h.timer->Mode(), 2);

  h.PollEvery(16, 1016, 1000 + 16 * 21);
  // Due at 1320 and polled at 1320: not strictly after, so it waits for 1336.
  EXPECT_EQ(h.actions, (std::vector<Action>{{1096, 0}, {1176, 0}, {1256, 0}, {1336, 0}}));
}

TEST(PeriodicTimer, StartCorrectsTheSettings) {
  struct Case {
    int32_t period, interval;
    bool lowLoad;
    int32_t wantPeriod, wantInterval, wantTimerPeriod;
  };
  const std::vector<Case> cases = {
      {16, 80, false, 16, 80, 16}, {0, 0, false, 1, 1, 1},     {100, 80, false, 80, 80, 80},
      {-5, 80, false, 1, 80, 1},   {16, 80, true, 16, 80, 80}, {16, -7, false, 1, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.period) + "/" + std::to_string(c.interval) + (c.lowLoad ? " low" : ""));
    fixtures::FakeClock clock;
    auto t = fw::New<ClockProbe>();
    t->Setup(c.period, c.interval);
    t->SetLowLoadMode(c.lowLoad);
    t->TimerStart(0);
    EXPECT_EQ(t->PollPeriod(), c.wantPeriod);
    EXPECT_EQ(t->Interval(), c.wantInterval);
    EXPECT_EQ(t->Period(), c.wantTimerPeriod);
  }
}

TEST(PeriodicTimer, StartArgumentSkipsDueActionsButKeepsTheSchedule) {
  {
    ClockHarness h;
    h.timer->Setup(16, 80);
    h.Start(0, 2);
    h.PollEvery(16, 16, 272);
    EXPECT_EQ(h.Times(), std::vector<double>{256});
  }
  {
    ClockHarness h;
    h.timer->Setup(16, 80);
    h.Start(0, -3);
    h.PollEvery(16, 16, 96);
    EXPECT_EQ(h.Times(), std::vector<double>{96});
  }
}

TEST(PeriodicTimer, PassesTheHandlersLoadToTheNextAction) {
  ClockHarness h;
  h.timer->Setup(16, 80);
  h.Start(0);
  h.handlerMs = 8;  // 10 % of the interval
  h.PollAt(96);
  h.handlerMs = 100;  // 125 %, yet within five intervals of its due time
  h.PollAt(176);
  h.handlerMs = 0;
  h.PollAt(288);  // due at 240: one poll, late but not overdue
  h.PollAt(336);
  EXPECT_EQ(h.actions, (std::vector<Action>{{96, 0}, {176, 10}, {288, 125}, {336, 0}}));
}

TEST(PeriodicTimer, AnActionEndingMoreThanFiveIntervalsLateRestartsTheSchedule) {
  ClockHarness h;
  h.timer->Setup(16, 80);
  h.Start(0);
  h.handlerMs = 484;  // ends at 580 ms: 500 ms after its due time of 80 ms
  h.PollAt(96);
  EXPECT_EQ(h.timer->Last(), 580'000);
  h.handlerMs = 8;
  h.PollAt(600);
  h.PollAt(660);  // 80 ms after the late end: not strictly after
  h.PollAt(661);  // load 484 ms / 80 ms = 605 %, negated
  h.handlerMs = 0;
  h.PollAt(742);  // in time again: positive
  EXPECT_EQ(h.actions, (std::vector<Action>{{96, 0}, {661, -605}, {742, 10}}));

  // Exactly five intervals late is not late.
  ClockHarness edge;
  edge.timer->Setup(16, 80);
  edge.Start(0);
  edge.handlerMs = 400 - 16;  // ends at 480 = due 80 + 400
  edge.PollAt(96);
  edge.PollAt(161);
  ASSERT_EQ(edge.actions.size(), 2u);
  EXPECT_EQ(edge.actions[1].argument, 480);
}

TEST(PeriodicTimer, WorksOffABacklogOneActionPerPoll) {
  ClockHarness h;
  h.timer->Setup(16, 80);
  h.Start(0);
  h.PollEvery(16, 16, 96);    // the action due at 80
  h.PollEvery(16, 336, 432);  // three intervals missed
  EXPECT_EQ(h.Times(), (std::vector<double>{96, 336, 352, 368, 416}));
  for (const auto& a : h.actions) EXPECT_GE(a.argument, 0);
}

TEST(PeriodicTimer, TimerSyncActsOnlyFromTheHandler) {
  ClockHarness h;
  h.timer->Setup(16, 80);
  h.Start(0);
  h.handlerMs = 10;
  h.onAction = [&](int32_t) { h.timer->TimerSync(); };
  h.PollAt(96);  // handler returns at 106: next due 186, backlog none
  h.onAction = nullptr;
  h.handlerMs = 0;
  h.PollAt(186);
  h.PollAt(187);
  EXPECT_EQ(h.Times(), (std::vector<double>{96, 187}));

  // Between polls: cleared by the next poll; the schedule goes on (due 266).
  h.timer->TimerSync();
  h.PollAt(268);
  EXPECT_EQ(h.Times().back(), 268);
  EXPECT_EQ(h.timer->Last(), 266'000);

  // While stopped: nothing, and the start clears it anyway.
  h.timer->TimerStop();
  h.timer->TimerSync();
  h.Start(1000);
  h.PollAt(1081);
  EXPECT_EQ(h.timer->Last(), 1080'000);
}

TEST(PeriodicTimer, CountsPollsWhenTheClockStandsStillOrGoesBack) {
  ClockHarness h;
  h.timer->Setup(16, 80);
  h.Start(5000);
  for (int i = 1; i <= 5; ++i) h.PollAt(5000);
  EXPECT_TRUE(h.actions.empty());  // 16 x 5 = 80 is not more than 80
  h.PollAt(5000);
  ASSERT_EQ(h.actions.size(), 1u);
  EXPECT_EQ(h.actions[0].argument, 0);

  // Going back counts the same way.
  for (int i = 1; i <= 5; ++i) h.PollAt(4000);
  EXPECT_EQ(h.actions.size(), 1u);
  h.PollAt(4000);
  EXPECT_EQ(h.actions.size(), 2u);
  EXPECT_EQ(h.timer->Last(), 4000'000);
}

TEST(PeriodicTimer, CallsInTheWrongStatusAreIgnored) {
  ClockHarness h;
  int starts = 0, stops = 0;
  h.timer->PeriodicStart.Attach([&] { ++starts; });
  h.timer->PeriodicStop.Attach([&] { ++stops; });

  h.timer->TimerStop();  // stopped already
  EXPECT_EQ(stops, 0);
  h.timer->ExternalTrigger();

  h.timer->Setup(16, 80);
  h.Start(0);
  h.timer->TimerStart(0);  // running already
  h.timer->Setup(50, 500);
  h.timer->SetLowLoadMode(true);
  h.timer->SetThreadMode(true);
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(h.timer->PollPeriod(), 16);
  EXPECT_EQ(h.timer->Interval(), 80);
  EXPECT_FALSE(h.timer->RefThreadMode());
  h.PollAt(50);
  h.timer->ExternalTrigger();  // not in thread mode: no poll
  h.clock.now = 200'000;
  h.timer->ExternalTrigger();
  EXPECT_TRUE(h.actions.empty());
  h.PollAt(200);
  EXPECT_EQ(h.actions.size(), 1u);
}

TEST(PeriodicTimer, StopAndRestartRaiseTheirEventsAndStartAfresh) {
  ClockHarness h;
  std::vector<std::string> events;
  std::vector<int32_t> statusInHandlers;
  h.timer->PeriodicStart.Attach([&] {
    events.push_back("start");
    statusInHandlers.push_back(h.timer->RefStatus());
    h.timer->Setup(1, 1);  // ignored: the status is 9 here
  });
  h.timer->PeriodicStop.Attach([&] {
    events.push_back("stop");
    statusInHandlers.push_back(h.timer->RefStatus());
  });
  h.timer->Setup(16, 80);
  h.Start(0);
  h.handlerMs = 8;
  h.PollAt(96);
  h.timer->TimerStop();
  EXPECT_EQ(h.timer->Mode(), 0);
  EXPECT_EQ(h.timer->RefStatus(), PeriodicTimer::kStopped);
  h.handlerMs = 0;
  h.Start(500);
  h.PollAt(580);
  h.PollAt(581);
  EXPECT_EQ(events, (std::vector<std::string>{"start", "stop", "start"}));
  EXPECT_EQ(statusInHandlers, (std::vector<int32_t>{9, 9, 9}));
  EXPECT_EQ(h.timer->Interval(), 80);
  EXPECT_EQ(h.actions, (std::vector<Action>{{96, 0}, {581, 0}}));  // the 10 was cleared by the stop
}

TEST(PeriodicTimer, StopFromTheHandlerFinishesThePollAndKeepsItsLoad) {
  ClockHarness h;
  std::vector<std::string> events;
  h.timer->PeriodicStop.Attach([&] { events.push_back("stop"); });
  h.timer->Setup(16, 80);
  h.Start(0);
  h.handlerMs = 8;
  h.onAction = [&](int32_t) {
    h.timer->TimerStop();
    events.push_back("handler returns");
  };
  h.PollAt(96);
  EXPECT_EQ(events, (std::vector<std::string>{"stop", "handler returns"}));
  EXPECT_EQ(h.timer->RefStatus(), PeriodicTimer::kStopped);
  EXPECT_EQ(h.timer->Mode(), 0);

  h.onAction = nullptr;
  h.handlerMs = 0;
  h.Start(1000);
  h.PollAt(1081);
  ASSERT_EQ(h.actions.size(), 2u);
  EXPECT_EQ(h.actions[1].argument, 10);  // the load of the handler that stopped the clock
}

TEST(PeriodicTimer, LongIntervalsDoNotOverflow) {
  ClockHarness h;
  h.timer->Setup(16, 500'000);  // five intervals are 2.5e9 µs
  h.Start(0);
  h.handlerMs = 1'000'000;  // two intervals: in time
  h.PollAt(500'000);
  h.PollAt(500'001);
  h.handlerMs = 0;
  h.PollAt(1'500'002);
  ASSERT_EQ(h.actions.size(), 2u);
  EXPECT_EQ(h.actions[1].argument, 200);
}

TEST(PeriodicTimer, ThreadModeRunsAndStopsItsThreadAndLeavesTheTimerOff) {
  ClockHarness h;
  h.timer->Setup(16, 80);
  h.timer->SetThreadMode(true);
  EXPECT_TRUE(h.timer->RefThreadMode());
  std::weak_ptr<PeriodicThread> first = h.timer->Thread();
  ASSERT_FALSE(first.expired());
  EXPECT_EQ(h.timer->Thread()->Priority(), 10);
  h.timer->SetThreadMode(true);  // a new thread each time
  EXPECT_TRUE(first.expired());

  h.Start(0);
  EXPECT_EQ(h.timer->RefStatus(), PeriodicTimer::kRunningOnThread);
  EXPECT_EQ(h.timer->Mode(), 0);
  EXPECT_TRUE(h.timer->Thread()->IsRunning());
  h.clock.now = 81'000;
  h.timer->ExternalTrigger();
  EXPECT_EQ(h.Times(), std::vector<double>{81});

  h.timer->TimerStop();
  EXPECT_EQ(h.timer->RefStatus(), PeriodicTimer::kStopped);
  h.clock.now = 500'000;
  h.timer->ExternalTrigger();
  EXPECT_EQ(h.actions.size(), 1u);

  // The loop ends at its next pass; leaving thread mode then breaks the
  // clock-thread pair.
  fw::testing::ProcessEvents(20);
  EXPECT_FALSE(h.timer->Thread()->IsRunning());
  std::weak_ptr<PeriodicThread> second = h.timer->Thread();
  h.timer->SetThreadMode(false);
  EXPECT_FALSE(h.timer->RefThreadMode());
  EXPECT_TRUE(second.expired());
}

namespace {

// Records the clock reading of every trigger from the thread.
class TriggerProbe : public PeriodicTimer {
 public:
  std::vector<double> triggers;
  void ExternalTrigger() override {
    triggers.push_back(fw::Microseconds());
    PeriodicTimer::ExternalTrigger();
  }
  fw::Ref<PeriodicThread> Thread() const { return ItsPeriodicThread; }
};

// Runs the event loop until the thread has read the clock a few more times
// (each pass of its loop reads it once) or has ended, or a second has gone by.
void LetThreadRun(const fixtures::FakeClock& clock, const fw::Ref<PeriodicThread>& thread) {
  const int before = clock.reads;
  for (int i = 0; i < 1000 && clock.reads < before + 5; ++i) {
    fw::testing::ProcessEvents(1);
    if (!thread->IsRunning()) break;
  }
}

}  // namespace

TEST(PeriodicThread, TriggersAfter15msThenEachMillisecondAndAtOnceWhenTheClockGoesBack) {
  fixtures::FakeClock clock;
  auto t = fw::New<TriggerProbe>();
  t->Setup(16, 80);
  t->SetThreadMode(true);
  t->TimerStart(0);

  // Each step: set the clock, let the thread make many passes, and read the
  // triggers that came.
  struct Step {
    double at;
    std::vector<double> triggers;
  };
  const std::vector<Step> steps = {
      {0, {}},
      {15'000, {}},
      {15'001, {15'001}},
      {16'000, {}},
      {16'001, {}},
      {16'002, {16'002}},
      {10'000, {10'000}},
      {10'500, {}},
      {11'001, {11'001}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.at);
    t->triggers.clear();
    clock.now = step.at;
    LetThreadRun(clock, t->Thread());
    EXPECT_EQ(t->triggers, step.triggers);
  }

  t->TimerStop();
  LetThreadRun(clock, t->Thread());
  EXPECT_FALSE(t->Thread()->IsRunning());
  t->SetThreadMode(false);
}

TEST(PeriodicThread, RestartWhileWindingDownKeepsPollingAndAnEarlyStopIsKept) {
  fixtures::FakeClock clock;
  auto t = fw::New<TriggerProbe>();
  t->Setup(16, 80);
  t->SetThreadMode(true);

  // Stopped before the thread's run has begun: the run ends at once.
  t->TimerStart(0);
  t->TimerStop();
  clock.now = 100'000;
  LetThreadRun(clock, t->Thread());
  EXPECT_FALSE(t->Thread()->IsRunning());
  EXPECT_TRUE(t->triggers.empty());

  // Running; stopped and started again before the loop saw the stop.
  t->TimerStart(0);
  LetThreadRun(clock, t->Thread());
  t->TimerStop();
  t->TimerStart(0);
  EXPECT_EQ(t->RefStatus(), PeriodicTimer::kRunningOnThread);
  clock.now = 200'000;
  LetThreadRun(clock, t->Thread());
  EXPECT_TRUE(t->Thread()->IsRunning());
  EXPECT_EQ(t->triggers, std::vector<double>{200'000});

  t->TimerStop();
  LetThreadRun(clock, t->Thread());
  t->SetThreadMode(false);
}

// The thread links back to its clock weakly: a clock in thread mode is freed
// with its last outside reference, and its thread with it or, while its loop
// still runs, at the loop's next pass.
TEST(PeriodicThread, AClockInThreadModeAndItsThreadAreFreedWhenTheClockIsDropped) {
  enum class Before { NeverStarted, StoppedAndUnwound, StillRunning };
  for (Before before : {Before::NeverStarted, Before::StoppedAndUnwound, Before::StillRunning}) {
    SCOPED_TRACE(static_cast<int>(before));
    fixtures::FakeClock clock;
    auto t = fw::New<TriggerProbe>();
    t->Setup(16, 80);
    t->SetThreadMode(true);
    fw::Ref<PeriodicThread> thread = t->Thread();
    if (before != Before::NeverStarted) {
      t->TimerStart(0);
      LetThreadRun(clock, thread);  // the loop starts at 0 ms
      clock.now = 20'000;
      LetThreadRun(clock, thread);
      ASSERT_EQ(t->triggers.size(), 1u);
    }
    if (before == Before::StoppedAndUnwound) {
      t->TimerStop();
      LetThreadRun(clock, thread);
      ASSERT_FALSE(thread->IsRunning());
    }
    std::weak_ptr<PeriodicTimer> weakClock = t;
    std::weak_ptr<PeriodicThread> weakThread = thread;
    t = nullptr;
    EXPECT_TRUE(weakClock.expired());
    // The thread's loop sees its clock gone and ends at its next pass.
    LetThreadRun(clock, thread);
    EXPECT_FALSE(thread->IsRunning());
    thread = nullptr;
    EXPECT_TRUE(weakThread.expired());
  }
}

TEST(PeriodicThread, AThreadWithoutOwnerEndsAtOnce) {
  auto th = fw::New<PeriodicThread>();
  th->Run();
  EXPECT_TRUE(th->IsRunning());
  for (int i = 0; i < 1000 && th->IsRunning(); ++i) fw::testing::ProcessEvents(1);
  EXPECT_FALSE(th->IsRunning());
}

TEST(PeriodicTimer, VersionInfos) {
  EXPECT_EQ(PeriodicTimer().VersionInfo(), "2012-05-27,1");
  EXPECT_EQ(PeriodicThread().VersionInfo(), "2012-05-25,1");
}

#include "engine/PeriodicTimer.h"

#include <climits>
#include <cmath>

#include "framework/Time.h"

namespace {

constexpr double kMicrosecondsPerMs = 1000.0;
// An action that ends later than this many intervals after its due time
// restarts the schedule.
constexpr double kLateIntervals = 5.0;
constexpr int32_t kThreadPriority = 10;
constexpr double kThreadFirstWait = 15000.0;  // µs before the thread's first trigger
constexpr double kThreadWait = 1000.0;        // µs between triggers

}  // namespace

PeriodicTimer::PeriodicTimer() = default;
PeriodicTimer::~PeriodicTimer() = default;

std::string PeriodicTimer::VersionInfo() { return "2012-05-27,1"; }

void PeriodicTimer::Event_Action() { TimingTest(); }

void PeriodicTimer::TimerStart(int32_t skip) {
  if (ItsStatus != kStopped) return;
  ItsStatus = kChanging;
  PeriodicStart.Raise();
  ItsSuspendCounter = skip;
  LastTime = fw::Microseconds();
  ForceSyncFlag = false;
  ActionCounter = 0;
  if (ItsInterval < 1) ItsInterval = 1;
  if (ItsPeriod < 1) {
    ItsPeriod = 1;
  } else if (ItsInterval < ItsPeriod) {
    ItsPeriod = ItsInterval;
  }
  Period(LowLoadMode ? ItsInterval : ItsPeriod);
  if (!ItsThreadMode) {
    Mode(2);
    ItsStatus = kRunningOnTimer;
  } else {
    ItsPeriodicThread->StartThread();
    ItsStatus = kRunningOnThread;
  }
}

void PeriodicTimer::TimerStop() {
  if (ItsStatus != kRunningOnTimer && ItsStatus != kRunningOnThread) return;
  ItsStatus = kChanging;
  if (!ItsThreadMode) {
    Mode(0);
  } else {
    ItsPeriodicThread->StopThread();
  }
  ItsLoadRate = 0;
  ItsLoadStatus = false;
  PeriodicStop.Raise();
  ItsStatus = kStopped;
}

void PeriodicTimer::Setup(int32_t period, int32_t interval) {
  if (ItsStatus != kStopped) return;
  ItsPeriod = period;
  ItsInterval = interval;
}

void PeriodicTimer::SetLowLoadMode(bool on) {
  if (ItsStatus != kStopped) return;
  LowLoadMode = on;
}

void PeriodicTimer::TimerSync() {
  if (ItsStatus > kStopped) ForceSyncFlag = true;
}

void PeriodicTimer::ExternalTrigger() {
  if (ItsStatus == kRunningOnThread) TimingTest();
}

void PeriodicTimer::SetThreadMode(bool on) {
  if (ItsStatus != kStopped) return;
  if (on) {
    ItsThreadMode = true;
    ItsPeriodicThread = fw::New<PeriodicThread>();
    ItsPeriodicThread->Priority(kThreadPriority);
    ItsPeriodicThread->SetOwner(fw::SelfRef(this));
  } else {
    ItsThreadMode = false;
    ItsPeriodicThread = nullptr;
  }
}

int32_t PeriodicTimer::RefStatus() { return ItsStatus; }
bool PeriodicTimer::RefThreadMode() { return ItsThreadMode; }

void PeriodicTimer::ActionStep() {
  if (ItsSuspendCounter > 0) {
    --ItsSuspendCounter;
    return;
  }
  PeriodicAction.Raise(ItsLoadStatus ? -ItsLoadRate : ItsLoadRate);
}

// The time from the poll's start to the handler's end, in whole percent of
// the interval, never negative.
void PeriodicTimer::LoadStep(double pollStart, double after) {
  const double interval = ItsInterval < 1 ? 1.0 : static_cast<double>(ItsInterval);
  const double rate = std::floor(std::fmax(((after - pollStart) / 10.0) / interval, 0.0));
  ItsLoadRate = rate < static_cast<double>(INT32_MAX) ? static_cast<int32_t>(rate) : INT32_MAX;
}

void PeriodicTimer::TimingTest() {
  ForceSyncFlag = false;
  if (ActionCounter < INT32_MAX) ++ActionCounter;
  const double now = fw::Microseconds();

  if (LastTime < now) {
    const double due = LastTime + static_cast<double>(ItsInterval) * kMicrosecondsPerMs;
    if (!(due < now)) return;
    // The handler may drop the last reference to the clock.
    const std::shared_ptr<fw::Object> keepAlive = weak_from_this().lock();
    ActionStep();
    const double after = fw::Microseconds();
    LoadStep(now, after);
    if (after > due + static_cast<double>(ItsInterval) * kMicrosecondsPerMs * kLateIntervals) {
      ItsLoadStatus = true;
      ForceSyncFlag = true;
    } else {
      ItsLoadStatus = false;
    }
    LastTime = ForceSyncFlag ? after : due;
    ActionCounter = 0;
    return;
  }

  // The clock stood still or went back: count polls instead.
  if (!(static_cast<int64_t>(ItsInterval) < static_cast<int64_t>(Period()) * ActionCounter)) return;
  const std::shared_ptr<fw::Object> keepAlive = weak_from_this().lock();
  ActionStep();
  LoadStep(now, fw::Microseconds());
  LastTime = ForceSyncFlag ? fw::Microseconds() : now;
  ActionCounter = 0;
}

PeriodicThread::PeriodicThread() = default;
PeriodicThread::~PeriodicThread() = default;

std::string PeriodicThread::VersionInfo() { return "2012-05-25,1"; }

void PeriodicThread::SetOwner(const fw::Ref<PeriodicTimer>& owner) { ItsOwner = owner; }

void PeriodicThread::StopThread() { ItsEndFlag = true; }

void PeriodicThread::StartThread() {
  ItsEndFlag = false;
  Run();
}

void PeriodicThread::Event_Run() {
  if (ItsOwner.expired()) return;
  double t = fw::Microseconds();
  ItsLastTime = t;
  ItsNextTime = t + kThreadFirstWait;
  while (!ItsEndFlag && !ItsOwner.expired()) {
    t = fw::Microseconds();
    if (ItsNextTime < t || t < ItsLastTime) {
      // The clock is held only while it polls, never across a yield.
      if (const fw::Ref<PeriodicTimer> owner = ItsOwner.lock()) owner->ExternalTrigger();
      ItsLastTime = t;
      ItsNextTime = t + kThreadWait;
    }
    fw::YieldToNextThread();
  }
}

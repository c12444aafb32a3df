// A drift-free periodic clock on the framework's Timer. The timer only
// polls; each poll raises PeriodicAction when one interval has passed since
// the scheduled time of the last action, and the next action is scheduled
// from that time, not from the poll, so the average rate is exact. A backlog
// is worked off one action per poll; an action that ends more than five
// intervals late restarts the schedule from its end. In thread mode a
// PeriodicThread polls about once a millisecond instead of the timer.
// The game uses neither thread mode nor low-load mode; both are kept whole
// on purpose (docs/ARCHITECTURE.md).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "framework/Controls.h"
#include "framework/Object.h"
#include "framework/Thread.h"

class PeriodicThread;

class PeriodicTimer : public fw::Timer {
 public:
  // ItsStatus values.
  static constexpr int32_t kStopped = 0;
  static constexpr int32_t kRunningOnTimer = 1;
  static constexpr int32_t kRunningOnThread = 2;
  static constexpr int32_t kChanging = 9;  // inside TimerStart or TimerStop

  PeriodicTimer();
  ~PeriodicTimer() override;

  // Raised by TimerStart before the clock is set up.
  fw::Event<void()> PeriodicStart;
  // The load of the previous action in percent of the interval; negative
  // when that action ended more than five intervals late; 0 after a start.
  fw::Event<void(int32_t)> PeriodicAction;
  // Raised by TimerStop after the clock has stopped.
  fw::Event<void()> PeriodicStop;

  void Event_Action() override;
  // Starts a stopped clock; the first `skip` due actions raise nothing.
  virtual void TimerStart(int32_t skip);
  virtual void TimerStop();
  virtual std::string VersionInfo();
  // Poll period and action interval, in milliseconds; while stopped.
  virtual void Setup(int32_t period, int32_t interval);
  // Polls once per interval instead of every period; while stopped.
  virtual void SetLowLoadMode(bool on);
  // From a PeriodicAction handler: the next action is due one interval
  // after the handler returns, and any backlog is dropped.
  virtual void TimerSync();
  // One poll, in thread mode.
  virtual void ExternalTrigger();
  // Selects or leaves thread mode; while stopped.
  virtual void SetThreadMode(bool on);
  virtual int32_t RefStatus();
  virtual bool RefThreadMode();

 protected:
  // One poll.
  virtual void TimingTest();

  int32_t ItsInterval = 0;
  double LastTime = 0;
  int32_t ActionCounter = 0;
  int32_t ItsPeriod = 0;
  bool LowLoadMode = false;
  int32_t ItsLoadRate = 0;
  bool ItsLoadStatus = false;
  bool ForceSyncFlag = false;
  fw::Ref<PeriodicThread> ItsPeriodicThread;
  bool ItsThreadMode = false;
  int32_t ItsStatus = kStopped;
  int32_t ItsSuspendCounter = 0;

 private:
  void ActionStep();
  void LoadStep(double pollStart, double after);
};

// The poller of thread mode: triggers its clock about once a millisecond,
// yielding to the event loop after every pass. The clock holds its thread;
// the thread's link back to the clock is weak, so the pair does not keep
// itself alive: once the clock is gone the loop ends at its next pass.
class PeriodicThread : public fw::Thread {
 public:
  PeriodicThread();
  ~PeriodicThread() override;

  void Event_Run() override;
  virtual std::string VersionInfo();
  virtual void SetOwner(const fw::Ref<PeriodicTimer>& owner);
  // The run loop ends after its current pass.
  virtual void StopThread();
  // Runs the loop, or keeps a loop that was asked to end running: the
  // request to end is withdrawn first, so a start always wins over an
  // earlier stop and a stop before the run has begun is not lost.
  virtual void StartThread();

 protected:
  std::weak_ptr<PeriodicTimer> ItsOwner;
  double ItsLastTime = 0;
  double ItsNextTime = 0;
  bool ItsEndFlag = false;
};

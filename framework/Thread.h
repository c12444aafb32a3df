// Cooperative threads: each runs on the main thread, on a stack of its own,
// and gives way at every yield, so that only one piece of program code runs
// at a time and every platform call stays on the main thread.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/Object.h"

namespace fw {

class Thread : public Object {
 public:
  Thread();
  ~Thread() override;

  // 1..10 and higher: how often the thread is resumed relative to others.
  int32_t Priority() const { return priority_; }
  void Priority(int32_t p) { priority_ = p; }

  // Starts Event_Run on the thread's own stack, from the event loop; does
  // nothing while the thread runs already.
  void Run();
  bool IsRunning() const;

  // The thread's work; returning ends the thread.
  virtual void Event_Run() {}

  struct Impl;
  // Framework-internal.
  void* ImplPtr() const { return impl_.get(); }

 private:
  int32_t priority_ = 5;
  std::unique_ptr<Impl> impl_;
};

// Gives way: inside a thread, to the event loop and the other threads, and
// returns when the thread is resumed; outside any thread it does nothing.
void YieldToNextThread();

}  // namespace fw

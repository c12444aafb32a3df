// Cooperative threads as fibers on the main thread: each has a stack of its
// own and runs until it yields; a scheduler on the event loop resumes the
// running threads in turn, about once a millisecond.
#include "framework/Thread.h"

#include <QTimer>
#include <sys/mman.h>
#include <ucontext.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <vector>

#include "framework/Application.h"
#include "framework/RuntimePrivate.h"

#if defined(__SANITIZE_ADDRESS__)
#define FW_ASAN_FIBERS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FW_ASAN_FIBERS 1
#endif
#endif
#ifdef FW_ASAN_FIBERS
#include <sanitizer/common_interface_defs.h>
#endif

namespace fw {

namespace {
constexpr size_t kStackSize = 512 * 1024;
constexpr size_t kGuardSize = 4096;

// Asks a thread to end at its next yield, when the run time shuts down.
struct ThreadEnd {};
}  // namespace

struct Thread::Impl {
  Thread* owner = nullptr;
  ucontext_t context{};
  ucontext_t* back = nullptr;
  void* mapping = nullptr;
  bool running = false;
  bool finished = false;
  bool ending = false;
  std::exception_ptr error;
  // Sanitizer bookkeeping for the switches between stacks.
  void* fakeStack = nullptr;
  const void* callerBottom = nullptr;
  size_t callerSize = 0;

  char* StackBottom() const { return static_cast<char*>(mapping) + kGuardSize; }
};

namespace {

struct Scheduler {
  ucontext_t mainContext{};
  Thread::Impl* current = nullptr;
  std::vector<Ref<Thread>> running;
  QTimer* timer = nullptr;
};

Scheduler& Sched() {
  static Scheduler s;
  return s;
}

void SwitchToFiber(Thread::Impl* t) {
#ifdef FW_ASAN_FIBERS
  void* fake = nullptr;
  __sanitizer_start_switch_fiber(&fake, t->StackBottom(), kStackSize);
#endif
  Sched().current = t;
  swapcontext(&Sched().mainContext, &t->context);
  Sched().current = nullptr;
#ifdef FW_ASAN_FIBERS
  __sanitizer_finish_switch_fiber(fake, nullptr, nullptr);
#endif
}

void SwitchToMain(Thread::Impl* t, bool dying) {
#ifdef FW_ASAN_FIBERS
  __sanitizer_start_switch_fiber(dying ? nullptr : &t->fakeStack, t->callerBottom, t->callerSize);
#else
  (void)dying;
#endif
  swapcontext(&t->context, &Sched().mainContext);
#ifdef FW_ASAN_FIBERS
  __sanitizer_finish_switch_fiber(t->fakeStack, &t->callerBottom, &t->callerSize);
#endif
}

void Trampoline(uint32_t lo, uint32_t hi) {
  auto* t = reinterpret_cast<Thread::Impl*>((static_cast<uintptr_t>(hi) << 32) | lo);
#ifdef FW_ASAN_FIBERS
  __sanitizer_finish_switch_fiber(nullptr, &t->callerBottom, &t->callerSize);
#endif
  try {
    t->owner->Event_Run();
  } catch (const ThreadEnd&) {
  } catch (...) {
    t->error = std::current_exception();
  }
  t->finished = true;
  SwitchToMain(t, true);
}

void FreeStack(Thread::Impl* t) {
  if (t->mapping) munmap(t->mapping, kStackSize + kGuardSize);
  t->mapping = nullptr;
}

void ResumeAll();

void EnsureTimer() {
  Scheduler& s = Sched();
  if (!s.timer) {
    s.timer = new QTimer();
    s.timer->setTimerType(Qt::PreciseTimer);
    s.timer->setInterval(1);
    QObject::connect(s.timer, &QTimer::timeout, [] { ResumeAll(); });
  }
  if (!s.timer->isActive()) s.timer->start();
}

// Resumes one thread until it yields or ends; a thread that ended is
// removed, and its exception goes to the run time.
void Resume(const Ref<Thread>& th) {
  Thread::Impl* t = reinterpret_cast<Thread::Impl*>(th->ImplPtr());
  if (!t->running || t->finished) return;
  SwitchToFiber(t);
  if (t->finished) {
    t->running = false;
    FreeStack(t);
    auto& list = Sched().running;
    list.erase(std::remove(list.begin(), list.end(), th), list.end());
    if (t->error) {
      std::exception_ptr e = t->error;
      t->error = nullptr;
      CallProgram([e] { std::rethrow_exception(e); });
    }
  }
}

void ResumeAll() {
  Scheduler& s = Sched();
  // A nested event loop inside a thread must not resume threads itself.
  if (s.current != nullptr) return;
  // Higher priorities come first in each round.
  std::vector<Ref<Thread>> round = s.running;
  std::stable_sort(round.begin(), round.end(),
                   [](const Ref<Thread>& a, const Ref<Thread>& b) { return a->Priority() > b->Priority(); });
  for (const auto& th : round) Resume(th);
  if (s.running.empty() && s.timer) s.timer->stop();
}

}  // namespace

Thread::Thread() : impl_(std::make_unique<Impl>()) { impl_->owner = this; }

Thread::~Thread() { FreeStack(impl_.get()); }

bool Thread::IsRunning() const { return impl_->running; }

void Thread::Run() {
  Impl* t = impl_.get();
  if (t->running) return;
  void* m = mmap(nullptr, kStackSize + kGuardSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK,
                 -1, 0);
  if (m == MAP_FAILED) return;
  mprotect(m, kGuardSize, PROT_NONE);  // a stack overflow faults instead of corrupting
  t->mapping = m;
  t->finished = false;
  t->ending = false;
  t->error = nullptr;
  getcontext(&t->context);
  t->context.uc_stack.ss_sp = t->StackBottom();
  t->context.uc_stack.ss_size = kStackSize;
  t->context.uc_link = nullptr;
  const auto p = reinterpret_cast<uintptr_t>(t);
  makecontext(&t->context, reinterpret_cast<void (*)()>(Trampoline), 2, static_cast<uint32_t>(p & 0xFFFFFFFFu),
              static_cast<uint32_t>(p >> 32));
  t->running = true;
  Sched().running.push_back(SelfRef(this));
  EnsureTimer();
}

void YieldToNextThread() {
  Thread::Impl* t = Sched().current;
  if (t == nullptr) return;
  SwitchToMain(t, false);
  if (t->ending) throw ThreadEnd{};
}

// Each thread unwinds, so that nothing on its stack is left behind.
void ShutDownThreads() {
  Scheduler& s = Sched();
  while (!s.running.empty()) {
    Ref<Thread> th = s.running.front();
    auto* t = reinterpret_cast<Thread::Impl*>(th->ImplPtr());
    t->ending = true;
    Resume(th);
    if (!s.running.empty() && s.running.front() == th) s.running.erase(s.running.begin());
  }
  delete s.timer;
  s.timer = nullptr;
}

}  // namespace fw

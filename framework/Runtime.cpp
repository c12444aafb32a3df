// The run time: the platform application, the event filter that follows the
// pointer and catches menu shortcuts, the guarded entry into program code,
// quitting in order (also on SIGTERM, SIGINT and SIGHUP) and the exit status.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <typeinfo>
#include <unistd.h>

#include "framework/Application.h"
#include "framework/Window.h"
#include "framework/WidgetsPrivate.h"

namespace fw {

void ShutDownThreads();  // Thread.cpp

namespace {

struct RuntimeState {
  std::unique_ptr<QApplication> app;
  int argc = 0;
  QPointF lastGlobalMouse;
  bool buttonsDown = false;
  int exitStatus = 0;
  bool quitting = false;
  bool loopRunning = false;
  bool quitRequested = false;
  int waitCursorDisabled = 0;
  bool waitCursorShown = false;
  int signalPipe[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> signalNotifier;
};

RuntimeState& State() {
  static RuntimeState s;
  return s;
}

// Follows the pointer and the buttons for every window, and turns Ctrl key
// presses into menu commands before any widget sees them.
class FrameworkFilter : public QObject {
 public:
  bool eventFilter(QObject* obj, QEvent* e) override {
    switch (e->type()) {
      case QEvent::MouseMove:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(e);
        State().lastGlobalMouse = me->globalPosition();
        State().buttonsDown = me->buttons() != Qt::NoButton;
        break;
      }
      case QEvent::Enter: {
        auto* ee = static_cast<QEnterEvent*>(e);
        State().lastGlobalMouse = ee->globalPosition();
        break;
      }
      case QEvent::KeyPress: {
        if (!obj->isWidgetType()) break;
        auto* ke = static_cast<QKeyEvent*>(e);
        if (runtime::HandleShortcut(ke->key(), static_cast<int>(ke->modifiers()))) return true;
        break;
      }
      default:
        break;
    }
    return QObject::eventFilter(obj, e);
  }
};

void OnSignal(int) {
  const char byte = 1;
  if (State().signalPipe[1] >= 0) {
    [[maybe_unused]] ssize_t n = write(State().signalPipe[1], &byte, 1);
  }
}

// SIGTERM, SIGINT and SIGHUP (a desktop logout) quit through the usual
// orderly path, from the event loop.
void InstallSignalHandlers() {
  RuntimeState& s = State();
  if (s.signalPipe[0] >= 0) return;
  if (pipe2(s.signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  s.signalNotifier = std::make_unique<QSocketNotifier>(s.signalPipe[0], QSocketNotifier::Read);
  QObject::connect(s.signalNotifier.get(), &QSocketNotifier::activated, [] {
    char buf[16];
    while (read(State().signalPipe[0], buf, sizeof buf) > 0) {
    }
    CallProgram([] {
      if (Ref<Application> app = GetAppObject())
        app->Quit();
      else
        QCoreApplication::exit(State().exitStatus);
    });
  });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
}

void EndEventLoop() {
  State().quitRequested = true;
  if (State().loopRunning) QCoreApplication::exit(State().exitStatus);
}

void ShowWaitCursor() {
  RuntimeState& s = State();
  if (s.waitCursorShown || s.waitCursorDisabled > 0 || !s.app) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  s.waitCursorShown = true;
}

void HideWaitCursor() {
  RuntimeState& s = State();
  if (!s.waitCursorShown) return;
  QApplication::restoreOverrideCursor();
  s.waitCursorShown = false;
}

}  // namespace

namespace runtime {
QPointF LastGlobalMouse() { return State().lastGlobalMouse; }
bool ButtonsDown() { return State().buttonsDown; }
}  // namespace runtime

bool System::MouseDown() { return State().buttonsDown; }

void RuntimeInit(int argc, char** argv) {
  RuntimeState& s = State();
  if (s.app) return;
  s.argc = argc;
  s.app = std::make_unique<QApplication>(s.argc, argv);
  s.app->setQuitOnLastWindowClosed(false);
  static FrameworkFilter filter;
  s.app->installEventFilter(&filter);
  s.exitStatus = 0;
}

void RunFrameworkInitialization(const std::function<void()>& startup) {
  ShowWaitCursor();
  if (startup) startup();
}

namespace runtime {
void OpenApplication() {
  RuntimeState& s = State();
  if (Ref<Application> app = GetAppObject()) {
    app->OpenOnce();
    // Windows made during start-up open now, in the order they were made.
    std::vector<Ref<Window>> pending;
    for (int32_t i = WindowCount() - 1; i >= 0; --i) pending.push_back(WindowAt(i));
    for (const auto& w : pending) w->OpenControlsAndWindow();
    if (app->AutoQuit() && WindowCount() == 0 && !s.quitting) app->Quit();
  }
  HideWaitCursor();
}
}  // namespace runtime

void RuntimeRun() {
  RuntimeState& s = State();
  InstallSignalHandlers();
  runtime::OpenApplication();
  if (s.quitRequested) return;
  s.loopRunning = true;
  QApplication::exec();
  s.loopRunning = false;
}

int RuntimeExit() {
  RuntimeState& s = State();
  // The application object goes last, and is no longer told of windows
  // that close now.
  Ref<Application> app = GetAppObject();
  RuntimeRegisterAppObject(nullptr);
  runtime::ReleaseClosedWindows();
  // Whatever is still open goes before the platform does.
  while (WindowCount() > 0) runtime::CloseWindow(WindowAt(0));
  runtime::ReleaseClosedWindows();
  ShutDownThreads();
  app = nullptr;
  s.signalNotifier.reset();
  if (s.app) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget* w : QApplication::topLevelWidgets()) delete w;
    s.app.reset();
  }
  const int status = s.exitStatus;
  s.exitStatus = 0;
  s.quitting = false;
  s.quitRequested = false;
  return status;
}

void RuntimeUnhandledException(std::exception_ptr e) {
  State().exitStatus = 1;
  try {
    std::rethrow_exception(e);
  } catch (const RuntimeException& ex) {
    std::fprintf(stderr, "Pandrisk: unhandled %s: %s\n", ex.Name(), ex.what());
  } catch (const std::exception& ex) {
    std::fprintf(stderr, "Pandrisk: unhandled %s: %s\n", typeid(ex).name(), ex.what());
  } catch (...) {
    std::fprintf(stderr, "Pandrisk: unhandled exception of unknown class\n");
  }
  std::fflush(stderr);
}

void CallProgram(const std::function<void()>& code) {
  try {
    const auto& helper = runtime::ExceptionHelper();
    std::exception_ptr raised = helper ? helper(code) : (code(), nullptr);
    if (raised) std::rethrow_exception(raised);
  } catch (...) {
    RuntimeUnhandledException(std::current_exception());
    // End the run through the usual shut-down; a second fault on the way
    // out ends the event loop directly.
    if (!State().quitting) {
      try {
        if (Ref<Application> app = GetAppObject()) app->Quit();
      } catch (...) {
        RuntimeUnhandledException(std::current_exception());
      }
    }
    EndEventLoop();
  }
}

void DisableAutoWaitCursor() {
  ++State().waitCursorDisabled;
  HideWaitCursor();
}

void EnableAutoWaitCursor() {
  if (State().waitCursorDisabled > 0) --State().waitCursorDisabled;
}

void Application::Quit() {
  RuntimeState& s = State();
  if (s.quitting) return;
  s.quitting = true;
  // Held while the windows' handlers run, which may release the application.
  Ref<Application> self = SelfRef(this);
  // Every window is told the application quits; one may still refuse.
  std::vector<Ref<Window>> windows;
  for (int32_t i = 0; i < WindowCount(); ++i) windows.push_back(WindowAt(i));
  for (const auto& w : windows) {
    if (w->IsOpen() && w->Event_CancelClose(true)) {
      s.quitting = false;
      return;
    }
  }
  for (const auto& w : windows) runtime::CloseWindow(w);
  Event_Close();
  EndEventLoop();
}

}  // namespace fw

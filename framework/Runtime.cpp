// The run time: the platform application, the event filter that follows the
// pointer and catches menu shortcuts, the guarded entry into program code,
// quitting in order (also on SIGTERM, SIGINT and SIGHUP, and when another
// program destroys a window), the end of the run on a lost display, and the
// exit status.
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cerrno>  // program_invocation_short_name
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <typeinfo>
#include <unistd.h>

#include "framework/Application.h"
#include "framework/RuntimePrivate.h"
#include "framework/Window.h"
#include "framework/WidgetsPrivate.h"

namespace fw {

namespace {

// Nothing here is destroyed by a static destructor: a library may end the
// process with exit() from inside the event loop, and the platform's objects
// must not be taken down under it. RuntimeExit releases them in order.
struct RuntimeState {
  QApplication* app = nullptr;
  QTranslator* qtTexts = nullptr;
  int argc = 0;
  QPointF lastGlobalMouse;
  bool buttonsDown = false;
  int exitStatus = 0;
  bool quitting = false;
  bool loopRunning = false;
  bool quitRequested = false;
  int waitCursorDisabled = 0;
  bool waitCursorShown = false;
  bool closeRaised = false;
  int signalPipe[2] = {-1, -1};
  QSocketNotifier* signalNotifier = nullptr;
  QAbstractNativeEventFilter* windowFilter = nullptr;
  QtMessageHandler platformMessages = nullptr;
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
      default: break;
    }
    return QObject::eventFilter(obj, e);
  }
};

// The program's name as it was started, for the lines on standard error.
std::string ProgramName() {
  if (program_invocation_short_name != nullptr && program_invocation_short_name[0] != '\0')
    return program_invocation_short_name;
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "program";
  path[n] = '\0';
  const char* slash = std::strrchr(path, '/');
  return slash != nullptr ? slash + 1 : path;
}

// True when the command line names the platform: the platform then decides
// for itself what it needs.
bool PlatformGivenByArguments(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (argv[i] != nullptr && (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0))
      return true;
  return false;
}

// Why the application could open no display, or empty when it can or when
// the chosen platform needs none. An X display is tried; a Wayland one is
// left to the platform.
std::string MissingDisplay() {
  const char* chosen = std::getenv("QT_QPA_PLATFORM");
  std::string platform = chosen != nullptr ? chosen : "";
  platform = platform.substr(0, platform.find(';'));
  if (!platform.empty() && platform != "xcb") return {};
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const bool haveWayland = wayland != nullptr && wayland[0] != '\0';
  if (haveWayland && platform.empty()) return {};
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == '\0')
    return haveWayland ? "DISPLAY is not set" : "neither DISPLAY nor WAYLAND_DISPLAY is set";
  xcb_connection_t* connection = xcb_connect(display, nullptr);
  const bool ok = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  if (!ok) return std::string("no X server answers at DISPLAY=") + display;
  return {};
}

bool OnMainThread() {
  return QCoreApplication::instance() != nullptr &&
         QThread::currentThread() == QCoreApplication::instance()->thread();
}

// True once the connection to the X server has failed for good.
bool DisplayConnectionBroken() {
  if (qGuiApp == nullptr) return false;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr && x11->connection() != nullptr && xcb_connection_has_error(x11->connection()) != 0;
}

// The display has gone (its server died, the session ended, or the server
// dropped this client): no window can close in order any more, so only the
// application's Close event runs, and the process ends with status 1.
void EndOnLostDisplay() {
  static bool ending = false;
  if (ending) return;
  ending = true;
  RuntimeState& s = State();
  s.quitting = true;
  Ref<Application> app = GetAppObject();
  if (app && app->IsOpened() && !s.closeRaised) {
    s.closeRaised = true;
    CallProgram([&] { app->Event_Close(); });
  }
  std::fprintf(stderr, "%s: lost the connection to the display\n", ProgramName().c_str());
  std::fflush(nullptr);
  std::_Exit(1);
}

// The platform reports a broken display connection with a warning and then
// ends the process with exit(), from inside the event loop; the run ends
// here instead, while everything is still in place.
void OnPlatformMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtWarningMsg && OnMainThread() && DisplayConnectionBroken()) EndOnLostDisplay();
  if (State().platformMessages != nullptr) State().platformMessages(type, context, text);
}

// A window destroyed by another program (a window tool, a session manager)
// is treated as a click in its close box.
class WindowDestroyedFilter : public QAbstractNativeEventFilter {
 public:
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_DESTROY_NOTIFY) return false;
    const xcb_window_t gone = reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (dynamic_cast<TopWidget*>(w) == nullptr || static_cast<xcb_window_t>(w->internalWinId()) != gone)
        continue;
      // After the platform has finished with the event; not at all once the
      // widget has gone.
      QTimer::singleShot(0, w, [w] { w->close(); });
    }
    return false;
  }
};

void OnSignal(int) {
  const char byte = 1;
  if (State().signalPipe[1] >= 0) {
    [[maybe_unused]] ssize_t n = write(State().signalPipe[1], &byte, 1);
  }
}

// SIGTERM, SIGINT and SIGHUP (a desktop logout) quit through the usual
// orderly path, from the event loop. They are caught from the start of the
// run time, before the platform is up: one that comes during start-up waits
// in the pipe and is answered once the loop runs.
void CatchSignals() {
  RuntimeState& s = State();
  if (s.signalPipe[0] >= 0) return;
  if (pipe2(s.signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
}

void InstallSignalHandlers() {
  RuntimeState& s = State();
  CatchSignals();
  if (s.signalNotifier != nullptr || s.signalPipe[0] < 0) return;
  s.signalNotifier = new QSocketNotifier(s.signalPipe[0], QSocketNotifier::Read);
  QObject::connect(s.signalNotifier, &QSocketNotifier::activated, [] {
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
  CatchSignals();
  if (!PlatformGivenByArguments(argc, argv)) {
    const std::string missing = MissingDisplay();
    if (!missing.empty()) {
      std::fprintf(stderr, "%s: cannot open a display: %s; set DISPLAY or WAYLAND_DISPLAY\n",
                   ProgramName().c_str(), missing.c_str());
      std::exit(1);
    }
  }
  s.argc = argc;
  s.app = new QApplication(s.argc, argv);
  s.app->setQuitOnLastWindowClosed(false);
  static FrameworkFilter filter;
  s.app->installEventFilter(&filter);
  s.windowFilter = new WindowDestroyedFilter;
  s.app->installNativeEventFilter(s.windowFilter);
  s.platformMessages = qInstallMessageHandler(OnPlatformMessage);
  InstallSignalHandlers();
  // The platform's own texts (the text controls' context menus) in the
  // user's language, where the platform has a translation for it.
  s.qtTexts = new QTranslator;
  if (s.qtTexts->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    s.app->installTranslator(s.qtTexts);
  s.exitStatus = 0;
}

void RunFrameworkInitialization(const std::function<void()>& startup) {
  ShowWaitCursor();
  if (startup) startup();
}

namespace runtime {
void SetExitStatus(int status) { State().exitStatus = status; }

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
  delete s.signalNotifier;
  s.signalNotifier = nullptr;
  const int status = s.exitStatus;
  if (s.app) {
    // A sound thread that did not end in time is left behind with what it
    // runs on: everything of the program is released by now, and the
    // process ends here.
    if (!ShutDownSound()) {
      std::fflush(nullptr);
      std::_Exit(status);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget* w : QApplication::topLevelWidgets()) delete w;
    qInstallMessageHandler(s.platformMessages);
    s.platformMessages = nullptr;
    s.app->removeNativeEventFilter(s.windowFilter);
    delete s.windowFilter;
    s.windowFilter = nullptr;
    delete s.app;
    s.app = nullptr;
    delete s.qtTexts;
    s.qtTexts = nullptr;
  }
  s.exitStatus = 0;
  s.quitting = false;
  s.quitRequested = false;
  s.closeRaised = false;
  return status;
}

void RuntimeUnhandledException(std::exception_ptr e) {
  State().exitStatus = 1;
  try {
    std::rethrow_exception(e);
  } catch (const RuntimeException& ex) {
    std::fprintf(stderr, "%s: unhandled %s: %s\n", ProgramName().c_str(), ex.Name(), ex.what());
  } catch (const std::exception& ex) {
    std::fprintf(stderr, "%s: unhandled %s: %s\n", ProgramName().c_str(), typeid(ex).name(), ex.what());
  } catch (...) {
    std::fprintf(stderr, "%s: unhandled exception of unknown class\n", ProgramName().c_str());
  }
  std::fflush(stderr);
}

namespace {
int g_programDepth = 0;
}  // namespace

bool runtime::InProgramCode() { return g_programDepth > 0; }

void CallProgram(const std::function<void()>& code) {
  struct Depth {
    Depth() { ++g_programDepth; }
    ~Depth() {
      if (--g_programDepth == 0) runtime::FlushDeferredUpdates();
    }
  } depth;
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
  s.closeRaised = true;
  Event_Close();
  EndEventLoop();
}

}  // namespace fw

// The run time: the choice of the platform and the bounded check of its
// display, the platform application, the event filter that follows the
// pointer and catches menu shortcuts, the guarded entry into program code,
// quitting in order (also on SIGTERM, SIGINT and SIGHUP, and when another
// program destroys a window), the end of the run on a lost display, and the
// exit status.
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPluginLoader>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <atomic>
#include <cerrno>  // program_invocation_short_name
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <typeinfo>
#include <unistd.h>
#include <vector>

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

// How long the start waits for a display to answer: long enough for a slow
// remote one, short enough that a server that accepts and never answers (a
// hung server, a stale forwarded socket) ends the start soon.
constexpr auto kDisplayAnswerTime = std::chrono::seconds(5);

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + 1)
    parts.push_back(text.substr(from, at - from));
  parts.push_back(text.substr(from));
  return parts;
}

// Whether an X server answers at `display` within the bound. The connection
// is made on a thread of its own, which a server that never answers holds
// for good; the start then goes on without it.
bool XServerAnswers(const std::string& display) {
  struct Probe {
    std::mutex m;
    std::condition_variable done;
    std::optional<bool> answered;
  };
  auto probe = std::make_shared<Probe>();
  std::thread([probe, display] {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool ok = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    std::lock_guard<std::mutex> lock(probe->m);
    probe->answered = ok;
    probe->done.notify_all();
  }).detach();
  std::unique_lock<std::mutex> lock(probe->m);
  probe->done.wait_for(lock, kDisplayAnswerTime, [&] { return probe->answered.has_value(); });
  return probe->answered.value_or(false);
}

// Whether a Wayland compositor answers on the socket `name` (as
// WAYLAND_DISPLAY gives it) within the bound: one round trip of the
// protocol's sync request.
bool WaylandCompositorAnswers(const std::string& name) {
  // A compositor that started the program handed it a connected socket.
  if (!Env("WAYLAND_SOCKET").empty()) return true;
  std::string path = name;
  if (path.empty() || path[0] != '/') {
    const std::string runtimeDir = Env("XDG_RUNTIME_DIR");
    if (runtimeDir.empty()) return false;
    path = runtimeDir + "/" + path;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  bool answered = false;
  // wl_display (object 1), request 0 (sync), 12 bytes, new callback object 2.
  const uint32_t sync[3] = {1, 12u << 16, 2};
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      send(fd, sync, sizeof sync, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof sync)) {
    const auto until = std::chrono::steady_clock::now() + kDisplayAnswerTime;
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
      pollfd p{fd, POLLIN, 0};
      const int ready = left > 0 ? poll(&p, 1, static_cast<int>(left)) : 0;
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) break;
      char reply[64];
      answered = recv(fd, reply, sizeof reply, 0) > 0;
      break;
    }
  }
  close(fd);
  return answered;
}

// Whether a platform plugin of that name is installed where the platform
// looks for one. Only the plugins' descriptions are read; none is loaded.
bool PlatformPluginInstalled(const std::string& name) {
  std::vector<std::string> folders;
  if (!Env("QT_QPA_PLATFORM_PLUGIN_PATH").empty()) folders.push_back(Env("QT_QPA_PLATFORM_PLUGIN_PATH"));
  for (const std::string& folder : Split(Env("QT_PLUGIN_PATH"), ':'))
    if (!folder.empty()) folders.push_back(folder + "/platforms");
  folders.push_back(QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms");
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n > 0) {
    const std::string self(exe, static_cast<size_t>(n));
    folders.push_back(self.substr(0, self.rfind('/')) + "/platforms");
  }
  const QString wanted = QString::fromStdString(name);
  for (const std::string& folder : folders) {
    const QDir dir(QString::fromStdString(folder));
    for (const QString& file : dir.entryList(QDir::Files)) {
      const QJsonObject meta = QPluginLoader(dir.filePath(file)).metaData().value("MetaData").toObject();
      for (const auto& key : meta.value("Keys").toArray())
        if (key.toString().compare(wanted, Qt::CaseInsensitive) == 0) return true;
    }
  }
  return false;
}

// The platform to start, chosen before the platform is asked, from what is
// installed and answers: the first of those QT_QPA_PLATFORM names that can
// be used, then, in the platform's own order, Wayland where the session is
// one and X where DISPLAY is set. A platform that needs no display of its
// own (offscreen, minimal, ...) is taken as it is named.
struct PlatformChoice {
  std::string platform;
  std::string missing;  // why there is none: no display can be opened
};

PlatformChoice ChoosePlatform() {
  const std::string display = Env("DISPLAY");
  const std::string wayland = Env("WAYLAND_DISPLAY");
  std::optional<bool> xAnswers;
  bool waylandTried = false, waylandPlugin = true;
  auto xUsable = [&] {
    if (!xAnswers) xAnswers = !display.empty() && XServerAnswers(display);
    return *xAnswers;
  };
  auto waylandUsable = [&](const std::string& plugin) {
    waylandTried = true;
    if (!PlatformPluginInstalled(plugin)) {
      waylandPlugin = false;
      return false;
    }
    waylandPlugin = true;
    return WaylandCompositorAnswers(wayland.empty() ? "wayland-0" : wayland);
  };

  const std::string requested = Env("QT_QPA_PLATFORM");
  const std::vector<std::string> entries = Split(requested, ';');
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string name = entries[i].substr(0, entries[i].find(':'));
    if (name.empty()) continue;
    if (name == "xcb") {
      if (xUsable()) return {entries[i], {}};
    } else if (name.rfind("wayland", 0) == 0) {
      if (waylandUsable(name)) return {entries[i], {}};
    } else {
      std::string rest = entries[i];
      for (size_t j = i + 1; j < entries.size(); ++j) rest += ";" + entries[j];
      return {rest, {}};
    }
  }
  const bool waylandSession = !wayland.empty() || Env("XDG_SESSION_TYPE") == "wayland";
  if (waylandSession && waylandUsable("wayland")) return {display.empty() ? "wayland" : "wayland;xcb", {}};
  if (xUsable()) return {"xcb", {}};

  if (!waylandTried && display.empty()) return {{}, "neither DISPLAY nor WAYLAND_DISPLAY is set"};
  std::string missing = display.empty() ? std::string("DISPLAY is not set")
                                        : "no X server answers at DISPLAY=" + display;
  if (waylandTried)
    missing += waylandPlugin ? " and no Wayland compositor answers at WAYLAND_DISPLAY=" +
                                   (wayland.empty() ? std::string("wayland-0") : wayland)
                             : std::string(" and Qt's wayland platform plugin is not installed");
  return {{}, missing};
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

// Qt drops a warning of a category that its logging rules switch off
// (QT_LOGGING_RULES, qtlogging.ini) before any message handler sees it, and
// the platform's word on a broken display connection is a warning of the
// default category. That category's warnings are kept on for the handler
// below, which passes on only those the rules let through.
std::atomic<bool> g_defaultWarningsShown{true};
QLoggingCategory::CategoryFilter g_rulesFilter = nullptr;

bool IsDefaultCategory(const char* name) { return name != nullptr && std::strcmp(name, "default") == 0; }

void KeepDefaultWarnings(QLoggingCategory* category) {
  if (g_rulesFilter != nullptr) g_rulesFilter(category);
  if (!IsDefaultCategory(category->categoryName())) return;
  g_defaultWarningsShown = category->isWarningEnabled();
  category->setEnabled(QtWarningMsg, true);
}

void KeepPlatformWarnings() {
  // The filter in place (the rules') is taken out first, so that the new
  // one, applied at once to every category, already passes through it.
  g_rulesFilter = QLoggingCategory::installFilter(nullptr);
  QLoggingCategory::installFilter(KeepDefaultWarnings);
}

void RestoreLoggingRules() {
  if (g_rulesFilter == nullptr) return;
  QLoggingCategory::installFilter(g_rulesFilter);
  g_rulesFilter = nullptr;
}

// The platform reports a broken display connection with a warning and then
// ends the process with exit(), from inside the event loop; the run ends
// here instead, while everything is still in place.
void OnPlatformMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtWarningMsg && OnMainThread() && DisplayConnectionBroken()) EndOnLostDisplay();
  if (type == QtWarningMsg && IsDefaultCategory(context.category) && !g_defaultWarningsShown) return;
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

constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Until the event loop runs nothing of the player's exists to save: a quit
// signal then ends the process at once by its default action, also where
// the parent left it ignored or blocked, and also while the start waits
// for a display.
void EndAtOnceOnQuitSignals() {
  struct sigaction sa {};
  sa.sa_handler = SIG_DFL;
  sigemptyset(&sa.sa_mask);
  sigset_t quit;
  sigemptyset(&quit);
  for (int sig : kQuitSignals) {
    sigaction(sig, &sa, nullptr);
    sigaddset(&quit, sig);
  }
  pthread_sigmask(SIG_UNBLOCK, &quit, nullptr);
}

// Once the event loop runs, SIGTERM, SIGINT and SIGHUP (a desktop logout)
// quit through the usual orderly path, from the loop.
void QuitInOrderOnQuitSignals() {
  RuntimeState& s = State();
  if (s.signalPipe[0] < 0 && pipe2(s.signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  if (s.signalNotifier == nullptr) {
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
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : kQuitSignals) sigaction(sig, &sa, nullptr);
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
  EndAtOnceOnQuitSignals();
  std::string platform;
  if (!PlatformGivenByArguments(argc, argv)) {
    const PlatformChoice choice = ChoosePlatform();
    if (!choice.missing.empty()) {
      std::fprintf(stderr, "%s: cannot open a display: %s; set DISPLAY or WAYLAND_DISPLAY\n",
                   ProgramName().c_str(), choice.missing.c_str());
      std::exit(1);
    }
    platform = choice.platform;
  }
  s.argc = argc;
  // The platform chosen is named to the platform for its start only; the
  // environment is then as the program found it.
  const char* given = std::getenv("QT_QPA_PLATFORM");
  const std::optional<std::string> requested = given != nullptr ? std::optional<std::string>(given) : std::nullopt;
  const bool rename = !platform.empty() && platform != requested.value_or("");
  if (rename) setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
  s.app = new QApplication(s.argc, argv);
  if (rename) {
    if (requested)
      setenv("QT_QPA_PLATFORM", requested->c_str(), 1);
    else
      unsetenv("QT_QPA_PLATFORM");
  }
  s.app->setQuitOnLastWindowClosed(false);
  static FrameworkFilter filter;
  s.app->installEventFilter(&filter);
  s.windowFilter = new WindowDestroyedFilter;
  s.app->installNativeEventFilter(s.windowFilter);
  s.platformMessages = qInstallMessageHandler(OnPlatformMessage);
  KeepPlatformWarnings();
  // The platform's own texts (the text controls' context menus) in the
  // user's language, where the platform has a translation for it.
  s.qtTexts = new QTranslator;
  if (s.qtTexts->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    s.app->installTranslator(s.qtTexts);
  // A right-to-left translation would mirror the whole layout; the order of
  // menus, tabs and scroll bars is the interface's own, in every language.
  // Set explicitly, the direction stays through later language changes.
  s.app->setLayoutDirection(Qt::LeftToRight);
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
  runtime::OpenApplication();
  if (s.quitRequested) return;
  QuitInOrderOnQuitSignals();
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
    RestoreLoggingRules();
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

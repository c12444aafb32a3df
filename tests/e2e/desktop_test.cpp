// What a desktop may do to the running game: take its display away, start
// it without one, destroy its windows from another program, install it
// under a folder name that is not UTF-8, or give it a sound server that
// never answers. The game must neither crash nor hang.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/Screen.h"
#include "tests/support/SoundServer.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kSolved = "0 1 2 / 3 4 5 / 6 7 8";

#define START_GAME(name, ...)                                            \
  e2e::GameScreen name{__VA_ARGS__};                                     \
  if (!name.display().Ok()) GTEST_SKIP() << "no virtual display (Xvfb)"; \
  ASSERT_TRUE(name.Ok()) << name.process().Log()

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

// A server that takes every connection on a unix socket and never answers
// on it (a sound server, an X server). A path that begins with '\0' lies in
// the abstract namespace.
class SilentServer {
 public:
  explicit SilentServer(const std::string& socketPath) : path_(socketPath) {
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const size_t length = std::min(path_.size(), sizeof addr.sun_path - 1);
    std::memcpy(addr.sun_path, path_.data(), length);
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
    ok_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), size) == 0 && listen(fd_, 16) == 0;
    if (!ok_) return;
    thread_ = std::thread([this] {
      while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const int client = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        clients_.push_back(client);
        ++accepted_;
      }
    });
  }
  ~SilentServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    for (int c : clients_) close(c);
    if (fd_ >= 0) close(fd_);
  }
  bool Ok() const { return ok_; }
  std::string Address() const { return "unix:" + path_; }
  int Accepted() const { return accepted_; }

 private:
  std::string path_;
  int fd_ = -1;
  bool ok_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::vector<int> clients_;
  std::thread thread_;
};

// An X display whose server takes the connection and never answers, as a
// hung server or a stale forwarded socket does: a silent server on the
// display's abstract socket, which the client library tries first, under a
// number that a lock file keeps from every other X server.
class SilentDisplay {
 public:
  SilentDisplay() {
    for (int n = 200; n < 1000 && !server_; ++n) {
      const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
      const int fd = open(lock.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0444);
      if (fd < 0) continue;
      char pid[16];
      const int length = std::snprintf(pid, sizeof pid, "%10d\n", static_cast<int>(getpid()));
      const bool written = write(fd, pid, static_cast<size_t>(length)) == length;
      close(fd);
      auto server = std::make_unique<SilentServer>(std::string(1, '\0') + "/tmp/.X11-unix/X" + std::to_string(n));
      if (!written || !server->Ok()) {
        unlink(lock.c_str());
        continue;
      }
      lock_ = lock;
      name_ = ":" + std::to_string(n);
      server_ = std::move(server);
    }
  }
  ~SilentDisplay() {
    server_.reset();
    if (!lock_.empty()) unlink(lock_.c_str());
  }
  bool Ok() const { return server_ != nullptr; }
  const std::string& Name() const { return name_; }
  int Accepted() const { return server_ ? server_->Accepted() : 0; }

 private:
  std::string lock_, name_;
  std::unique_ptr<SilentServer> server_;
};

// The game with that display and nothing else of a desktop.
std::unique_ptr<e2e::GameRun> StartOn(const testsupport::TempDir& home, const std::string& display) {
  return std::make_unique<e2e::GameRun>(
      home.File("config"),
      std::map<std::string, std::string>{
          {"QT_QPA_PLATFORM", ""}, {"DISPLAY", display}, {"WAYLAND_DISPLAY", ""}, {"TMPDIR", home.path()}});
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

// The X server dies under the running game, or drops the game's connection
// (as a window tool's kill does): the settings chosen are saved, and the
// game ends at once with one line that says why and a failing status, not
// with a crash. So it is with Qt's logging switched off, in the environment
// or in a qtlogging.ini, which silences the platform's own warning about it.
struct LostDisplayCase {
  const char* name;
  bool serverDies;    // or the server drops the game
  const char* rules;  // QT_LOGGING_RULES
  const char* ini;    // a qtlogging.ini
};

void PrintTo(const LostDisplayCase& c, std::ostream* os) { *os << c.name; }

class LostDisplay : public ::testing::TestWithParam<LostDisplayCase> {};

TEST_P(LostDisplay, SavesTheSettingsAndEndsWithOneLineAndStatusOne) {
  const LostDisplayCase& c = GetParam();
  testsupport::TempDir config;  // a system-wide configuration folder
  std::map<std::string, std::string> env{{"QT_LOGGING_RULES", c.rules}};
  if (c.ini[0] != '\0') {
    fs::create_directories(config.File("QtProject"));
    testsupport::WriteFile(config.File("QtProject/qtlogging.ini"), c.ini);
    env["XDG_CONFIG_DIRS"] = config.path();
  }
  START_GAME(g, env);
  g.Key("ctrl+2");  // the flower: the record changes in memory
  ASSERT_TRUE(g.WaitForBoard(kSolved, 2));
  if (c.serverDies)
    g.display().KillServer();
  else
    g.display().Xdotool("windowkill " + g.Window());
  const int status = g.process().Wait(10000);
  const std::string log = g.process().Log();
  EXPECT_EQ(status, 1) << log;  // neither still running (-1) nor ended by a signal (128 + n)
  EXPECT_EQ(Count(log, "pandrisk: lost the connection to the display\n"), 1u) << log;
  EXPECT_EQ(testsupport::ReadFile(g.PrefsFile()), "0012");
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, LostDisplay,
    ::testing::Values(LostDisplayCase{"ServerDies", true, "", ""}, LostDisplayCase{"ClientKilled", false, "", ""},
                      LostDisplayCase{"ServerDiesAllLoggingOff", true, "*=false", ""},
                      LostDisplayCase{"ClientKilledAllLoggingOff", false, "*=false", ""},
                      LostDisplayCase{"ServerDiesWarningsOff", true, "default.warning=false", ""},
                      LostDisplayCase{"ClientKilledWarningsOff", false, "default.warning=false", ""},
                      LostDisplayCase{"ServerDiesLoggingOffInIni", true, "", "[Rules]\n*=false\n"},
                      LostDisplayCase{"ClientKilledLoggingOffInIni", false, "", "[Rules]\n*=false\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Started with no display to be had: one line that says what is missing,
// status 1, and no settings written.
TEST(Desktop, WithoutADisplayTheGameSaysWhatIsMissingAndEndsWithStatusOne) {
  const struct {
    std::string display;
    std::string line;
  } cases[] = {
      {"",
       "pandrisk: cannot open a display: neither DISPLAY nor WAYLAND_DISPLAY is set; set DISPLAY or WAYLAND_DISPLAY\n"},
      {":9999",
       "pandrisk: cannot open a display: no X server answers at DISPLAY=:9999; set DISPLAY or WAYLAND_DISPLAY\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("DISPLAY=" + c.display);
    testsupport::TempDir home;
    auto run = StartOn(home, c.display);
    EXPECT_EQ(run->process->Wait(10000), 1);
    EXPECT_EQ(run->process->Log(), c.line);
    EXPECT_FALSE(fs::exists(home.File("config/Pandriskの設定")));
  }
}

// A display whose server takes the connection and never answers: the start
// waits for it a few seconds, long enough for a slow remote display, then
// ends as without a display, naming the one that does not answer.
TEST(Desktop, ADisplayThatNeverAnswersEndsTheStartWithOneLineAndStatusOne) {
  SilentDisplay x;
  ASSERT_TRUE(x.Ok());
  testsupport::TempDir home;
  const auto start = std::chrono::steady_clock::now();
  auto run = StartOn(home, x.Name());
  ASSERT_TRUE(testsupport::WaitFor([&] { return x.Accepted() > 0; }, 30000)) << run->process->Log();
  const int status = run->process->Wait(60000);
  const double seconds = SecondsSince(start);
  std::printf("figures: the start gave up on a display that never answers after %.2f s\n", seconds);
  EXPECT_EQ(status, 1) << run->process->Log();  // not still running (-1)
  EXPECT_EQ(run->process->Log(), "pandrisk: cannot open a display: no X server answers at DISPLAY=" + x.Name() +
                                     "; set DISPLAY or WAYLAND_DISPLAY\n");
  EXPECT_GE(seconds, 4.0);
  EXPECT_FALSE(fs::exists(home.File("config/Pandriskの設定")));
}

// A quit signal (a plain kill, a logout) that comes before the event loop
// runs, here while the start waits for that display, ends the game at once:
// there is nothing of the player's to save yet.
class QuitSignalBeforeTheLoop : public ::testing::TestWithParam<int> {};

TEST_P(QuitSignalBeforeTheLoop, EndsTheGameAtOnce) {
  const int sig = GetParam();
  SilentDisplay x;
  ASSERT_TRUE(x.Ok());
  testsupport::TempDir home;
  auto run = StartOn(home, x.Name());
  ASSERT_TRUE(testsupport::WaitFor([&] { return x.Accepted() > 0; }, 30000)) << run->process->Log();
  std::this_thread::sleep_for(1s);
  ASSERT_TRUE(run->process->Running()) << run->process->Log();
  const auto sent = std::chrono::steady_clock::now();
  run->process->Signal(sig);
  const int status = run->process->Wait(10000);
  const double seconds = SecondsSince(sent);
  std::printf("figures: %s before the event loop ended the game in %.3f s\n", sigabbrev_np(sig), seconds);
  // Ended by the signal: not by the display check giving up (1), nor still
  // running (-1).
  EXPECT_EQ(status, 128 + sig) << run->process->Log();
  EXPECT_LT(seconds, 3.0);
  EXPECT_EQ(run->process->Log(), "");
}

INSTANTIATE_TEST_SUITE_P(Desktop, QuitSignalBeforeTheLoop, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

// A socket file that nobody listens on, as a compositor that died leaves it.
void DeadSocket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << path;
  close(fd);
}

// WAYLAND_DISPLAY inherited without a Wayland to be had and no DISPLAY, as
// in an ssh or console session: one line that says what is missing, status
// 1, not the platform's abort. Where Qt's wayland plugin is installed (here
// one that only describes itself), a compositor must answer as well, within
// the same bound as a display.
TEST(Desktop, WaylandThatCannotBeUsedAndNoDisplaySayWhatIsMissing) {
  testsupport::TempDir home;
  const std::string dead = home.File("wayland-dead");
  DeadSocket(dead);
  const std::string silent = home.File("wayland-silent");
  SilentServer compositor(silent);
  ASSERT_TRUE(compositor.Ok());
  const struct {
    std::string socket;
    std::map<std::string, std::string> more;
    bool plugin;
  } cases[] = {
      {dead, {}, false},
      {home.File("wayland-missing"), {}, false},
      {dead, {{"XDG_SESSION_TYPE", "wayland"}}, false},
      {dead, {{"QT_QPA_PLATFORM", "wayland"}}, false},
      {dead, {}, true},
      {dead, {{"QT_QPA_PLATFORM", "wayland"}}, true},
      {silent, {}, true},
  };
  for (const auto& c : cases) {
    std::map<std::string, std::string> env{{"QT_QPA_PLATFORM", ""},
                                           {"DISPLAY", ""},
                                           {"WAYLAND_DISPLAY", c.socket},
                                           {"XDG_SESSION_TYPE", ""},
                                           {"TMPDIR", home.path()}};
    if (c.plugin) env["QT_PLUGIN_PATH"] = WAYLAND_PLUGIN_FOLDER;
    std::string trace = "WAYLAND_DISPLAY=" + c.socket + (c.plugin ? " with a wayland plugin" : "");
    for (const auto& [k, v] : c.more) {
      env[k] = v;
      trace += " " + k + "=" + v;
    }
    SCOPED_TRACE(trace);
    e2e::GameRun run(home.File("config"), env);
    EXPECT_EQ(run.process->Wait(30000), 1);
    const std::string log = run.process->Log();
    const std::string start = "pandrisk: cannot open a display: DISPLAY is not set and ";
    const std::string end = "; set DISPLAY or WAYLAND_DISPLAY\n";
    const std::string noCompositor = start + "no Wayland compositor answers at WAYLAND_DISPLAY=" + c.socket + end;
    if (c.plugin)
      EXPECT_EQ(log, noCompositor);
    else  // whether Qt's own wayland plugin is installed depends on the machine
      EXPECT_TRUE(log == start + "Qt's wayland platform plugin is not installed" + end || log == noCompositor)
          << log;
  }
  EXPECT_EQ(compositor.Accepted(), 1);
}

// The same beside a working DISPLAY, as on a desktop that has both: the game
// runs on X, and nothing of the platform's comes on standard error.
TEST(Desktop, WaylandThatCannotBeUsedBesideAWorkingDisplayRunsOnXSilently) {
  const std::map<std::string, std::string> cases[] = {
      {},
      {{"XDG_SESSION_TYPE", "wayland"}},
      {{"QT_QPA_PLATFORM", "wayland"}},
  };
  for (const auto& more : cases) {
    std::string trace = "WAYLAND_DISPLAY=wayland-0";
    for (const auto& [k, v] : more) trace += " " + k + "=" + v;
    SCOPED_TRACE(trace);
    // The rest of a desktop session, which would have its say otherwise: a
    // runtime folder (with the dead compositor's socket) and a sound server.
    testsupport::TempDir session;
    const std::string runtime = session.File("runtime");
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    DeadSocket(runtime + "/wayland-0");
    audiotest::SoundServer sound(session.File("sound"));
    if (!sound.Running()) GTEST_SKIP() << "no sound server: " << sound.Problem();
    std::map<std::string, std::string> env{{"QT_QPA_PLATFORM", ""},
                                           {"WAYLAND_DISPLAY", "wayland-0"},
                                           {"XDG_SESSION_TYPE", ""},
                                           {"XDG_RUNTIME_DIR", runtime},
                                           {"PULSE_SERVER", sound.Address()}};
    for (const auto& [k, v] : more) env[k] = v;
    START_GAME(g, env);
    EXPECT_TRUE(g.WaitForBoard(kSolved, 0));
    g.Key("ctrl+q");
    EXPECT_EQ(g.process().Wait(10000), 0) << g.process().Log();
    EXPECT_EQ(g.process().Log(), "");
  }
}

// Another program destroys the game window: as with its close box, the game
// quits in order and saves. The Help window destroyed closes alone.
TEST(Desktop, AGameWindowDestroyedByAnotherProgramQuitsAndSaves) {
  START_GAME(g);
  g.Key("ctrl+1");
  ASSERT_TRUE(g.WaitForBoard(kSolved, 1));
  g.OpenMenu(3);
  g.display().Xdotool("key Down Return");  // Help
  const std::string help = g.display().FindWindow("Pandriskの説明", 5000);
  ASSERT_FALSE(help.empty());
  g.display().Xdotool("windowclose " + help);
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(g.process().Running()) << g.process().Log();
  EXPECT_TRUE(g.display().FindWindow("Pandriskの説明", 500).empty());

  g.display().Xdotool("windowclose " + g.Window());
  EXPECT_EQ(g.process().Wait(10000), 0) << g.process().Log();
  EXPECT_EQ(testsupport::ReadFile(g.PrefsFile()), "0011");
}

// Installed under a folder whose name is Latin-1, not UTF-8 ("café" with
// the single byte E9): the game finds its pictures and shows the solved
// board.
TEST(Desktop, InstalledUnderANameThatIsNotUtf8TheGameFindsItsPictures) {
  testsupport::TempDir app;
  const std::string binary = e2e::InstallGame(app.File("caf\xE9"));
  START_GAME(g, {}, binary);
  EXPECT_TRUE(g.WaitForBoard(kSolved, 0));
  EXPECT_TRUE(g.MarkerShown(g.Shot()));
  g.Key("ctrl+q");
  EXPECT_EQ(g.process().Wait(10000), 0) << g.process().Log();
}

// A sound server that takes the connection and never answers: the sound
// output gives up on it after 2 s, and quitting does not wait for it
// meanwhile.
TEST(Desktop, QuitDoesNotWaitForASoundServerThatNeverAnswers) {
  testsupport::TempDir home;
  SilentServer server(home.File("pulse"));
  ASSERT_TRUE(server.Ok());
  e2e::GameRun run(home.File("config"), {{"PULSE_SERVER", server.Address()}, {"TMPDIR", home.path()}});
  // The idle sound, about a second after the start, opens the sound device.
  const auto connected = std::chrono::steady_clock::now() + 10s;
  while (server.Accepted() == 0 && std::chrono::steady_clock::now() < connected) std::this_thread::sleep_for(20ms);
  ASSERT_GT(server.Accepted(), 0) << run.process->Log();
  std::this_thread::sleep_for(1500ms);
  ASSERT_TRUE(run.process->Running()) << run.process->Log();

  const auto start = std::chrono::steady_clock::now();
  run.process->Signal(SIGTERM);
  const int status = run.process->Wait(40000);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("figures: quit with a silent sound server took %.2f s\n", seconds);
  EXPECT_EQ(status, 0) << run.process->Log();
  EXPECT_LT(seconds, 2.0);
  EXPECT_EQ(testsupport::ReadFile(home.File("config/Pandriskの設定")), "0010");
}

// What a desktop may do to the running game: take its display away, start
// it without one, destroy its windows from another program, install it
// under a folder name that is not UTF-8, or give it a sound server that
// never answers. The game must neither crash nor hang.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/Screen.h"

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

// A sound server that takes every connection and never answers on it.
class SilentSoundServer {
 public:
  explicit SilentSoundServer(const std::string& socketPath) : path_(socketPath) {
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path_.c_str(), sizeof addr.sun_path - 1);
    ok_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(fd_, 16) == 0;
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
  ~SilentSoundServer() {
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

}  // namespace

// The X server dies under the running game, or drops the game's connection
// (as a window tool's kill does): the settings chosen are saved, and the
// game ends at once with one line that says why and a failing status, not
// with a crash.
class LostDisplay : public ::testing::TestWithParam<std::string> {};

TEST_P(LostDisplay, SavesTheSettingsAndEndsWithOneLineAndStatusOne) {
  START_GAME(g);
  g.Key("ctrl+2");  // the flower: the record changes in memory
  ASSERT_TRUE(g.WaitForBoard(kSolved, 2));
  if (GetParam() == "the server dies")
    g.display().KillServer();
  else
    g.display().Xdotool("windowkill " + g.Window());
  const int status = g.process().Wait(10000);
  const std::string log = g.process().Log();
  EXPECT_EQ(status, 1) << log;  // neither still running (-1) nor ended by a signal (128 + n)
  EXPECT_EQ(Count(log, "pandrisk: lost the connection to the display\n"), 1u) << log;
  EXPECT_EQ(testsupport::ReadFile(g.PrefsFile()), "0012");
}

INSTANTIATE_TEST_SUITE_P(Desktop, LostDisplay, ::testing::Values("the server dies", "the server drops the game"),
                         [](const auto& info) {
                           return info.param == "the server dies" ? "ServerDies" : "ClientKilled";
                         });

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
    e2e::GameRun run(
        home.File("config"),
        {{"QT_QPA_PLATFORM", ""}, {"DISPLAY", c.display}, {"WAYLAND_DISPLAY", ""}, {"TMPDIR", home.path()}});
    EXPECT_EQ(run.process->Wait(10000), 1);
    EXPECT_EQ(run.process->Log(), c.line);
    EXPECT_FALSE(fs::exists(home.File("config/Pandriskの設定")));
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
  SilentSoundServer server(home.File("pulse"));
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

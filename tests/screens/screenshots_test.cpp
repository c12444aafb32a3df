// The About and Help windows on a real X display: each test starts its own
// Xvfb on a free display number, a window manager and the showwindow
// program, drives it as a person would (pointer, keys) and keeps
// screenshots in <build>/screenshots for a person to look at. Skipped where
// Xvfb or the X tools are missing.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/Media.h"
#include "framework/Graphics.h"

extern char** environ;

using namespace fw;

namespace {

using Clock = std::chrono::steady_clock;

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string file = dirs.substr(start, end - start) + "/" + program;
    if (access(file.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// A child process with, optionally, pipes to its standard input and output.
struct Child {
  pid_t pid = -1;
  int in = -1;   // we write its standard input
  int out = -1;  // we read its standard output
  std::string buffered;

  // Waits for a whole line on its standard output; empty on time-out or end.
  std::string ReadLine(int timeoutMs) {
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const size_t eol = buffered.find('\n');
      if (eol != std::string::npos) {
        std::string line = buffered.substr(0, eol);
        buffered.erase(0, eol + 1);
        return line;
      }
      const int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
      if (left <= 0) return {};
      pollfd p{out, POLLIN, 0};
      if (poll(&p, 1, left) <= 0) return {};
      char buf[256];
      const ssize_t n = read(out, buf, sizeof buf);
      if (n <= 0) return {};
      buffered.append(buf, static_cast<size_t>(n));
    }
  }

  // Sends one command and waits for the line that answers it.
  bool Ask(const std::string& command, const std::string& answer, int timeoutMs = 10000) {
    const std::string line = command + "\n";
    if (write(in, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return false;
    for (;;) {
      const std::string got = ReadLine(timeoutMs);
      if (got.empty()) return false;
      if (got == answer) return true;
    }
  }

  // The exit status once it has ended by itself within the time; -1 when it
  // had to be killed.
  int Wait(int timeoutMs) {
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (Clock::now() < until) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Stop();
    return -1;
  }

  // Ends it: SIGTERM, then SIGKILL after a second.
  void Stop() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      int status = 0;
      for (int i = 0; i < 50 && waitpid(pid, &status, WNOHANG) != pid; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
      }
      pid = -1;
    }
    if (in >= 0) close(in);
    if (out >= 0) close(out);
    in = out = -1;
  }
};

// Starts a program with extra environment entries ("NAME=value"); `keepFd`
// stays open in the child.
Child Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, bool pipes, int keepFd = -1) {
  int toChild[2] = {-1, -1}, fromChild[2] = {-1, -1};
  if (pipes && (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)) return {};
  std::vector<std::string> envStrings;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const std::string& mine : env)
      if (entry.substr(0, entry.find('=') + 1) == mine.substr(0, mine.find('=') + 1)) replaced = true;
    if (!replaced) envStrings.push_back(entry);
  }
  envStrings.insert(envStrings.end(), env.begin(), env.end());
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : envStrings) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    if (pipes) {
      dup2(toChild[0], 0);
      dup2(fromChild[1], 1);
    } else {
      const int devnull = open("/dev/null", O_RDWR);
      dup2(devnull, 0);
      dup2(devnull, 1);
    }
    if (keepFd >= 0) fcntl(keepFd, F_SETFD, 0);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  Child c;
  c.pid = pid;
  if (pipes) {
    close(toChild[0]);
    close(fromChild[1]);
    c.in = toChild[1];
    c.out = fromChild[0];
  }
  return c;
}

// The output of a shell command on the display; empty on failure.
std::string OnDisplay(const std::string& display, const std::string& command) {
  const std::string full = "DISPLAY=" + display + " timeout 10 " + command + " 2>/dev/null";
  FILE* f = popen(full.c_str(), "r");
  if (f == nullptr) return {};
  std::string out;
  char buf[256];
  while (size_t n = fread(buf, 1, sizeof buf, f)) out.append(buf, n);
  pclose(f);
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string ShotsDir() {
  const std::string dir = std::string(PANDRISK_BINARY_DIR) + "/screenshots";
  std::filesystem::create_directories(dir);
  return dir;
}

bool SamePixels(const Ref<Picture>& a, int32_t ax, int32_t ay, const Ref<Picture>& b, int32_t bx, int32_t by,
                int32_t w, int32_t h) {
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      if (a->Graphics()->Pixel(ax + x, ay + y) != b->Graphics()->Pixel(bx + x, by + y)) return false;
  return true;
}

// A virtual display with a window manager, and the showwindow program on it.
class OnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop", "import"})
      if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";

    // Xvfb picks a free display number itself and writes it to the pipe.
    int numberPipe[2];
    ASSERT_EQ(pipe2(numberPipe, O_CLOEXEC), 0);
    xvfb_ = Spawn({"Xvfb", "-displayfd", std::to_string(numberPipe[1]), "-screen", "0", "800x600x24", "-nolisten",
                   "tcp"},
                  {}, false, numberPipe[1]);
    close(numberPipe[1]);
    Child reader;
    reader.out = numberPipe[0];
    const std::string number = reader.ReadLine(10000);
    close(numberPipe[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    display_ = ":" + number;

    wm_ = Spawn({"openbox", "--sm-disable"}, {"DISPLAY=" + display_}, false);
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (OnDisplay(display_, "xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") == std::string::npos) {
      ASSERT_LT(Clock::now(), until) << "the window manager did not start";
      Pause(50);
    }

    // On a display the platform loads the desktop's bus client, whose
    // allocations the sanitizer build must be told about.
    app_ = Spawn({std::string(PANDRISK_BINARY_DIR) + "/showwindow"},
                 {"DISPLAY=" + display_, "QT_QPA_PLATFORM=xcb",
                  "LSAN_OPTIONS=suppressions=" + std::string(PANDRISK_SOURCE_DIR) +
                      "/tests/support/lsan.supp:print_suppressions=0"},
                 true);
    ASSERT_GT(app_.pid, 0);
  }

  void TearDown() override {
    app_.Stop();
    wm_.Stop();
    xvfb_.Stop();
  }

  // The program's visible top-level window, once it is mapped; empty when
  // none shows within ten seconds. (A search may fail while the platform
  // makes and drops windows of its own, so it is simply tried again.)
  std::string WindowId() {
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < until) {
      const std::string id =
          OnDisplay(display_, "xdotool search --onlyvisible --pid " + std::to_string(app_.pid) + " | tail -n 1");
      if (!id.empty()) return id;
      Pause(100);
    }
    return {};
  }

  // What the window shows, with (framed) or without the window manager's frame.
  Ref<Picture> Shot(const std::string& id, const std::string& name, bool framed) {
    const std::string file = ShotsDir() + "/" + name + ".png";
    std::filesystem::remove(file);
    OnDisplay(display_, "import -window " + id + (framed ? " -frame " : " ") + file);
    return LoadPicture(file);
  }

  std::string display_;
  Child xvfb_, wm_, app_;
};

}  // namespace

TEST_F(OnScreen, AboutWindowShowsItsIconLogoAndBadgeAndClosesOnAKey) {
  ASSERT_TRUE(app_.Ask("about", "about"));
  const std::string id = WindowId();
  ASSERT_FALSE(id.empty());
  OnDisplay(display_, "xdotool mousemove 700 500");
  Pause(500);
  Ref<Picture> framed = Shot(id, "about", true);
  Ref<Picture> plain = Shot(id, "about-content", false);
  ASSERT_TRUE(framed && plain);
  EXPECT_EQ(plain->Width(), 200);
  EXPECT_EQ(plain->Height(), 80);
  EXPECT_GT(framed->Height(), plain->Height());  // the window manager's title bar
  if (Ref<Picture> badge = TargetSystemPict()) {
    EXPECT_TRUE(SamePixels(plain, 180, 3, badge, 0, 32, 16, 8));
  }
  if (Ref<Picture> icon = IconPict()) {
    EXPECT_TRUE(SamePixels(plain, 16, 16, icon, 0, 0, 32, 32));
  }

  OnDisplay(display_, "xdotool mousemove --window " + id + " 30 30");
  Pause(400);
  Ref<Picture> hover = Shot(id, "about-hover", true);
  Ref<Picture> hoverPlain = Shot(id, "about-hover-content", false);
  ASSERT_TRUE(hover && hoverPlain);
  if (Ref<Picture> logo = DrevakonPict()) {
    EXPECT_TRUE(SamePixels(hoverPlain, 16, 16, logo, 0, 0, 32, 32));
  }

  OnDisplay(display_, "xdotool windowactivate --sync " + id);
  OnDisplay(display_, "xdotool key space");
  EXPECT_EQ(app_.ReadLine(5000), "about closed");
  ASSERT_TRUE(app_.Ask("quit", "bye"));
  EXPECT_EQ(app_.Wait(10000), 0);
}

TEST_F(OnScreen, HelpWindowShowsEachTabAndClosesOnCtrlW) {
  std::string id;
  std::vector<Ref<Picture>> pages;
  for (int tab = 1; tab <= 6; ++tab) {
    const std::string command = "help " + std::to_string(tab);
    ASSERT_TRUE(app_.Ask(command, command));
    if (id.empty()) id = WindowId();
    ASSERT_FALSE(id.empty());
    Pause(400);
    Ref<Picture> framed = Shot(id, "help-" + std::to_string(tab), true);
    Ref<Picture> plain = Shot(id, "help-" + std::to_string(tab) + "-content", false);
    ASSERT_TRUE(framed && plain);
    // The menu bar above the 400 x 370 content.
    const int32_t bar = plain->Height() - 370;
    EXPECT_EQ(plain->Width(), 400);
    EXPECT_GT(bar, 10);
    EXPECT_LT(bar, 40);
    if (!pages.empty()) {
      EXPECT_FALSE(SamePixels(plain, 0, bar, pages.back(), 0, bar, 400, 370)) << "tab " << tab;
    }
    pages.push_back(plain);
  }

  OnDisplay(display_, "xdotool windowactivate --sync " + id);
  OnDisplay(display_, "xdotool key ctrl+w");
  const auto until = Clock::now() + std::chrono::seconds(5);
  while (!OnDisplay(display_, "xdotool search --onlyvisible --pid " + std::to_string(app_.pid)).empty()) {
    ASSERT_LT(Clock::now(), until) << "Ctrl+W left the Help window open";
    Pause(50);
  }
  ASSERT_TRUE(app_.Ask("quit", "bye"));
  EXPECT_EQ(app_.Wait(10000), 0);
}

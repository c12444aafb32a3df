#include "tests/e2e/Harness.h"
#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace e2e {

namespace {

using namespace std::chrono_literals;

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool WaitFor(const std::function<bool()>& ready, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (ready()) return true;
    std::this_thread::sleep_for(20ms);
  }
  return ready();
}

}  // namespace

// ---------------------------------------------------------------- processes

Process::Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                 const std::string& logPath)
    : logPath_(logPath) {
  std::map<std::string, std::string> all;
  for (char** e = environ; *e != nullptr; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq) all[std::string(static_cast<const char*>(*e), eq)] = eq + 1;
  }
  for (const auto& [k, v] : env) {
    if (v.empty())
      all.erase(k);
    else
      all[k] = v;
  }
  std::vector<std::string> envStrings;
  for (const auto& [k, v] : all) envStrings.push_back(k + "=" + v);
  std::vector<char*> envp, args;
  for (auto& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argCopy = argv;
  for (auto& s : argCopy) args.push_back(s.data());
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string log = logPath.empty() ? "/dev/null" : logPath;
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
}

Process::~Process() {
  if (Running()) {
    kill(pid_, SIGKILL);
    Wait(5000);
  }
}

bool Process::Running() { return pid_ > 0 && Wait(0) == -1; }

void Process::Signal(int sig) {
  if (pid_ > 0 && status_ == -1) kill(pid_, sig);
}

int Process::Wait(int ms) {
  if (pid_ <= 0) return status_;
  if (status_ != -1) return status_;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    int st = 0;
    const pid_t r = waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
      status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
      return status_;
    }
    if (std::chrono::steady_clock::now() >= end) return -1;
    std::this_thread::sleep_for(10ms);
  }
}

std::string Process::Log() const {
  std::ifstream in(logPath_);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Process::WaitUntilCatching(int sig, int ms) {
  return WaitFor(
      [&] {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(in, line))
          if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (sig - 1) & 1) != 0;
        return false;
      },
      ms);
}

double RssMiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return 0;
}

std::string Run(const std::string& command, int* status) {
  std::string out;
  // A display tool may wait for ever on a window that has gone: none may
  // take longer than 20 s.
  FILE* p = popen(("timeout -k 2 20 sh -c " + Quote(command)).c_str(), "r");
  if (p == nullptr) {
    if (status) *status = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int st = pclose(p);
  if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return out;
}

// ---------------------------------------------------------------- images

uint32_t Image::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  const size_t i = (static_cast<size_t>(y) * width + x) * 3;
  return (uint32_t{rgb[i]} << 16) | (uint32_t{rgb[i + 1]} << 8) | rgb[i + 2];
}

namespace {
// A binary PPM (P6, maxval 255), as ImageMagick writes it.
Image ParsePpm(const std::string& data) {
  Image img;
  std::istringstream in(data);
  std::string magic;
  int maxval = 0;
  in >> magic >> img.width >> img.height >> maxval;
  if (magic != "P6" || maxval != 255 || img.width <= 0 || img.height <= 0) return {};
  in.get();
  const size_t size = static_cast<size_t>(img.width) * img.height * 3;
  img.rgb.resize(size);
  in.read(reinterpret_cast<char*>(img.rgb.data()), static_cast<std::streamsize>(size));
  if (static_cast<size_t>(in.gcount()) != size) return {};
  return img;
}
}  // namespace

// ---------------------------------------------------------------- display

Display::Display(bool windowManager) {
  if (!Exists("/usr/bin/Xvfb") || !Exists("/usr/bin/xdotool") || !Exists("/usr/bin/import")) return;
  // Xvfb picks a free display number itself and tells it through a pipe.
  int fds[2];
  if (pipe(fds) != 0) return;
  xvfb_ = std::make_unique<Process>(
      std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                               "-nolisten", "tcp", "-noreset"},
      std::map<std::string, std::string>{}, "/dev/null");
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) return;
  name_ = ":" + number;
  if (windowManager) {
    wm_ = std::make_unique<Process>(std::vector<std::string>{"openbox", "--sm-disable"},
                                    std::map<std::string, std::string>{{"DISPLAY", name_}},
                                    "/dev/null");
    const bool ready = WaitFor(
        [&] {
          return Run("DISPLAY=" + name_ + " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null").find("window id") !=
                 std::string::npos;
        },
        10000);
    if (!ready) return;
  }
  ok_ = true;
}

Display::~Display() {
  wm_.reset();
  if (xvfb_) xvfb_->Signal(SIGTERM);
  xvfb_.reset();
}

void Display::KillServer() {
  if (!xvfb_) return;
  xvfb_->Signal(SIGKILL);
  xvfb_->Wait(5000);
}

std::string Display::Xdotool(const std::string& args) { return Run("DISPLAY=" + name_ + " xdotool " + args + " 2>/dev/null"); }

std::string Display::FindWindow(const std::string& title, int ms) {
  std::string id;
  WaitFor(
      [&] {
        std::istringstream out(Xdotool("search --onlyvisible --name " + Quote("^" + title + "$")));
        out >> id;
        return !id.empty();
      },
      ms);
  return id;
}

void Display::Geometry(const std::string& window, int* x, int* y, int* w, int* h) {
  std::istringstream out(Xdotool("getwindowgeometry --shell " + window));
  std::string line;
  while (std::getline(out, line)) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string k = line.substr(0, eq);
    const int v = std::atoi(line.c_str() + eq + 1);
    if (k == "X" && x) *x = v;
    if (k == "Y" && y) *y = v;
    if (k == "WIDTH" && w) *w = v;
    if (k == "HEIGHT" && h) *h = v;
  }
}

Image Display::Grab(const std::string& window) {
  return ParsePpm(Run("DISPLAY=" + name_ + " import -window " + window + " -depth 8 ppm:- 2>/dev/null"));
}

void Display::Move(const std::string& window, int x, int y) {
  Xdotool("mousemove --sync --window " + window + " " + std::to_string(x) + " " + std::to_string(y));
}

void Display::Click(const std::string& window, int x, int y) {
  Move(window, x, y);
  Xdotool("click 1");
}

void Display::Key(const std::string& window, const std::string& keys) {
  Xdotool("windowactivate --sync " + window);
  Xdotool("key --clearmodifiers " + keys);
}

// ---------------------------------------------------------------- the game

std::string GameBinary() { return std::string(PANDRISK_BINARY_DIR) + "/pandrisk"; }

std::string InstallGame(const std::string& folder) {
  namespace fs = std::filesystem;
  fs::create_directories(folder);
  const std::string binary = folder + "/pandrisk";
  std::error_code ec;
  fs::create_hard_link(GameBinary(), binary, ec);
  if (ec) fs::copy_file(GameBinary(), binary);
  fs::copy(testsupport::SourceResourcesDir(), folder + "/resources", fs::copy_options::recursive);
  return binary;
}

GameRun::GameRun(const std::string& prefsDir, const std::map<std::string, std::string>& extraEnv,
                 const std::string& binary) {
  std::map<std::string, std::string> env{
      {"XDG_CONFIG_HOME", prefsDir},
      {"QT_QPA_PLATFORM", "offscreen"},
      {"DISPLAY", ""},
      // No sound server unless the test gives one.
      {"PULSE_SERVER", "unix:/nonexistent"},
      // For a build under the sanitizers: the same options as the tests'.
      {"LSAN_OPTIONS", std::string("suppressions=") + PANDRISK_SOURCE_DIR + "/tests/support/lsan.supp:print_suppressions=0"}};
  for (const auto& [k, v] : extraEnv) env[k] = v;
  if (env.count("DISPLAY") && !env["DISPLAY"].empty()) env["QT_QPA_PLATFORM"] = "xcb";
  process = std::make_unique<Process>(std::vector<std::string>{binary}, env, prefsDir + ".log");
}

}  // namespace e2e

#include "tests/support/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace testsupport {

using namespace std::chrono_literals;

Process::Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                 const std::string& logPath)
    : Process(argv, env, Streams{logPath.empty() ? "/dev/null" : logPath, "", false}) {}

Process::Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                 const Streams& streams)
    : logPath_(streams.out) {
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

  int toChild[2] = {-1, -1}, fromChild[2] = {-1, -1};
  if (streams.pipes && (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (streams.pipes) {
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, streams.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (streams.err.empty())
      posix_spawn_file_actions_adddup2(&actions, 1, 2);
    else
      posix_spawn_file_actions_addopen(&actions, 2, streams.err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  }
  if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (streams.pipes) {
    close(toChild[0]);
    close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
  }
}

Process::~Process() {
  if (Running()) {
    kill(pid_, SIGKILL);
    Wait(5000);
  }
  if (in_ >= 0) close(in_);
  if (out_ >= 0) close(out_);
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

void Process::Stop(int ms) {
  if (!Running()) return;
  kill(pid_, SIGTERM);
  if (Wait(ms) != -1) return;
  kill(pid_, SIGKILL);
  Wait(5000);
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
          if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (sig - 1) & 1) != 0;
        return false;
      },
      ms);
}

std::string Process::ReadLine(int timeoutMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t eol = buffered_.find('\n');
    if (eol != std::string::npos) {
      std::string line = buffered_.substr(0, eol);
      buffered_.erase(0, eol + 1);
      return line;
    }
    const int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count());
    if (out_ < 0 || left <= 0) return {};
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) return {};
    char buf[256];
    const ssize_t n = read(out_, buf, sizeof buf);
    if (n <= 0) return {};
    buffered_.append(buf, static_cast<size_t>(n));
  }
}

bool Process::Ask(const std::string& command, const std::string& answer, int timeoutMs) {
  const std::string line = command + "\n";
  if (in_ < 0 || write(in_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return false;
  for (;;) {
    const std::string got = ReadLine(timeoutMs);
    if (got.empty()) return false;
    if (got == answer) return true;
  }
}

double RssMiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return 0;
}

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Run(const std::string& command, int* status) {
  std::string out;
  // A display tool may wait for ever on a window that has gone: none may
  // take longer than 20 s.
  FILE* p = popen(("timeout -k 2 20 sh -c " + ShellQuote(command)).c_str(), "r");
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

bool WaitFor(const std::function<bool()>& ready, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (ready()) return true;
    std::this_thread::sleep_for(20ms);
  }
  return ready();
}

}  // namespace testsupport

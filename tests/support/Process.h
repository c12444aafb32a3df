// Child processes for the tests that run programs (the game, a virtual
// display and its window manager, a sound server and its recorder), and
// shell commands run to their end.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// A child process; killed (SIGKILL) when the object goes if still running.
class Process {
 public:
  // Where the child's standard streams go; its input is /dev/null unless
  // `pipes` is set.
  struct Streams {
    std::string out = "/dev/null";  // truncated first
    std::string err;                // appended to; empty: with the output
    // Input and output through pipes of this process instead (ReadLine,
    // Ask); errors then stay this process's.
    bool pipes = false;
  };

  // `env` entries are set in the child's copy of this process's
  // environment, or taken out of it when their value is empty.
  Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
          const Streams& streams);
  // Output and errors both to `logPath` (to nowhere when it is empty).
  Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
          const std::string& logPath);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  bool Running();
  void Signal(int sig);
  // Waits up to `ms` for the process to end; its exit status, or -1 when it
  // is still running; 128 + n when signal n ended it.
  int Wait(int ms);
  // Ends it: SIGTERM, then SIGKILL when it has not gone within `ms`.
  void Stop(int ms);
  // What it wrote to its output file.
  std::string Log() const;
  // Waits up to `ms` until the process catches signal `sig` (it has set a
  // handler for it, as the game does for its quit signals just before its
  // event loop runs); false if it does not by then.
  bool WaitUntilCatching(int sig, int ms);

  // With pipes: a whole line of its output; empty on time-out or end.
  std::string ReadLine(int timeoutMs);
  // With pipes: sends one command line and waits for the line that answers it.
  bool Ask(const std::string& command, const std::string& answer, int timeoutMs = 10000);

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  std::string logPath_;
  int in_ = -1, out_ = -1;  // our ends of the pipes
  std::string buffered_;
};

// The process's resident memory in MiB; 0 when it has gone.
double RssMiB(pid_t pid);

// Runs a shell command to its end (20 s at most); its standard output.
std::string Run(const std::string& command, int* status = nullptr);

// The string in single quotes for the shell.
std::string ShellQuote(const std::string& s);

// Polls `ready` every 20 ms for up to `ms`; its last answer.
bool WaitFor(const std::function<bool()>& ready, int ms);

}  // namespace testsupport

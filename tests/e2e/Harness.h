// Runs the real game binary as a player would meet it: in a headless
// session, or on a virtual X display with a window manager, with its own
// preferences folder and, where asked, a sound server whose output is
// recorded.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

// A child process; killed (SIGKILL) when the object goes if still running.
class Process {
 public:
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
  std::string Log() const;
  // Waits up to `ms` until the process catches signal `sig` (it has set a
  // handler for it); false if it does not by then.
  bool WaitUntilCatching(int sig, int ms);

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  std::string logPath_;
};

// The process's resident memory in MiB; 0 when it has gone.
double RssMiB(pid_t pid);

// Runs a command to its end; its standard output.
std::string Run(const std::string& command, int* status = nullptr);

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  uint32_t Pixel(int x, int y) const;  // 0xRRGGBB; 0 outside
  bool Empty() const { return width == 0; }
};

// A virtual X display with a window manager, on a free display number.
class Display {
 public:
  explicit Display(bool windowManager = true);
  ~Display();
  bool Ok() const { return ok_; }
  const std::string& Name() const { return name_; }
  std::string Env() const { return "DISPLAY=" + name_; }
  // The X window of a visible top-level window with that title; 0 if none
  // appears within `ms`.
  std::string FindWindow(const std::string& title, int ms = 10000);
  // The window's client area as the display shows it.
  Image Grab(const std::string& window);
  void Geometry(const std::string& window, int* x, int* y, int* w, int* h);
  // Pointer and keys, in the window's client coordinates.
  void Move(const std::string& window, int x, int y);
  void Click(const std::string& window, int x, int y);
  void Key(const std::string& window, const std::string& keys);
  std::string Xdotool(const std::string& args);
  // Ends the X server at once, as when it crashes.
  void KillServer();

 private:
  std::string name_;
  bool ok_ = false;
  std::unique_ptr<Process> xvfb_, wm_;
};

// The game binary of this build and a private world for it to run in.
std::string GameBinary();
// Installs the game in `folder` as a player would: the binary (a hard link
// where possible) with a copy of the resources folder beside it; the
// binary's path.
std::string InstallGame(const std::string& folder);
struct GameRun {
  explicit GameRun(const std::string& prefsDir, const std::map<std::string, std::string>& extraEnv = {},
                   const std::string& binary = GameBinary());
  std::unique_ptr<Process> process;
};

}  // namespace e2e

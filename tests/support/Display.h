// A virtual X display (Xvfb, on a free display number) with a window
// manager, and what the tests read back from it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/TestSupport.h"

namespace testsupport {

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  uint32_t Pixel(int x, int y) const;  // 0xRRGGBB; 0 outside
  bool Empty() const { return width == 0; }
};

// The window manager that a display runs.
enum class WindowManager { kNone, kOpenbox, kFluxbox };

class Display {
 public:
  // Not Ok() where Xvfb, the X tools or the window manager are missing or do
  // not start. With a window manager, openbox.
  explicit Display(bool windowManager = true);
  explicit Display(WindowManager wm);
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
  // The window's property as xprop prints it ("" when it has none).
  std::string Property(const std::string& window, const std::string& name);
  // Whether the window is a pop-up (a menu), which the window manager
  // leaves alone.
  bool Popup(const std::string& window);
  // The process's pop-up windows (open menus) on the screen, as the X server
  // lists them.
  std::vector<std::string> Popups(pid_t pid);

 private:
  std::string name_;
  bool ok_ = false;
  std::unique_ptr<Process> xvfb_, wm_;
  std::unique_ptr<TempDir> wmHome_;  // fluxbox's settings
};

}  // namespace testsupport

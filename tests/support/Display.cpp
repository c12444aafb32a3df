#include "tests/support/Display.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <sstream>

namespace testsupport {

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

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

uint32_t Image::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  const size_t i = (static_cast<size_t>(y) * width + x) * 3;
  return (uint32_t{rgb[i]} << 16) | (uint32_t{rgb[i + 1]} << 8) | rgb[i + 2];
}

Display::Display(bool windowManager) : Display(windowManager ? WindowManager::kOpenbox : WindowManager::kNone) {}

Display::Display(WindowManager wm) {
  if (!Exists("/usr/bin/Xvfb") || !Exists("/usr/bin/xdotool") || !Exists("/usr/bin/import")) return;
  if (wm == WindowManager::kFluxbox && !Exists("/usr/bin/fluxbox")) return;
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
  if (wm == WindowManager::kOpenbox) {
    wm_ = std::make_unique<Process>(std::vector<std::string>{"openbox", "--sm-disable"},
                                    std::map<std::string, std::string>{{"DISPLAY", name_}}, "/dev/null");
  } else if (wm == WindowManager::kFluxbox) {
    // Its settings in a home of its own, made before it starts (on a first
    // run it writes its defaults over them): no toolbar, and the root
    // window left as it is (else a wallpaper tool puts up a message window).
    wmHome_ = std::make_unique<TempDir>();
    const std::string dir = wmHome_->File(".fluxbox");
    mkdir(dir.c_str(), 0700);
    WriteFile(dir + "/overlay", "background: unset\n");
    WriteFile(dir + "/init",
              "session.screen0.toolbar.visible: false\nsession.styleOverlay: " + dir + "/overlay\n");
    wm_ = std::make_unique<Process>(
        std::vector<std::string>{"fluxbox"},
        std::map<std::string, std::string>{{"DISPLAY", name_}, {"HOME", wmHome_->path()}}, "/dev/null");
  }
  if (wm_) {
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

std::string Display::Xdotool(const std::string& args) {
  return Run("DISPLAY=" + name_ + " xdotool " + args + " 2>/dev/null");
}

std::string Display::Property(const std::string& window, const std::string& name) {
  const std::string out = Run("DISPLAY=" + name_ + " xprop -id " + window + " " + name + " 2>/dev/null");
  return out.find("not found") == std::string::npos ? out : std::string();
}

bool Display::Popup(const std::string& window) {
  return Run("DISPLAY=" + name_ + " xwininfo -id " + window + " 2>/dev/null")
             .find("Override Redirect State: yes") != std::string::npos;
}

std::vector<std::string> Display::Popups(pid_t pid) {
  std::vector<std::string> popups;
  std::istringstream ids(Xdotool("search --onlyvisible --pid " + std::to_string(pid)));
  for (std::string id; ids >> id;)
    if (Popup(id)) popups.push_back(id);
  return popups;
}

std::string Display::FindWindow(const std::string& title, int ms) {
  std::string id;
  WaitFor(
      [&] {
        std::istringstream out(Xdotool("search --onlyvisible --name " + ShellQuote("^" + title + "$")));
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

}  // namespace testsupport

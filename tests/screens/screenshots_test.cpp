// The About and Help windows on a real X display: each test starts its own
// Xvfb on a free display number, a window manager and the showwindow
// program, drives it as a person would (pointer, keys) and keeps
// screenshots in <build>/screenshots for a person to look at. Skipped where
// Xvfb or the X tools are missing.
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/Media.h"
#include "framework/Graphics.h"
#include "tests/support/Display.h"
#include "tests/support/Pixels.h"
#include "tests/support/Process.h"

using namespace fw;
using testsupport::Process;
using testsupport::SamePixels;

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

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string ShotsDir() {
  const std::string dir = std::string(PANDRISK_BINARY_DIR) + "/screenshots";
  std::filesystem::create_directories(dir);
  return dir;
}

// A virtual display with a window manager, and the showwindow program on it.
class OnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop", "import"})
      if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed";

    display_ = std::make_unique<testsupport::Display>();
    ASSERT_TRUE(display_->Ok()) << "Xvfb or the window manager did not start";

    // On a display the platform loads the desktop's bus client, whose
    // allocations the sanitizer build must be told about.
    app_ = std::make_unique<Process>(
        std::vector<std::string>{std::string(PANDRISK_BINARY_DIR) + "/showwindow"},
        std::map<std::string, std::string>{{"DISPLAY", display_->Name()},
                                           {"QT_QPA_PLATFORM", "xcb"},
                                           {"LSAN_OPTIONS", "suppressions=" + std::string(PANDRISK_SOURCE_DIR) +
                                                                "/tests/support/lsan.supp:print_suppressions=0"}},
        Process::Streams{"", "", true});
    ASSERT_GT(app_->pid(), 0);
  }

  void TearDown() override {
    if (app_) app_->Stop(1000);
    app_.reset();
    display_.reset();
  }

  // The output of a command on the display, without its line end; empty on
  // failure.
  std::string OnDisplay(const std::string& command) {
    std::string out = testsupport::Run("DISPLAY=" + display_->Name() + " timeout 10 " + command + " 2>/dev/null");
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
  }

  // The program's visible top-level window, once it is mapped; empty when
  // none shows within ten seconds. (A search may fail while the platform
  // makes and drops windows of its own, so it is simply tried again.)
  std::string WindowId() {
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < until) {
      const std::string id = OnDisplay("xdotool search --onlyvisible --pid " + std::to_string(app_->pid()) +
                                       " | tail -n 1");
      if (!id.empty()) return id;
      Pause(100);
    }
    return {};
  }

  // What the window shows, with (framed) or without the window manager's frame.
  Ref<Picture> Shot(const std::string& id, const std::string& name, bool framed) {
    const std::string file = ShotsDir() + "/" + name + ".png";
    std::filesystem::remove(file);
    OnDisplay("import -window " + id + (framed ? " -frame " : " ") + file);
    return LoadPicture(file);
  }

  std::unique_ptr<testsupport::Display> display_;
  std::unique_ptr<Process> app_;
};

}  // namespace

TEST_F(OnScreen, AboutWindowShowsItsIconLogoAndBadgeAndClosesOnAKey) {
  ASSERT_TRUE(app_->Ask("about", "about"));
  const std::string id = WindowId();
  ASSERT_FALSE(id.empty());
  OnDisplay("xdotool mousemove 700 500");
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

  OnDisplay("xdotool mousemove --window " + id + " 30 30");
  Pause(400);
  Ref<Picture> hover = Shot(id, "about-hover", true);
  Ref<Picture> hoverPlain = Shot(id, "about-hover-content", false);
  ASSERT_TRUE(hover && hoverPlain);
  if (Ref<Picture> logo = DrevakonPict()) {
    EXPECT_TRUE(SamePixels(hoverPlain, 16, 16, logo, 0, 0, 32, 32));
  }

  OnDisplay("xdotool windowactivate --sync " + id);
  OnDisplay("xdotool key space");
  EXPECT_EQ(app_->ReadLine(5000), "about closed");
  ASSERT_TRUE(app_->Ask("quit", "bye"));
  EXPECT_EQ(app_->Wait(10000), 0);
}

TEST_F(OnScreen, HelpWindowShowsEachTabAndClosesOnCtrlW) {
  std::string id;
  std::vector<Ref<Picture>> pages;
  for (int tab = 1; tab <= 6; ++tab) {
    const std::string command = "help " + std::to_string(tab);
    ASSERT_TRUE(app_->Ask(command, command));
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

  OnDisplay("xdotool windowactivate --sync " + id);
  OnDisplay("xdotool key ctrl+w");
  const auto until = Clock::now() + std::chrono::seconds(5);
  while (!OnDisplay("xdotool search --onlyvisible --pid " + std::to_string(app_->pid())).empty()) {
    ASSERT_LT(Clock::now(), until) << "Ctrl+W left the Help window open";
    Pause(50);
  }
  ASSERT_TRUE(app_->Ask("quit", "bye"));
  EXPECT_EQ(app_->Wait(10000), 0);
}

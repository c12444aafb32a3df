#include "tests/support/GameScreen.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/PrefsFile.h"
#include "framework/Graphics.h"

namespace testsupport {

using namespace layout;

using namespace std::chrono_literals;

fw::Ref<fw::Picture> Resource(const std::string& name) {
  static std::map<std::string, fw::Ref<fw::Picture>> cache;
  auto& p = cache[name];
  if (!p) p = fw::LoadPicture(SourceResourcesDir() + "/" + name);
  return p;
}

GameScreen::GameScreen(const std::map<std::string, std::string>& env, const std::string& binary,
                       WindowManager wm) {
  display_ = std::make_unique<Display>(wm);
  if (!display_->Ok()) return;
  std::map<std::string, std::string> all{{"DISPLAY", display_->Name()}, {"TMPDIR", home_.path()}};
  for (const auto& [k, v] : env) all[k] = v;
  run_ = std::make_unique<GameRun>(home_.File("config"), all, binary);
  window_ = display_->FindWindow("Pandrisk", 15000);
  if (window_.empty()) return;
  int w = 0, h = 0;
  // The window manager may place the window a moment after it is mapped.
  for (int i = 0; i < 50 && (w != kWindowWidth || h < kWindowHeight); ++i) {
    display_->Geometry(window_, nullptr, nullptr, &w, &h);
    std::this_thread::sleep_for(20ms);
  }
  offY_ = h - kWindowHeight;
  std::this_thread::sleep_for(300ms);
  ok_ = w == kWindowWidth && offY_ >= 0;
}

GameScreen::~GameScreen() {
  if (run_ && run_->process->Running()) {
    run_->process->Signal(SIGTERM);
    run_->process->Wait(10000);
  }
  run_.reset();
  display_.reset();
}

std::string GameScreen::PrefsFile() const { return home_.File(std::string("config/") + kPrefsFileName); }

Image GameScreen::Shot() {
  Image full = display_->Grab(window_);
  if (full.Empty() || full.height < offY_ + kWindowHeight) return {};
  Image content;
  content.width = kWindowWidth;
  content.height = kWindowHeight;
  content.rgb.resize(kWindowWidth * kWindowHeight * 3);
  for (int y = 0; y < kWindowHeight; ++y)
    for (int x = 0; x < kWindowWidth; ++x)
      for (int c = 0; c < 3; ++c)
        content.rgb[(y * kWindowWidth + x) * 3 + c] = full.rgb[((y + offY_) * full.width + x) * 3 + c];
  return content;
}

void GameScreen::Click(int x, int y) { display_->Click(window_, x, y + offY_); }

void GameScreen::Key(const std::string& keys) { display_->Key(window_, keys); }

void GameScreen::OpenMenu(int n) {
  display_->Xdotool("windowactivate --sync " + window_);
  display_->Click(window_, 12, offY_ / 2);  // the first menu's title
  // The keys below go to the open menu: on a busy machine it may take a
  // while to appear.
  const pid_t pid = process().pid();
  for (int waited = 0; waited < 3000 && display_->Popups(pid).empty(); waited += 50)
    std::this_thread::sleep_for(50ms);
  std::this_thread::sleep_for(300ms);
  for (int i = 0; i < n; ++i) {
    display_->Xdotool("key Right");
    std::this_thread::sleep_for(150ms);
  }
  std::this_thread::sleep_for(200ms);
}

void GameScreen::SaveScreen(const std::string& pngPath) {
  int x = 0, y = 0;
  display_->Geometry(window_, &x, &y, nullptr, nullptr);
  Run("DISPLAY=" + display_->Name() + " import -window root -crop 540x440+" + std::to_string(std::max(0, x - 20)) +
      "+" + std::to_string(std::max(0, y - 40)) + " " + pngPath + " 2>/dev/null");
}

namespace {
uint32_t PixelOf(const fw::Ref<fw::Picture>& p, int x, int y) { return p->Graphics()->Pixel(x, y).value; }
}  // namespace

std::string GameScreen::Board(const Image& img, int pattern) const {
  const auto sheet = Resource("Tile" + std::to_string(pattern) + "Pict.png");
  std::string rows;
  for (int cy = 0; cy < 3; ++cy) {
    if (cy) rows += " / ";
    for (int cx = 0; cx < 3; ++cx) {
      int found = -1;
      for (int n = 0; n < 9 && found < 0; ++n) {
        bool same = true;
        for (int sy = 4; sy < kCell && same; sy += 12)
          for (int sx = 4; sx < kCell && same; sx += 12)
            same = img.Pixel(kCell * cx + kBoardOrigin + sx, kCell * cy + kBoardOrigin + sy) ==
                   PixelOf(sheet, kCell * (n % 3) + sx, kCell * (n / 3) + sy);
        if (same) found = n;
      }
      rows += (found < 0 ? std::string("?") : std::to_string(found)) + (cx < 2 ? " " : "");
    }
  }
  return rows;
}

bool GameScreen::Shows(const Image& img, int x, int y, const std::string& name) const {
  const auto pic = Resource(name);
  if (!pic || img.Empty()) return false;
  for (int sy = 1; sy < pic->Height(); sy += 3)
    for (int sx = 1; sx < pic->Width(); sx += 3)
      if (img.Pixel(x + sx, y + sy) != PixelOf(pic, sx, sy)) return false;
  return true;
}

bool GameScreen::RowButtonsShow(const Image& img, const std::string& name) const {
  for (int top : kRowButtonTop)
    if (!Shows(img, kRowButtonX, top, name)) return false;
  return true;
}

bool GameScreen::WaitForBoard(const std::string& rows, int pattern, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (Board(pattern) == rows) return true;
    std::this_thread::sleep_for(30ms);
  }
  return false;
}

}  // namespace testsupport

// The game window on a virtual display, read back as a player sees it:
// which tile stands in each cell, what the row buttons and the marker show.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "engine/WindowLayout.h"
#include "framework/Graphics.h"
#include "tests/support/Display.h"
#include "tests/support/GameRun.h"
#include "tests/support/TestSupport.h"

namespace testsupport {

// The pictures of the resources folder, for comparing with the screen.
fw::Ref<fw::Picture> Resource(const std::string& name);

class GameScreen {
 public:
  // Starts the game on a display of its own, with that window manager;
  // Ok() is false where there is no virtual display to be had.
  explicit GameScreen(const std::map<std::string, std::string>& env = {}, const std::string& binary = GameBinary(),
                      WindowManager wm = WindowManager::kOpenbox);
  ~GameScreen();
  bool Ok() const { return ok_; }
  Display& display() { return *display_; }
  Process& process() { return *run_->process; }
  const std::string& Window() const { return window_; }
  int MenuHeight() const { return offY_; }
  const testsupport::TempDir& Home() const { return home_; }
  std::string PrefsFile() const;

  Image Shot();
  // Content coordinates: the window's content area without its menu bar.
  void Click(int x, int y);
  void Key(const std::string& keys);
  // The middle of a row button, of the shuffle and of the align button.
  void ClickRow(int row) {
    Click(layout::kRowButtonX + layout::kRowButtonWidth / 2,
          layout::kRowButtonTop[row] + layout::kRowButtonHeight / 2);
  }
  void ClickShuffle() {
    Click(layout::kStartButtonX + layout::kCommandWidth / 2, layout::kStripY + layout::kCommandHeight / 2);
  }
  void ClickAlign() {
    Click(layout::kResetButtonX + layout::kCommandWidth / 2, layout::kStripY + layout::kCommandHeight / 2);
  }
  // Opens the n-th menu of the menu bar (0 File .. 3 help) with the mouse
  // and the arrow keys.
  void OpenMenu(int n);
  // Saves the screen around the window, with whatever menu is open.
  void SaveScreen(const std::string& pngPath);

  // The board as rows of tile numbers ("0 1 2 / 3 4 5 / 6 7 8"), read with
  // the given pattern's tile sheet; "?" for a cell that matches no tile.
  std::string Board(const Image& img, int pattern) const;
  std::string Board(int pattern) { return Board(Shot(), pattern); }
  // Whether the area at (x, y) shows the picture `name` of the resources
  // folder (sampled on a grid).
  bool Shows(const Image& img, int x, int y, const std::string& name) const;
  bool RowButtonsShow(const Image& img, const std::string& name) const;
  bool MarkerShown(const Image& img) const {
    return Shows(img, layout::kMarkerX, layout::kStripY, "CompletePict.png");
  }
  // Waits until the board reads `rows` with `pattern`; false on timeout.
  bool WaitForBoard(const std::string& rows, int pattern, int ms = 5000);

 private:
  testsupport::TempDir home_;
  std::unique_ptr<Display> display_;
  std::unique_ptr<GameRun> run_;
  std::string window_;
  int offY_ = 0;
  bool ok_ = false;
};

}  // namespace testsupport

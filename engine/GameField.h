// The puzzle board: a 3 x 3 array of tile numbers whose rows are pushed one
// place to the left in a four-phase animation, one step per clock tick, and
// its drawing into the offscreen picture.
//
// A push of row K: the row slides left (phase 1) and is rotated; the tiles
// of the right-hand column above row K fall one place (phase 2) and the
// column is rotated; the pushed-out tile drops into the top-right cell
// (phase 3); the completion test follows on the next tick (phase 4). Each
// phase takes four 16-pixel steps, but the falling step of the top row
// moves nothing and is skipped.
#pragma once

#include <array>
#include <cstdint>

#include "engine/OffscreenCanvas.h"
#include "engine/WindowLayout.h"
#include "framework/Graphics.h"
#include "framework/Object.h"
#include "framework/Sound.h"

class GameField : public OffscreenCanvas {
 public:
  static constexpr int32_t kSize = layout::kBoardSize;      // columns and rows
  static constexpr int32_t kCell = layout::kCell;           // pixels per cell
  static constexpr int32_t kOrigin = layout::kBoardOrigin;  // the board's top-left corner in the control
  static constexpr int32_t kStepPixels = layout::kStepPixels;
  static constexpr int32_t kLastStep = 4;
  // Tile patterns 0 .. kPatterns - 1: ring, numbers, flower, ribbon.
  static constexpr int32_t kPatterns = 4;

  GameField();
  ~GameField() override;

  // True when the board is solved; raised by BlockCheck.
  fw::Event<void(bool)> BlockMoved;
  // True when a push begins, False when its animation has ended.
  fw::Event<void(bool)> OperationLock;

  // Advances the running move by one step and redraws; once per tick.
  virtual void GameStep();
  // Starts the push of row `line` (0 top .. 2 bottom) unless a move runs.
  virtual void Kick(int32_t line);
  // Solves the board and applies 101 random pushes at once.
  virtual void GameStart();
  // Solves the board at once.
  virtual void GameReset();
  // Chooses that tile pattern; a value that is no pattern chooses 0.
  virtual void SetBlockPicture(int32_t index);
  // The current pattern; -1 until one is chosen.
  virtual int32_t RefBlockPictIndex();
  // Tests completion, queues the completion sound when a push has just
  // completed the picture, and raises BlockMoved.
  virtual void BlockCheck();

  fw::Ref<fw::Sound> ItsPushSnd;
  fw::Ref<fw::Sound> ItsBlockSnd;

 protected:
  void PaintOffscreen() override;
  void Initialize() override;
  // Draws the tile in cell (x, y) displaced by (dx, dy) pixels.
  virtual void PaintBlock(int32_t x, int32_t y, int32_t dx, int32_t dy);

  // ItsBlocks[x][y]: the tile in column x, row y; tile n belongs in column
  // n mod 3, row n div 3.
  std::array<std::array<int32_t, kSize>, kSize> ItsBlocks{};
  int32_t GamePhase1 = 0;  // 0 idle, 1 row slides, 2 column falls, 3 tile drops in, 4 test due
  int32_t GamePhase2 = 0;  // step within the phase, 0..4
  int32_t KickLine = 0;
  fw::Ref<fw::Picture> ItsBlockPicture;
  int32_t ItsBlockPictIndex = 0;

 private:
  void SetSolved();
  void RotateRow(int32_t line);
  void RotateColumn(int32_t line);
  void QueueSound(const fw::Ref<fw::Sound>& s, int32_t priority);
};

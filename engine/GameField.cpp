#include "engine/GameField.h"

#include <iterator>

#include "app/App.h"
#include "engine/Media.h"
#include "engine/SoundPlayer.h"
#include "framework/Time.h"

namespace {

constexpr int32_t kMoveSoundPriority = 5;
constexpr int32_t kCompleteSoundPriority = 4;
constexpr int32_t kShufflePushes = 101;

enum Phase : int32_t { kIdle = 0, kRowSlides = 1, kColumnFalls = 2, kTileDrops = 3, kCheckDue = 4 };

// The tile sheet of each pattern.
fw::Ref<fw::Picture> (*const kPatternPictures[])() = {Tile0Pict, Tile1Pict, Tile2Pict, Tile3Pict};
static_assert(std::size(kPatternPictures) == GameField::kPatterns);

}  // namespace

GameField::GameField() = default;
GameField::~GameField() = default;

void GameField::QueueSound(const fw::Ref<fw::Sound>& s, int32_t priority) {
  App()->ItsSoundPlayer->PushQueue(s, priority);
}

void GameField::SetSolved() {
  for (int32_t y = 0; y < kSize; ++y)
    for (int32_t x = 0; x < kSize; ++x) ItsBlocks[x][y] = kSize * y + x;
}

// The row's left tile goes to its right-hand end.
void GameField::RotateRow(int32_t line) {
  auto& b = ItsBlocks;
  const int32_t t = b[0][line];
  b[0][line] = b[1][line];
  b[1][line] = b[2][line];
  b[2][line] = t;
}

// The right-hand column above the row moves one down; the tile at the row's
// right-hand end goes to the top.
void GameField::RotateColumn(int32_t line) {
  auto& b = ItsBlocks;
  const int32_t t = b[2][line];
  for (int32_t y = line; y > 0; --y) b[2][y] = b[2][y - 1];
  b[2][0] = t;
}

void GameField::Kick(int32_t line) {
  if (GamePhase1 != kIdle) return;
  // The array is indexed by the row: a row outside the board would be read
  // and written out of bounds.
  if (line < 0 || line >= kSize) return;
  OperationLock.Raise(true);
  GamePhase1 = kRowSlides;
  GamePhase2 = 0;
  KickLine = line;
  QueueSound(ItsPushSnd, kMoveSoundPriority);
}

void GameField::GameStep() {
  int32_t& p = GamePhase2;
  switch (GamePhase1) {
    case kRowSlides:
      if (p < kLastStep) {
        ++p;
      } else {
        RotateRow(KickLine);
        GamePhase1 = kColumnFalls;
        p = 0;
      }
      break;
    case kColumnFalls:
      if (p < kLastStep) {
        p = KickLine == 0 ? kLastStep : p + 1;  // nothing falls above the top row
      } else {
        RotateColumn(KickLine);
        if (KickLine > 0) QueueSound(ItsBlockSnd, kMoveSoundPriority);
        GamePhase1 = kTileDrops;
        p = 0;
      }
      break;
    case kTileDrops:
      if (p < kLastStep) {
        ++p;
      } else {
        QueueSound(ItsBlockSnd, kMoveSoundPriority);
        GamePhase1 = kCheckDue;
      }
      break;
    case kCheckDue:
      BlockCheck();
      OperationLock.Raise(false);
      GamePhase1 = kIdle;
      break;
    default: GamePhase1 = kIdle; break;
  }
  PaintOffscreen();
  RefreshPicture(false);
}

void GameField::GameStart() {
  if (GamePhase1 != kIdle) return;
  SetSolved();
  GamePhase1 = kIdle;
  GamePhase2 = 0;
  KickLine = 0;
  for (int32_t i = 0; i < kShufflePushes; ++i) {
    const int32_t r = static_cast<int32_t>(fw::Rnd() * 10000.0);
    const int32_t m = r % kSize;
    const int32_t line = m == 0 ? 0 : m == 1 ? 1 : 2;
    RotateRow(line);
    RotateColumn(line);
  }
  BlockCheck();
}

void GameField::GameReset() {
  if (GamePhase1 != kIdle) return;
  SetSolved();
  GamePhase1 = kIdle;
  GamePhase2 = 0;
  KickLine = 0;
  BlockCheck();
}

void GameField::BlockCheck() {
  bool solved = true;
  for (int32_t y = 0; y < kSize; ++y)
    for (int32_t x = 0; x < kSize; ++x)
      if (ItsBlocks[x][y] != kSize * y + x) solved = false;
  if (solved && GamePhase1 == kCheckDue) QueueSound(CompleteSnd(), kCompleteSoundPriority);
  BlockMoved.Raise(solved);
}

void GameField::SetBlockPicture(int32_t index) {
  if (index < 0 || index >= kPatterns) index = 0;
  ItsBlockPicture = kPatternPictures[index]();
  ItsBlockPictIndex = index;
}

int32_t GameField::RefBlockPictIndex() { return ItsBlockPictIndex; }

void GameField::Initialize() {
  ItsPushSnd = PushSnd();
  ItsBlockSnd = BlockSnd();
  ItsBlockPictIndex = -1;
  GameReset();
}

void GameField::PaintBlock(int32_t x, int32_t y, int32_t dx, int32_t dy) {
  if (!ItsBlockPicture) return;  // the tile sheet failed to load
  const int32_t n = ItsBlocks[x][y];
  OffscreenGraphics->DrawPicture(ItsBlockPicture, kCell * x + kOrigin + dx, kCell * y + kOrigin + dy, kCell, kCell,
                                 kCell * (n % kSize), kCell * (n / kSize));
}

void GameField::PaintOffscreen() {
  if (!IsOffscreenAveil) return;
  const fw::Ref<fw::Graphics>& g = OffscreenGraphics;

  // The part of the window's backdrop under the control erases the last
  // frame; white stands in where the backdrop is missing or too small.
  const fw::Ref<fw::Picture> back = BackPict();
  if (!back || back->Width() < Left() + ItsWidth || back->Height() < Top() + ItsHeight) {
    g->ForeColor(fw::Color{0xFFFFFF});
    g->FillRect(0, 0, ItsWidth, ItsHeight);
  }
  if (back) g->DrawPicture(back, 0, 0, ItsWidth, ItsHeight, Left(), Top(), ItsWidth, ItsHeight);

  if (ItsBlockPictIndex < 0) return;

  const int32_t p = GamePhase2;
  const int32_t k = KickLine;
  for (int32_t y = 0; y < kSize; ++y) {
    for (int32_t x = 0; x < kSize; ++x) {
      int32_t dx = 0, dy = 0;
      switch (GamePhase1) {
        case kRowSlides:
          if (y == k) dx = -kStepPixels * p;
          break;
        case kColumnFalls:
          if (x == 2 && y == k) continue;  // the pushed-out tile, not drawn
          if (x == 2 && y < k) dy = kStepPixels * p;
          break;
        case kTileDrops:
          if (x == 2 && y == 0) dy = kStepPixels * p - kCell;
          break;
        default: break;
      }
      PaintBlock(x, y, dx, dy);
    }
  }

  if (GamePhase1 == kRowSlides)
    g->DrawPicture(PushPict(), layout::kPushMarkerX - kStepPixels * p, kCell * k + kOrigin);
}

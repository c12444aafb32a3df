// Every frame of the board, read back from its offscreen picture and compared
// pixel by pixel with the scene the frame should show. The fixture pictures
// tell things apart by colour: each tile of a sheet is one solid colour, the
// backdrop's colour gives its own coordinates, the marker is magenta.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/engine/BoardFixture.h"

using fixtures::BoardHarness;
using fw::RGB;

namespace {

constexpr int32_t kLeft = 10, kTop = 6;  // the board's place in the window
constexpr int32_t kMarkerWidth = 12;
const fw::Color kMarker = RGB(255, 0, 255);
const fw::Color kWhite = RGB(255, 255, 255);

fw::Color TileColour(int sheet, int n) {
  return sheet == 0 ? RGB(30 + 20 * n, 250 - 20 * n, 0) : RGB(250 - 20 * n, 30 + 20 * n, 100);
}
fw::Color BackColour(int x, int y) { return RGB(x, y, 200); }

void WriteFixtures(const fixtures::ResourcesFolder& res) {
  for (int sheet = 0; sheet < 2; ++sheet)
    res.Write("Tile" + std::to_string(sheet) + "Pict.png", fixtures::MakePng(192, 192, [sheet](int x, int y) {
                return TileColour(sheet, 3 * (y / 64) + x / 64);
              }));
  res.Write("BackPict.png", fixtures::MakePng(236, 216, BackColour));
  res.Write("PushPict.png", fixtures::SolidPng(kMarkerWidth, 64, kMarker));
}

struct Tile {
  int n, x, y;  // tile number and its top-left corner in the control
};

// What a frame shows: the backdrop, then the tiles, then the marker.
struct Scene {
  int sheet = 0;
  bool backdrop = true;
  std::vector<Tile> tiles;
  std::optional<std::pair<int, int>> marker;

  fw::Color At(int x, int y) const {
    fw::Color c = backdrop ? BackColour(x + kLeft, y + kTop) : kWhite;
    for (const Tile& t : tiles)
      if (x >= t.x && x < t.x + 64 && y >= t.y && y < t.y + 64) c = TileColour(sheet, t.n);
    if (marker && x >= marker->first && x < marker->first + kMarkerWidth && y >= marker->second &&
        y < marker->second + 64)
      c = kMarker;
    return c;
  }
};

// Rows top to bottom, as in "0 1 2 / 3 4 5 / 6 7 8".
using Cells = std::array<int, 9>;
int CellX(int x) { return 64 * x + 4; }
int CellY(int y) { return 64 * y + 4; }

// The board at rest, every cell drawn except those listed.
Scene AtRest(const Cells& b, std::vector<std::pair<int, int>> skip = {}) {
  Scene s;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) {
      bool skipped = false;
      for (auto [sx, sy] : skip) skipped = skipped || (sx == x && sy == y);
      if (!skipped) s.tiles.push_back({b[3 * y + x], CellX(x), CellY(y)});
    }
  return s;
}

// The frames of one push of row k from the board `before`, by the frame
// table: the row slides, rests with its right-hand cell empty, the column
// above falls into it, the pushed-out tile drops in from y = -60, rest.
std::vector<Scene> PushFrames(int k, const Cells& before, const Cells& afterRow, const Cells& afterColumn) {
  std::vector<Scene> frames;
  for (int t = 1; t <= 4; ++t) {
    Scene s;
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x)
        s.tiles.push_back({before[3 * y + x], CellX(x) - (y == k ? 16 * t : 0), CellY(y)});
    s.marker = std::make_pair(196 - 16 * t, CellY(k));
    frames.push_back(s);
  }
  frames.push_back(AtRest(afterRow, {{2, k}}));
  if (k == 0) {
    frames.push_back(AtRest(afterRow, {{2, 0}}));  // nothing to fall: the cell stays empty
  } else {
    for (int t = 1; t <= 4; ++t) {
      Scene s = AtRest(afterRow, {{2, k}});
      for (Tile& tile : s.tiles)
        if (tile.x == CellX(2) && tile.y < CellY(k)) tile.y += 16 * t;
      frames.push_back(s);
    }
  }
  for (int above : {64, 48, 32, 16, 0}) {
    Scene s = AtRest(afterColumn);
    for (Tile& tile : s.tiles)
      if (tile.x == CellX(2) && tile.y == CellY(0)) tile.y -= above;
    frames.push_back(s);
  }
  frames.push_back(AtRest(afterColumn));
  frames.push_back(AtRest(afterColumn));
  return frames;
}

Cells Parse(const std::string& rows) {
  Cells c{};
  std::istringstream in(rows);
  std::string word;
  int i = 0;
  while (in >> word)
    if (word != "/") c[i++] = std::stoi(word);
  return c;
}

// Empty when the offscreen picture shows the scene; otherwise the first
// pixels that differ.
std::string Differences(const fixtures::Board& board, const Scene& want) {
  const auto g = board.Offscreen()->Graphics();
  std::ostringstream out;
  int shown = 0;
  for (int y = 0; y < 198; ++y)
    for (int x = 0; x < 200; ++x) {
      const fw::Color got = g->Pixel(x, y), exp = want.At(x, y);
      if (!(got == exp) && shown++ < 4)
        out << " (" << x << "," << y << ") is " << std::hex << got.value << " not " << exp.value << std::dec;
    }
  return out.str();
}

class BoardDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFixtures(h.res);
    h.board->Left(kLeft);
    h.board->Top(kTop);
    h.board->Created.Attach([this] { h.board->CreateOffscreen(32, true); });
    h.Open();
  }
  BoardHarness h;
};

}  // namespace

TEST_F(BoardDrawing, EveryFrameOfAPushOfEachRow) {
  struct Case {
    int k;
    std::string afterRow, afterColumn;
  };
  const std::vector<Case> cases = {
      {0, "1 2 0 / 3 4 5 / 6 7 8", "1 2 0 / 3 4 5 / 6 7 8"},
      {1, "0 1 2 / 4 5 3 / 6 7 8", "0 1 3 / 4 5 2 / 6 7 8"},
      {2, "0 1 2 / 3 4 5 / 7 8 6", "0 1 6 / 3 4 2 / 7 8 5"},
  };
  const Cells solved = Parse("0 1 2 / 3 4 5 / 6 7 8");
  h.board->SetBlockPicture(0);
  for (const auto& c : cases) {
    SCOPED_TRACE("row " + std::to_string(c.k));
    h.board->GameReset();
    h.Tick();
    EXPECT_EQ(Differences(*h.board, AtRest(solved)), "") << "solved: each cell shows its own sheet cell";

    const auto frames = PushFrames(c.k, solved, Parse(c.afterRow), Parse(c.afterColumn));
    EXPECT_EQ(frames.size(), c.k == 0 ? 13u : 16u);
    h.board->Kick(c.k);
    for (size_t i = 0; i < frames.size(); ++i) {
      h.Tick();
      EXPECT_EQ(Differences(*h.board, frames[i]), "") << "tick " << i + 1;
    }
    EXPECT_EQ(h.board->Phase(), 0);
  }
}

TEST_F(BoardDrawing, NoTilesBeforeAPatternIsChosen) {
  const Scene backdropOnly;
  EXPECT_EQ(Differences(*h.board, backdropOnly), "") << "the frame drawn when the picture is made";
  h.board->Kick(1);
  for (int t = 1; t <= 16; ++t) {
    h.Tick();
    EXPECT_EQ(Differences(*h.board, backdropOnly), "") << "tick " << t;
  }
  // Tiles appear with the first frame after the choice, not at the choice.
  h.board->SetBlockPicture(0);
  EXPECT_EQ(Differences(*h.board, backdropOnly), "");
  h.Tick();
  EXPECT_EQ(Differences(*h.board, AtRest(Parse("0 1 3 / 4 5 2 / 6 7 8"))), "");
}

TEST_F(BoardDrawing, APatternChangeDuringAMoveShowsFromTheNextFrame) {
  const Cells solved = Parse("0 1 2 / 3 4 5 / 6 7 8");
  const auto frames = PushFrames(1, solved, Parse("0 1 2 / 4 5 3 / 6 7 8"), Parse("0 1 3 / 4 5 2 / 6 7 8"));
  h.board->SetBlockPicture(0);
  h.board->Kick(1);
  h.Tick();
  h.Tick();
  EXPECT_EQ(Differences(*h.board, frames[1]), "");

  h.board->SetBlockPicture(1);
  EXPECT_EQ(Differences(*h.board, frames[1]), "") << "no redraw at the choice";
  for (size_t i = 2; i < frames.size(); ++i) {
    h.Tick();
    Scene s = frames[i];
    s.sheet = 1;
    EXPECT_EQ(Differences(*h.board, s), "") << "tick " << i + 1;
  }
}

TEST(BoardDrawingWithoutBackdrop, AMissingBackdropGivesAWhiteGround) {
  BoardHarness h;
  WriteFixtures(h.res);
  h.res.Remove("BackPict.png");
  h.board->Left(kLeft);
  h.board->Top(kTop);
  h.Open();
  h.board->CreateOffscreen(32, true);
  h.board->SetBlockPicture(0);
  h.Tick();
  Scene s = AtRest(Parse("0 1 2 / 3 4 5 / 6 7 8"));
  s.backdrop = false;
  EXPECT_EQ(Differences(*h.board, s), "");

  // Once it is there, the next frame shows it.
  WriteFixtures(h.res);
  h.Tick();
  EXPECT_EQ(Differences(*h.board, AtRest(Parse("0 1 2 / 3 4 5 / 6 7 8"))), "");
}

TEST_F(BoardDrawing, AMissingTileSheetShowsTheBackdropAndMarker) {
  h.board->SetBlockPicture(3);  // no Tile3Pict.png
  EXPECT_FALSE(h.board->Sheet());
  h.board->Kick(0);
  h.Tick();
  Scene s;
  s.marker = std::make_pair(180, 4);
  EXPECT_EQ(Differences(*h.board, s), "");
  for (int t = 2; t <= 13; ++t) h.Tick();
  EXPECT_EQ(Differences(*h.board, Scene{}), "");
}

TEST_F(BoardDrawing, StepWithoutAnOffscreenPictureDrawsNothingAndGoesOn) {
  h.board->DisposeOffscreen();
  h.board->SetBlockPicture(0);
  h.board->Kick(2);
  for (int t = 0; t < 16; ++t) h.Tick();
  EXPECT_EQ(h.board->Rows(), "0 1 6 / 3 4 2 / 7 8 5");
  EXPECT_FALSE(h.board->Offscreen());
}

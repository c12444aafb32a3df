#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/engine/BoardFixture.h"

using fixtures::BoardHarness;

namespace {

const std::string kSolved = "0 1 2 / 3 4 5 / 6 7 8";

// Runs ticks until the move ends; returns how many it took.
int RunMove(BoardHarness& h) {
  int ticks = 0;
  do {
    h.Tick();
    ++ticks;
  } while (h.board->Phase() != 0 && ticks < 100);
  return ticks;
}

// Rnd values that push rows 0, 1 and 2 (r = 0, 1, 2 after x 10000).
constexpr double kRow[3] = {0.00005, 0.00015, 0.00025};

struct RandomSequence {
  explicit RandomSequence(std::vector<double> v) : values(std::move(v)) {
    fw::SetRandomSource([this] { return values[calls++ % values.size()]; });
  }
  ~RandomSequence() { fw::SetRandomSource({}); }
  std::vector<double> values;
  size_t calls = 0;
};

}  // namespace

TEST(Board, OpeningSolvesTheBoardTakesTheSoundsAndRaisesBlockMovedBeforeCreated) {
  BoardHarness h;
  h.board->Set({8, 7, 6, 5, 4, 3, 2, 1, 0});
  h.Open();
  EXPECT_EQ(h.board->Rows(), kSolved);
  EXPECT_EQ(h.TakeLog(), (std::vector<std::string>{"BlockMoved true", "Created"}));
  EXPECT_EQ(h.board->RefBlockPictIndex(), -1);
  ASSERT_TRUE(h.board->ItsPushSnd);
  EXPECT_EQ(h.board->ItsPushSnd, PushSnd());
  EXPECT_EQ(h.board->ItsBlockSnd, BlockSnd());
  EXPECT_TRUE(h.rec.entries().empty());
}

TEST(Board, EachRowsPushFollowsItsTickTable) {
  struct TickRow {
    int32_t phase, step;
    std::vector<std::string> log;
  };
  const std::vector<TickRow> lower = {
      {1, 1, {}},
      {1, 2, {}},
      {1, 3, {}},
      {1, 4, {}},
      {2, 0, {}},  // row committed
      {2, 1, {}},
      {2, 2, {}},
      {2, 3, {}},
      {2, 4, {}},
      {3, 0, {"queue BlockSnd 5"}},  // column committed
      {3, 1, {}},
      {3, 2, {}},
      {3, 3, {}},
      {3, 4, {}},
      {4, 4, {"queue BlockSnd 5"}},
      {0, 4, {"BlockMoved false", "OperationLock false"}},
  };
  const std::vector<TickRow> top = {
      {1, 1, {}},
      {1, 2, {}},
      {1, 3, {}},
      {1, 4, {}},
      {2, 0, {}},
      {2, 4, {}},  // nothing falls above the top row
      {3, 0, {}},
      {3, 1, {}},
      {3, 2, {}},
      {3, 3, {}},
      {3, 4, {}},
      {4, 4, {"queue BlockSnd 5"}},
      {0, 4, {"BlockMoved false", "OperationLock false"}},
  };
  struct Case {
    int32_t line;
    const std::vector<TickRow>* ticks;
    std::string afterRow, final;
    std::vector<std::string> sounds;
  };
  const std::vector<Case> cases = {
      {2, &lower, "0 1 2 / 3 4 5 / 7 8 6", "0 1 6 / 3 4 2 / 7 8 5", {"PushSnd", "BlockSnd", "BlockSnd"}},
      {1, &lower, "0 1 2 / 4 5 3 / 6 7 8", "0 1 3 / 4 5 2 / 6 7 8", {"PushSnd", "BlockSnd", "BlockSnd"}},
      {0, &top, "1 2 0 / 3 4 5 / 6 7 8", "1 2 0 / 3 4 5 / 6 7 8", {"PushSnd", "BlockSnd"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("row " + std::to_string(c.line));
    BoardHarness h;
    h.Open();
    h.TakeLog();

    h.board->Kick(c.line);
    EXPECT_EQ(h.TakeLog(), (std::vector<std::string>{"OperationLock true", "queue PushSnd 5"}));
    EXPECT_EQ(h.board->Phase(), 1);
    EXPECT_EQ(h.board->Step(), 0);
    EXPECT_EQ(h.board->Line(), c.line);
    EXPECT_EQ(h.board->Rows(), kSolved);  // Kick moves nothing

    for (size_t i = 0; i < c.ticks->size(); ++i) {
      SCOPED_TRACE("tick " + std::to_string(i + 1));
      const TickRow& t = (*c.ticks)[i];
      h.Tick();
      EXPECT_EQ(h.board->Phase(), t.phase);
      EXPECT_EQ(h.board->Step(), t.step);
      EXPECT_EQ(h.TakeLog(), t.log);
      if (t.phase == 2 && t.step == 0) {
        EXPECT_EQ(h.board->Rows(), c.afterRow);
      }
      if (i == 0) {
        // The push sound, queued between ticks, sounds right after tick 1.
        ASSERT_EQ(h.rec.entries().size(), 1u);
      }
    }
    EXPECT_EQ(h.board->Rows(), c.final);
    // What sounded, in order, identified by the sound data.
    std::vector<std::string> names;
    for (const auto& e : h.rec.entries()) {
      if (e.sound == PushSnd()->Data())
        names.push_back("PushSnd");
      else if (e.sound == BlockSnd()->Data())
        names.push_back("BlockSnd");
      else
        names.push_back("other");
    }
    EXPECT_EQ(names, c.sounds);
  }
}

TEST(Board, APushThatCompletesThePictureQueuesTheCompletionSoundBeforeItsEvents) {
  BoardHarness h;
  h.Open();
  h.board->Set({1, 2, 0, 3, 4, 5, 6, 7, 8});  // two more pushes of row 0 restore it
  h.board->Kick(0);
  RunMove(h);
  h.TakeLog();
  h.board->Kick(0);
  for (int i = 0; i < 12; ++i) h.Tick();
  h.TakeLog();

  // The last tick: sound first, then BlockMoved, then the unlock; the fields
  // still show phase 4 in both handlers.
  std::vector<int32_t> phases;
  h.onEvent = [&] { phases.push_back(h.board->Phase()); };
  h.Tick();
  EXPECT_EQ(h.TakeLog(),
            (std::vector<std::string>{"queue CompleteSnd 4", "BlockMoved true", "OperationLock false"}));
  EXPECT_EQ(phases, (std::vector<int32_t>{4, 4}));
  EXPECT_EQ(h.board->Phase(), 0);
  EXPECT_EQ(h.board->Rows(), kSolved);
  ASSERT_FALSE(h.rec.entries().empty());
  EXPECT_EQ(h.rec.entries().back().sound, CompleteSnd()->Data());
}

TEST(Board, OperationLockTrueIsRaisedBeforeKickChangesAnything) {
  BoardHarness h;
  h.Open();
  std::vector<std::string> seen;
  h.onEvent = [&] {
    seen.push_back(std::to_string(h.board->Phase()) + "," + std::to_string(h.board->Step()) + "," +
                   std::to_string(h.board->Line()));
  };
  h.board->Kick(2);
  EXPECT_EQ(seen, std::vector<std::string>{"0,0,0"});
}

TEST(Board, CallsDuringAMoveAreIgnoredWithoutEventOrSound) {
  for (int32_t line : {0, 1, 2}) {
    SCOPED_TRACE(line);
    BoardHarness h;
    h.Open();
    h.board->Kick(line);
    h.TakeLog();
    while (true) {
      const std::string rows = h.board->Rows();
      const int32_t phase = h.board->Phase(), step = h.board->Step();
      for (int32_t other : {0, 1, 2}) h.board->Kick(other);
      h.board->GameStart();
      h.board->GameReset();
      EXPECT_TRUE(h.log.empty()) << "phase " << phase << " step " << step;
      EXPECT_EQ(h.board->Rows(), rows);
      EXPECT_EQ(h.board->Phase(), phase);
      EXPECT_EQ(h.board->Step(), step);
      EXPECT_EQ(h.board->Line(), line);
      h.Tick();
      h.TakeLog();
      if (h.board->Phase() == 0) break;
    }
  }
}

TEST(Board, RowsOutsideTheBoardAreIgnored) {
  BoardHarness h;
  h.Open();
  h.TakeLog();
  for (int32_t line : {-1, 3, 100, INT32_MIN}) {
    h.board->Kick(line);
    h.Tick();
  }
  EXPECT_TRUE(h.log.empty());
  EXPECT_EQ(h.board->Phase(), 0);
  EXPECT_EQ(h.board->Rows(), kSolved);
}

TEST(Board, ThreeFourAndFivePushesOfRowsZeroOneTwoGiveTheBoardBack) {
  std::mt19937 gen(7);
  for (int trial = 0; trial < 5; ++trial) {
    BoardHarness h;
    h.Open();
    std::array<int32_t, 9> cells{0, 1, 2, 3, 4, 5, 6, 7, 8};
    std::shuffle(cells.begin(), cells.end(), gen);
    h.board->Set(cells);
    const std::string start = h.board->Rows();
    for (int32_t line : {0, 1, 2}) {
      SCOPED_TRACE("row " + std::to_string(line));
      for (int32_t i = 0; i < line + 3; ++i) {
        h.board->Kick(line);
        RunMove(h);
        if (i + 1 < line + 3) {
          EXPECT_NE(h.board->Rows(), start);
        }
      }
      EXPECT_EQ(h.board->Rows(), start);
    }
  }
}

TEST(Board, ShuffleMakes101RandomPushesFromTheSolvedBoardWithoutAnimationOrSound) {
  // Rows chosen by r mod 3: 0 -> row 0, 1 -> row 1, 2 -> row 2; r = 9999 gives 0.
  std::vector<double> rnd;
  std::mt19937 gen(11);
  for (int i = 0; i < 101; ++i) rnd.push_back(std::uniform_real_distribution<double>(0.0, 1.0)(gen));
  RandomSequence random(rnd);

  // The same pushes, animated one after the other from the solved board.
  BoardHarness animated;
  animated.Open();
  for (double v : rnd) {
    animated.board->Kick(static_cast<int32_t>(v * 10000.0) % 3);
    RunMove(animated);
  }

  BoardHarness h;
  h.Open();
  h.board->Set({8, 7, 6, 5, 4, 3, 2, 1, 0});  // not where the shuffle starts
  h.TakeLog();
  random.calls = 0;
  h.board->GameStart();
  EXPECT_EQ(random.calls, 101u);
  EXPECT_EQ(h.board->Rows(), animated.board->Rows());
  EXPECT_EQ(h.TakeLog(), std::vector<std::string>{"BlockMoved false"});
  EXPECT_EQ(h.board->Phase(), 0);
  h.appl->ItsSoundPlayer->PlayQueue();
  EXPECT_TRUE(h.rec.entries().empty());
}

TEST(Board, ShuffleThatHappensToSolveRaisesBlockMovedTrueWithoutCompletionSound) {
  // 96 pushes of row 0 and 5 of row 2: each group gives the board back.
  std::vector<double> rnd(96, kRow[0]);
  rnd.insert(rnd.end(), 5, kRow[2]);
  rnd[10] = 0.9999;  // r = 9999: also row 0
  RandomSequence random(rnd);
  BoardHarness h;
  h.Open();
  h.TakeLog();
  h.board->GameStart();
  EXPECT_EQ(h.board->Rows(), kSolved);
  EXPECT_EQ(h.TakeLog(), std::vector<std::string>{"BlockMoved true"});
}

TEST(Board, ResetSolvesAtOnceAndAlwaysRaisesBlockMovedTrueWithoutSound) {
  BoardHarness h;
  h.Open();
  h.TakeLog();
  h.board->GameReset();
  EXPECT_EQ(h.TakeLog(), std::vector<std::string>{"BlockMoved true"});
  h.board->Set({3, 1, 2, 0, 4, 5, 6, 8, 7});
  h.board->GameReset();
  EXPECT_EQ(h.board->Rows(), kSolved);
  EXPECT_EQ(h.TakeLog(), std::vector<std::string>{"BlockMoved true"});
  EXPECT_EQ(h.board->Phase(), 0);
  EXPECT_EQ(h.board->Line(), 0);
}

TEST(Board, IdleStepChangesNothingButRedraws) {
  BoardHarness h;
  h.Open();
  h.board->Set({2, 0, 1, 3, 4, 5, 6, 7, 8});
  h.TakeLog();
  const int before = h.board->refreshes;
  for (int i = 0; i < 3; ++i) h.Tick();
  EXPECT_EQ(h.board->refreshes, before + 3);
  EXPECT_EQ(h.board->Rows(), "2 0 1 / 3 4 5 / 6 7 8");
  EXPECT_EQ(h.board->Phase(), 0);
  EXPECT_EQ(h.board->Step(), 0);
  EXPECT_TRUE(h.log.empty());
}

TEST(Board, MissingSoundsLeaveTheMoveSilent) {
  BoardHarness h(/*withSounds=*/false);
  h.Open();
  EXPECT_FALSE(h.board->ItsPushSnd);
  h.board->Set({1, 2, 0, 3, 4, 5, 6, 7, 8});
  h.board->Kick(0);
  RunMove(h);
  h.board->Kick(0);
  EXPECT_EQ(RunMove(h), 13);
  EXPECT_EQ(h.board->Rows(), kSolved);
  EXPECT_TRUE(h.rec.entries().empty());
}

// Whatever the calls and their order, the board holds each tile once.
TEST(Board, StaysAPermutationUnderRandomCallSequences) {
  BoardHarness h;
  h.Open();
  std::mt19937 gen(2024);
  for (int sequence = 0; sequence < 300; ++sequence) {
    for (int call = 0; call < 120; ++call) {
      switch (gen() % 8) {
        case 0:
        case 1:
          h.board->Kick(static_cast<int32_t>(gen() % 5) - 1);  // -1..3, some outside the board
          break;
        case 2: h.board->GameStart(); break;
        case 3: h.board->GameReset(); break;
        case 4: h.board->SetBlockPicture(static_cast<int32_t>(gen() % 6) - 1); break;
        default: h.Tick(); break;
      }
      ASSERT_TRUE(h.board->IsPermutation()) << h.board->Rows() << " (sequence " << sequence << ")";
      ASSERT_GE(h.board->Phase(), 0);
      ASSERT_LE(h.board->Phase(), 4);
      ASSERT_GE(h.board->Step(), 0);
      ASSERT_LE(h.board->Step(), 4);
    }
    h.log.clear();
  }
}

TEST(Board, PatternChoice) {
  BoardHarness h;
  for (int n = 0; n < 4; ++n)
    h.res.Write("Tile" + std::to_string(n) + "Pict.png", fixtures::SolidPng(192 + n, 192, fw::RGB(n, n, n)));
  h.Open();
  EXPECT_EQ(h.board->RefBlockPictIndex(), -1);
  struct Case {
    int32_t asked, index, sheetWidth;
  };
  for (const Case c : {Case{1, 1, 193}, Case{2, 2, 194}, Case{3, 3, 195}, Case{0, 0, 192}, Case{7, 0, 192},
                       Case{2, 2, 194}, Case{-1, 0, 192}, Case{4, 0, 192}}) {
    h.board->SetBlockPicture(c.asked);
    EXPECT_EQ(h.board->RefBlockPictIndex(), c.index) << c.asked;
    ASSERT_TRUE(h.board->Sheet());
    EXPECT_EQ(h.board->Sheet()->Width(), c.sheetWidth) << c.asked;
  }
  // It works during a move, and the move goes on.
  h.board->Kick(1);
  h.Tick();
  h.board->SetBlockPicture(3);
  EXPECT_EQ(h.board->RefBlockPictIndex(), 3);
  EXPECT_EQ(h.board->Phase(), 1);
  EXPECT_EQ(h.board->Step(), 1);
}

// A long random game on a virtual display: clicks on every button, the Game
// menu's commands and shortcuts, opened and dismissed menus. The game must
// stay up, the board must always hold each tile once when it comes to rest,
// and its memory must stay flat. 30 s here; scripts/soak.sh runs 10 minutes.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "tests/e2e/Screen.h"

using namespace std::chrono_literals;

namespace {

int SoakSeconds() {
  const char* s = std::getenv("PANDRISK_SOAK_SECONDS");
  return s ? std::max(5, std::atoi(s)) : 30;
}

// True when the board reads as nine different tiles.
bool IsPermutation(const std::string& rows) {
  std::set<char> tiles;
  for (char c : rows)
    if (c >= '0' && c <= '8') tiles.insert(c);
  return tiles.size() == 9 && rows.find('?') == std::string::npos;
}

}  // namespace

TEST(Soak, RandomPlayKeepsTheBoardWholeAndMemoryFlat) {
  e2e::GameScreen g;
  if (!g.display().Ok()) GTEST_SKIP() << "no virtual display (Xvfb)";
  ASSERT_TRUE(g.Ok()) << g.process().Log();
  std::mt19937 rng(20261210);
  int pattern = 0;
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::seconds(SoakSeconds());
  double rssWarm = 0, rssMax = 0;
  int actions = 0, checks = 0;
  while (std::chrono::steady_clock::now() < end) {
    switch (rng() % 8) {
      case 0:
      case 1:
      case 2: g.ClickRow(static_cast<int>(rng() % 3)); break;
      case 3: g.ClickShuffle(); break;
      case 4: g.ClickAlign(); break;
      case 5: g.Key(rng() % 2 ? "ctrl+t" : "ctrl+r"); break;
      case 6:
        pattern = static_cast<int>(rng() % 4);
        g.Key("ctrl+" + std::to_string(pattern));
        break;
      case 7:
        g.OpenMenu(static_cast<int>(rng() % 4));
        g.display().Xdotool("key Escape Escape");
        break;
    }
    ++actions;
    ASSERT_TRUE(g.process().Running()) << g.process().Log();
    if (actions % 5 == 0) {
      // Once any push has ended, the board must hold each tile once.
      const auto settle = std::chrono::steady_clock::now() + 3s;
      std::string rows;
      while (std::chrono::steady_clock::now() < settle) {
        const e2e::Image img = g.Shot();
        rows = g.Board(img, pattern);
        if (g.RowButtonsShow(img, "ButtonPictN.png") && IsPermutation(rows)) break;
        std::this_thread::sleep_for(50ms);
      }
      EXPECT_TRUE(IsPermutation(rows)) << rows << " after " << actions << " actions";
      ++checks;
      const double rss = e2e::RssMiB(g.process().pid());
      if (rssWarm == 0 && std::chrono::steady_clock::now() - start > std::chrono::seconds(SoakSeconds() / 5))
        rssWarm = rss;
      rssMax = std::max(rssMax, rss);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100 + rng() % 400));
  }
  const double rssEnd = e2e::RssMiB(g.process().pid());
  std::printf("soak: %d actions, %d board checks, resident memory warm %.1f MiB, max %.1f MiB, end %.1f MiB\n",
              actions, checks, rssWarm, rssMax, rssEnd);
  // Flat: what the game holds after warming up does not grow with play.
  // (Under AddressSanitizer freed memory is held back on purpose.)
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(rssEnd - rssWarm, 4.0);
#endif
  g.Key("ctrl+q");
  EXPECT_EQ(g.process().Wait(10000), 0) << g.process().Log();
}

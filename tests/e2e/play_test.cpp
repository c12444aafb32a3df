// The real binary on a virtual display with a window manager, played with
// the mouse and the keyboard, and read back from the screen.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "app/PrefsFile.h"
#include "tests/e2e/Screen.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kSolved = "0 1 2 / 3 4 5 / 6 7 8";

std::string ScreenshotDir() {
  const std::string dir = std::string(PANDRISK_BINARY_DIR) + "/screenshots";
  fs::create_directories(dir);
  return dir;
}

#define START_GAME(name, ...)                                            \
  e2e::GameScreen name{__VA_ARGS__};                                     \
  if (!name.display().Ok()) GTEST_SKIP() << "no virtual display (Xvfb)"; \
  ASSERT_TRUE(name.Ok()) << name.process().Log()

// What the screen showed while a push ran: whether the row buttons were
// seen disabled, whether a frame between the two boards was seen, and the
// board at the end.
struct PushSeen {
  bool disabledSeen = false;
  bool betweenSeen = false;
  std::string end;
};

PushSeen WatchPush(e2e::GameScreen& g, const std::string& expected, int pattern = 0) {
  PushSeen seen;
  const auto end = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < end) {
    const e2e::Image img = g.Shot();
    const std::string board = g.Board(img, pattern);
    if (g.RowButtonsShow(img, "ButtonPictD.png")) seen.disabledSeen = true;
    if (board != expected && board != kSolved) seen.betweenSeen = true;
    if (board == expected && g.RowButtonsShow(img, "ButtonPictN.png")) break;
  }
  seen.end = g.Board(pattern);
  return seen;
}

}  // namespace

TEST(Play, TheWindowIsFixedAndOpensOnTheSolvedPicture) {
  START_GAME(g);
  const e2e::Image img = g.Shot();
  EXPECT_EQ(g.Board(img, 0), kSolved);
  EXPECT_TRUE(g.MarkerShown(img));
  EXPECT_TRUE(g.RowButtonsShow(img, "ButtonPictN.png"));
  const std::string hints = e2e::Run("DISPLAY=" + g.display().Name() + " xprop -id " + g.Window() +
                                     " WM_NORMAL_HINTS");
  const std::string size = "236 by " + std::to_string(216 + g.MenuHeight());
  EXPECT_NE(hints.find("minimum size: " + size), std::string::npos) << hints;
  EXPECT_NE(hints.find("maximum size: " + size), std::string::npos) << hints;
  g.display().Xdotool("windowsize " + g.Window() + " 500 400");
  std::this_thread::sleep_for(500ms);
  int w = 0, h = 0;
  g.display().Geometry(g.Window(), nullptr, nullptr, &w, &h);
  EXPECT_EQ(w, 236);
  EXPECT_EQ(h, 216 + g.MenuHeight());
  g.SaveScreen(ScreenshotDir() + "/game-window.png");
}

class PushRow : public ::testing::TestWithParam<std::pair<int, std::string>> {};

TEST_P(PushRow, AnimatesWithTheButtonsLockedAndEndsAsTheRulesSay) {
  START_GAME(g);
  const auto [row, expected] = GetParam();
  g.ClickRow(row);
  const PushSeen seen = WatchPush(g, expected);
  EXPECT_TRUE(seen.disabledSeen);
  EXPECT_TRUE(seen.betweenSeen);
  EXPECT_EQ(seen.end, expected);
  const e2e::Image img = g.Shot();
  EXPECT_TRUE(g.RowButtonsShow(img, "ButtonPictN.png"));
  EXPECT_FALSE(g.MarkerShown(img));  // hidden at the click, and the picture is not whole
}

INSTANTIATE_TEST_SUITE_P(Rows, PushRow,
                         ::testing::Values(std::make_pair(0, std::string("1 2 0 / 3 4 5 / 6 7 8")),
                                           std::make_pair(1, std::string("0 1 3 / 4 5 2 / 6 7 8")),
                                           std::make_pair(2, std::string("0 1 6 / 3 4 2 / 7 8 5"))),
                         [](const auto& info) { return "Row" + std::to_string(info.param.first); });

TEST(Play, ThreePushesOfTheTopRowCompleteThePictureAndShowTheMarker) {
  START_GAME(g);
  for (const char* expected : {"1 2 0 / 3 4 5 / 6 7 8", "2 0 1 / 3 4 5 / 6 7 8", "0 1 2 / 3 4 5 / 6 7 8"}) {
    g.ClickRow(0);
    EXPECT_EQ(WatchPush(g, expected).end, expected);
  }
  std::this_thread::sleep_for(200ms);
  EXPECT_TRUE(g.MarkerShown(g.Shot()));
}

TEST(Play, ShuffleAlignAndPatternsFromButtonsAndShortcuts) {
  START_GAME(g);
  g.ClickShuffle();
  std::this_thread::sleep_for(300ms);
  e2e::Image img = g.Shot();
  EXPECT_NE(g.Board(img, 0), kSolved);
  EXPECT_EQ(g.Board(img, 0).find('?'), std::string::npos);  // nine tiles, each one of the sheet
  EXPECT_FALSE(g.MarkerShown(img));
  g.ClickAlign();
  EXPECT_TRUE(g.WaitForBoard(kSolved, 0));
  EXPECT_TRUE(g.MarkerShown(g.Shot()));

  g.Key("ctrl+t");
  std::this_thread::sleep_for(300ms);
  EXPECT_NE(g.Board(0), kSolved);
  g.Key("ctrl+r");
  EXPECT_TRUE(g.WaitForBoard(kSolved, 0));
  for (int k : {1, 2, 3, 0}) {
    g.Key("ctrl+" + std::to_string(k));
    EXPECT_TRUE(g.WaitForBoard(kSolved, k)) << "pattern " << k;
  }
}

TEST(Play, TheGameMenuByMouseAndKeys) {
  START_GAME(g);
  g.OpenMenu(2);
  g.SaveScreen(ScreenshotDir() + "/game-menu.png");
  // A menu opened from its neighbour's has its first item selected.
  g.display().Xdotool("key Return");  // shuffle
  std::this_thread::sleep_for(300ms);
  EXPECT_NE(g.Board(0), kSolved);
  g.OpenMenu(2);
  g.display().Xdotool("key Down Return");  // align
  EXPECT_TRUE(g.WaitForBoard(kSolved, 0));
  // Down past align and the current pattern (disabled) to "numbers".
  g.OpenMenu(2);
  g.display().Xdotool("key Down Down Return");
  EXPECT_TRUE(g.WaitForBoard(kSolved, 1));
}

TEST(Play, APatternChosenDuringAMoveShowsAtOnce) {
  START_GAME(g);
  g.ClickRow(2);
  std::this_thread::sleep_for(250ms);
  g.Key("ctrl+2");
  const PushSeen seen = WatchPush(g, "0 1 6 / 3 4 2 / 7 8 5", 2);
  EXPECT_EQ(seen.end, "0 1 6 / 3 4 2 / 7 8 5");
}

TEST(Play, VolumeAndPatternChosenInOneRunAreThereInTheNext) {
  testsupport::TempDir config;
  const std::string prefs = config.File(kPrefsFileName);
  {
    START_GAME(g, {{"XDG_CONFIG_HOME", config.path()}});
    g.OpenMenu(2);
    // From shuffle past align and the three patterns that are not current to
    // the sound submenu, opened with Right.
    g.display().Xdotool("key Down Down Down Down Down Right");
    std::this_thread::sleep_for(300ms);
    g.SaveScreen(ScreenshotDir() + "/volume-menu.png");
    // The loudest level is current and disabled, so the submenu opens on the
    // second item; one Down more is the third ("C").
    g.display().Xdotool("key Down Return");
    std::this_thread::sleep_for(300ms);
    g.Key("ctrl+2");
    std::this_thread::sleep_for(300ms);
    g.Key("ctrl+q");
    EXPECT_EQ(g.process().Wait(10000), 0);
    EXPECT_EQ(testsupport::ReadFile(prefs), "00C2");
  }
  START_GAME(g, {{"XDG_CONFIG_HOME", config.path()}});
  EXPECT_TRUE(g.WaitForBoard(kSolved, 2));  // the flower
  g.OpenMenu(2);
  g.display().Xdotool("key Down Down Down Down Down Right");
  std::this_thread::sleep_for(300ms);
  g.SaveScreen(ScreenshotDir() + "/volume-menu-restored.png");
  g.display().Xdotool("key Escape Escape");
  g.Key("ctrl+q");
  EXPECT_EQ(g.process().Wait(10000), 0);
  EXPECT_EQ(testsupport::ReadFile(prefs), "00C2");  // nothing changed, nothing written
}

TEST(Play, ClosingTheGameWindowClosesHelpAndQuits) {
  START_GAME(g);
  g.OpenMenu(3);
  g.display().Xdotool("key Down Return");  // past About, to Help
  const std::string help = g.display().FindWindow("Pandriskの説明", 5000);
  ASSERT_FALSE(help.empty());
  g.display().Xdotool("windowactivate --sync " + g.Window());
  g.display().Xdotool("key alt+F4");  // the window manager's close
  EXPECT_EQ(g.process().Wait(10000), 0);
  EXPECT_EQ(testsupport::ReadFile(g.PrefsFile()), "0010");
}

// The game beside a resources folder with one file missing (or none at
// all), or with something that is no file in its place, still starts, plays
// and quits. "<name> as a FIFO" puts a named pipe in the file's place (an
// open of it would wait for a writer for ever), "<name> linked to /dev/zero"
// a link to a device that never ends.
class MissingResource : public ::testing::TestWithParam<std::string> {};

TEST_P(MissingResource, TheGameStillPlays) {
  testsupport::TempDir app;
  const std::string binary = e2e::InstallGame(app.path());
  const std::string param = GetParam();
  if (param == "(the whole folder)") {
    fs::remove_all(app.File("resources"));
  } else {
    const std::string name = param.substr(0, param.find(' '));
    const std::string file = app.File("resources/" + name);
    ASSERT_TRUE(fs::remove(file));
    if (param == name + " as a FIFO") {
      ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);
    }
    if (param == name + " linked to /dev/zero") fs::create_symlink("/dev/zero", file);
  }
  START_GAME(g, {}, binary);
  g.ClickRow(2);
  std::this_thread::sleep_for(1600ms);
  g.ClickShuffle();
  g.Key("ctrl+3");
  g.ClickRow(1);
  std::this_thread::sleep_for(500ms);
  g.Key("ctrl+q");
  EXPECT_EQ(g.process().Wait(10000), 0) << g.process().Log();
  EXPECT_EQ(g.process().Log().find("unhandled"), std::string::npos) << g.process().Log();
  EXPECT_EQ(testsupport::ReadFile(g.PrefsFile()), "0013");
}

INSTANTIATE_TEST_SUITE_P(Resources, MissingResource,
                         ::testing::Values("(the whole folder)", "Application.rsrc", "Application.rsrc as a FIFO",
                                           "Application.rsrc linked to /dev/zero", "SilenceSnd.wav",
                                           "SoundVolSnd.wav", "PushSnd.wav", "BlockSnd.wav", "CompleteSnd.wav",
                                           "IconPict.png", "DrevakonPict.png", "TargetSystemPict.png",
                                           "BackPict.png", "ButtonPictN.png", "ButtonPictR.png", "ButtonPictD.png",
                                           "ButtonPictM.png", "PushPict.png", "StartBtnPictN.png",
                                           "StartBtnPictR.png", "ResetBtnPictN.png", "ResetBtnPictR.png",
                                           "Tile0Pict.png", "Tile1Pict.png", "Tile2Pict.png", "Tile3Pict.png",
                                           "CompletePict.png"),
                         [](const auto& info) {
                           std::string n;
                           for (char c : info.param)
                             if (std::isalnum(static_cast<unsigned char>(c))) n += c;
                           return n;
                         });

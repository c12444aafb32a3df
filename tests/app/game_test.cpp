// The whole game in one process: the real start-up routine, the game window
// driven through real mouse and key events, ticks raised one at a time, the
// sounds recorded and the settings kept in a temporary preferences folder.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "app/AboutWindow.h"
#include "app/App.h"
#include "app/AppMenuItems.h"
#include "app/ApplPreferences.h"
#include "app/HelpWindow.h"
#include "app/Menu.h"
#include "app/PrefsFile.h"
#include "app/Startup.h"
#include "engine/GameField.h"
#include "engine/Media.h"
#include "engine/PeriodicTimer.h"
#include "engine/SoundPlayer.h"
#include "framework/Application.h"
#include "framework/FolderItem.h"
#include "framework/Menu.h"
#include "framework/Sound.h"
#include "framework/Testing.h"
#include "framework/Time.h"
#include "framework/Window.h"
#include "tests/support/TestSupport.h"
#include "window/MainWindow.h"
#include "window/PictureButton.h"

using Board = std::array<std::array<int32_t, 3>, 3>;

namespace {

// The board's cells, read through a pointer to the protected member.
struct BoardPeek : GameField {
  static Board Of(GameField& g) { return g.*(&BoardPeek::ItsBlocks); }
};

// Rows top to bottom, as the tables of the game's rules write them.
std::string Rows(const Board& b) {
  std::string s;
  for (int y = 0; y < 3; ++y) {
    if (y) s += " / ";
    for (int x = 0; x < 3; ++x) s += std::to_string(b[x][y]) + (x < 2 ? " " : "");
  }
  return s;
}

class Game : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::SetPreferencesFolder(prefs.path());
    fw::SetResourcesFolder(testsupport::SourceResourcesDir());
    sounds = std::make_shared<fw::RecordingSoundOutput>();
    fw::SetSoundOutput(sounds);
  }
  // The release routine of a real run.
  void TearDown() override {
    Finalize();
    fw::SetSoundOutput(nullptr);
  }

  // Start-up as the main routine does it, up to the event loop; the clock is
  // then stopped so that the test raises each tick itself.
  void Start() {
    Initialize();
    fw::RunFrameworkInitialization(Startup);
    fw::testing::StartApplication();
    w = MainWindow::Instance();
    w->GameHeltz()->TimerStop();
    fw::testing::ProcessEvents();
  }
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) w->GameHeltz()->PeriodicAction.Raise(0);
  }
  Board BoardNow() { return BoardPeek::Of(*w->TheGameField()); }
  bool RowButtonsEnabled() {
    return w->KickButton(0)->RefButtonEnable() && w->KickButton(1)->RefButtonEnable() &&
           w->KickButton(2)->RefButtonEnable();
  }
  bool MarkerShown() { return w->CompleteDisplay()->Backdrop() != nullptr; }
  // Row button k's centre in window coordinates.
  void ClickRow(int k) { fw::testing::Click(w, 216, 36 + 64 * k); }
  std::vector<std::string> SoundNames() {
    std::vector<std::string> names;
    for (const auto& e : sounds->entries)
      if (e.name != "SilenceSnd.wav") names.push_back(e.name);
    return names;
  }
  std::string Record() { return App()->ItsPrefs->GetData(); }

  testsupport::TempDir prefs;
  std::shared_ptr<fw::RecordingSoundOutput> sounds;
  fw::Ref<MainWindow> w;
};

}  // namespace

TEST_F(Game, FirstRunStartsSolvedWithDefaultsAndMarksTheMenus) {
  Start();
  EXPECT_EQ(Record(), "10");
  EXPECT_EQ(Rows(BoardNow()), "0 1 2 / 3 4 5 / 6 7 8");
  EXPECT_TRUE(MarkerShown());
  EXPECT_TRUE(RowButtonsEnabled());
  EXPECT_EQ(w->TheGameField()->RefBlockPictIndex(), 0);
  fw::UpdateMenus();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(w->GameMenuBlock(i)->Checked(), i == 0) << i;
    EXPECT_EQ(w->GameMenuBlock(i)->Enabled(), i != 0) << i;
  }
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(GameMenuSoundVol(i)->Checked(), i == 0) << i;
    EXPECT_EQ(GameMenuSoundVol(i)->Enabled(), i != 0) << i;
  }
  EXPECT_TRUE(w->GameMenuStart()->Enabled());
  EXPECT_TRUE(w->GameMenuReset()->Enabled());
  EXPECT_FALSE(Menu::Instance()->Lookup("EditCopy")->Enabled());
  EXPECT_FALSE(Menu::Instance()->Lookup("FileClose")->Enabled());
}

TEST_F(Game, APushAnimatesOverItsTicksWithItsSoundsAndLocksTheRowButtons) {
  struct Case {
    int row, ticks;
    std::string result;
    std::vector<int> landings;  // ticks after which a landing sound plays
  };
  const Case cases[] = {
      {2, 16, "0 1 6 / 3 4 2 / 7 8 5", {10, 15}},
      {1, 16, "0 1 3 / 4 5 2 / 6 7 8", {10, 15}},
      {0, 13, "1 2 0 / 3 4 5 / 6 7 8", {12}},
  };
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE("row " + std::to_string(c.row));
    fw::testing::Click(w, 80, 206);  // the align button
    ASSERT_EQ(Rows(BoardNow()), "0 1 2 / 3 4 5 / 6 7 8");
    sounds->entries.clear();
    ClickRow(c.row);
    EXPECT_FALSE(MarkerShown());  // hidden at the click
    EXPECT_FALSE(RowButtonsEnabled());
    std::vector<std::string> expected;
    for (int t = 1; t <= c.ticks; ++t) {
      Tick();
      if (t == 1) expected.push_back("PushSnd.wav");
      for (int l : c.landings)
        if (t == l) expected.push_back("BlockSnd.wav");
      EXPECT_EQ(SoundNames(), expected) << "after tick " << t;
      EXPECT_EQ(RowButtonsEnabled(), t == c.ticks) << "after tick " << t;
    }
    EXPECT_EQ(Rows(BoardNow()), c.result);
    EXPECT_FALSE(MarkerShown());  // the push left the picture incomplete
  }
}

TEST_F(Game, ClicksDuringAMoveAreIgnoredAndAPushThatCompletesShowsTheMarker) {
  Start();
  ClickRow(0);
  Tick(5);
  ClickRow(1);  // disabled: no second push
  Tick(8);
  EXPECT_EQ(Rows(BoardNow()), "1 2 0 / 3 4 5 / 6 7 8");
  ClickRow(0);
  Tick(13);
  sounds->entries.clear();
  ClickRow(0);
  Tick(12);
  EXPECT_FALSE(MarkerShown());
  Tick();
  EXPECT_EQ(Rows(BoardNow()), "0 1 2 / 3 4 5 / 6 7 8");
  EXPECT_TRUE(MarkerShown());
  EXPECT_EQ(SoundNames(), (std::vector<std::string>{"PushSnd.wav", "BlockSnd.wav", "CompleteSnd.wav"}));
}

TEST_F(Game, ShuffleAndAlignFromButtonsMenusAndShortcuts) {
  Start();
  fw::SetRandomSource([] { return 0.5; });  // every push of the shuffle is of row 2
  fw::testing::Click(w, 30, 206);           // the shuffle button
  const std::string shuffled = Rows(BoardNow());
  EXPECT_NE(shuffled, "0 1 2 / 3 4 5 / 6 7 8");
  EXPECT_FALSE(MarkerShown());
  fw::testing::Click(w, 80, 206);  // the align button
  EXPECT_EQ(Rows(BoardNow()), "0 1 2 / 3 4 5 / 6 7 8");
  EXPECT_TRUE(MarkerShown());

  fw::testing::KeyPress(w, "t", true);
  EXPECT_EQ(Rows(BoardNow()), shuffled);
  fw::testing::KeyPress(w, "r", true);
  EXPECT_EQ(Rows(BoardNow()), "0 1 2 / 3 4 5 / 6 7 8");

  EXPECT_TRUE(fw::DispatchMenuCommand(w->GameMenuStart()));
  EXPECT_EQ(Rows(BoardNow()), shuffled);
  EXPECT_FALSE(MarkerShown());
  EXPECT_TRUE(fw::DispatchMenuCommand(w->GameMenuReset()));
  EXPECT_TRUE(MarkerShown());
  fw::SetRandomSource(nullptr);
}

TEST_F(Game, ShuffleAndAlignDuringAMoveOnlyHideTheMarker) {
  Start();
  ClickRow(0);
  Tick(3);
  fw::testing::KeyPress(w, "r", true);
  fw::testing::Click(w, 30, 206);
  EXPECT_FALSE(MarkerShown());
  Tick(10);
  EXPECT_EQ(Rows(BoardNow()), "1 2 0 / 3 4 5 / 6 7 8");
  EXPECT_TRUE(RowButtonsEnabled());
}

TEST_F(Game, PatternsFromMenuAndShortcutsAreKeptInTheRecord) {
  Start();
  for (int k : {3, 1, 2, 0}) {
    fw::testing::KeyPress(w, std::to_string(k), true);
    EXPECT_EQ(w->TheGameField()->RefBlockPictIndex(), k);
    EXPECT_EQ(Record(), "1" + std::to_string(k));
    fw::UpdateMenus();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(w->GameMenuBlock(i)->Checked(), i == k);
  }
  // The current pattern's item is disabled, so its shortcut does nothing.
  EXPECT_FALSE(w->GameMenuBlock(0)->Enabled());
}

TEST_F(Game, APatternChosenDuringAMoveShowsFromTheNextFrame) {
  Start();
  auto cellColour = [&](int x, int y) { return fw::testing::GrabWindow(w)->Graphics()->Pixel(x, y); };
  ClickRow(2);
  Tick(2);
  const fw::Color before = cellColour(100, 36);  // row 0's middle tile, at rest
  EXPECT_TRUE(fw::DispatchMenuCommand(w->GameMenuBlock(1)));
  EXPECT_EQ(cellColour(100, 36), before);  // not redrawn until the next tick
  Tick();
  EXPECT_NE(cellColour(100, 36), before);
  Tick(13);
  EXPECT_EQ(Rows(BoardNow()), "0 1 6 / 3 4 2 / 7 8 5");
}

TEST_F(Game, VolumeChoicePlaysTheSampleAtItsLevelAndMarksItsItem) {
  Start();
  sounds->entries.clear();
  EXPECT_TRUE(fw::DispatchMenuCommand(GameMenuSoundVol(2)));
  ASSERT_EQ(sounds->entries.size(), 1u);
  EXPECT_EQ(sounds->entries[0].name, "SoundVolSnd.wav");
  EXPECT_EQ(sounds->entries[0].volume, 50);
  EXPECT_EQ(Record(), "C0");
  fw::UpdateMenus();
  for (int i = 0; i < 10; ++i) EXPECT_EQ(GameMenuSoundVol(i)->Checked(), i == 2) << i;
  // Mute: the sample does not sound and the code is "0".
  sounds->entries.clear();
  EXPECT_TRUE(fw::DispatchMenuCommand(GameMenuSoundVol(9)));
  EXPECT_TRUE(sounds->entries.empty());
  EXPECT_EQ(Record(), "00");
  ClickRow(1);
  Tick(16);
  EXPECT_TRUE(sounds->entries.empty());
}

TEST_F(Game, StoredSettingsAreRestored) {
  testsupport::WriteFile(prefs.File(kPrefsFileName), "00C2");
  fw::FolderItem(prefs.File(kPrefsFileName)).MacType(kPrefsFileType);
  fw::FolderItem(prefs.File(kPrefsFileName)).MacCreator(kAppCreator);
  Start();
  EXPECT_EQ(Record(), "C2");
  EXPECT_EQ(App()->ItsSoundPlayer->RefVolume(), 2);
  EXPECT_EQ(w->TheGameField()->RefBlockPictIndex(), 2);
}

TEST_F(Game, ClosingTheGameWindowClosesHelpQuitsAndSaves) {
  Start();
  fw::testing::KeyPress(w, "2", true);
  EXPECT_TRUE(fw::DispatchMenuCommand(Menu::Instance()->Lookup("HelpApp")));
  EXPECT_TRUE(fw::DispatchMenuCommand(Menu::Instance()->Lookup("HelpApp")));
  EXPECT_EQ(fw::WindowCount(), 2);  // one Help window for two requests
  // With the Help window in front, the game's items are not enabled.
  fw::testing::KeyPress(w, "3", true);
  EXPECT_EQ(w->TheGameField()->RefBlockPictIndex(), 2);
  EXPECT_TRUE(w->Close());
  EXPECT_EQ(fw::WindowCount(), 0);
  EXPECT_EQ(testsupport::ReadFile(prefs.File(kPrefsFileName)), "0012");
}

TEST_F(Game, QuitFromTheMenuSavesOnlyAChangedRecord) {
  testsupport::WriteFile(prefs.File(kPrefsFileName), "00A0");
  fw::FolderItem(prefs.File(kPrefsFileName)).MacType(kPrefsFileType);
  fw::FolderItem(prefs.File(kPrefsFileName)).MacCreator(kAppCreator);
  Start();
  testsupport::WriteFile(prefs.File(kPrefsFileName), "00A0 untouched");
  fw::testing::KeyPress(w, "q", true);
  EXPECT_EQ(fw::WindowCount(), 0);
  EXPECT_EQ(testsupport::ReadFile(prefs.File(kPrefsFileName)), "00A0 untouched");
}

TEST_F(Game, TheIdleSoundPlaysAboutOnceASecond) {
  double now = 0;
  fw::SetMicrosecondsSource([&] { return now; });
  Start();
  sounds->entries.clear();
  for (int t = 0; t < 50; ++t) {  // 4 s of ticks
    now += 80000;
    Tick();
  }
  std::vector<double> times;
  for (const auto& e : sounds->entries)
    if (e.name == "SilenceSnd.wav") times.push_back(e.time);
  ASSERT_EQ(times.size(), 3u);
  for (size_t i = 1; i < times.size(); ++i) EXPECT_NEAR(times[i] - times[i - 1], 1040000, 1);
  fw::SetMicrosecondsSource(nullptr);
}

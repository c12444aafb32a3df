// The game window's design: its fixed frame, its eight controls where they
// belong with their pictures, the single instance, the shared menu bar and
// the event attachments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/App.h"
#include "app/Menu.h"
#include "engine/GameField.h"
#include "engine/Media.h"
#include "framework/FolderItem.h"
#include "framework/Menu.h"
#include "framework/Testing.h"
#include "tests/support/AppFixture.h"
#include "tests/support/TestSupport.h"
#include "window/MainWindow.h"

using namespace fw;

namespace {

// True when the picture shows `expected` at its natural size with its
// top-left corner at (x, y).
::testing::AssertionResult ShowsPicture(const Ref<Picture>& shot, const Ref<Picture>& expected, int32_t x,
                                        int32_t y) {
  if (!shot || !expected) return ::testing::AssertionFailure() << "no picture";
  for (int32_t py = 0; py < expected->Height(); ++py)
    for (int32_t px = 0; px < expected->Width(); ++px) {
      const Color want = expected->Graphics()->Pixel(px, py);
      const Color got = shot->Graphics()->Pixel(x + px, y + py);
      if (want != got)
        return ::testing::AssertionFailure()
               << "pixel (" << px << ", " << py << ") is " << std::hex << got.value << ", not " << want.value;
    }
  return ::testing::AssertionSuccess();
}

struct MainWindowTest : ::testing::Test {
  void SetUp() override {
    SetResourcesFolder(testsupport::SourceResourcesDir());
    app = testsupport::OpenApp<Appl>(Menu::Instance());
  }
  Ref<MainWindow> Open() {
    Ref<MainWindow> w = MainWindow::Instance();
    fw::testing::ProcessEvents();
    return w;
  }
  Ref<Appl> app;
};

}  // namespace

TEST_F(MainWindowTest, FixedFrameWithTitleMenuBarAndNoMaximiseButton) {
  Ref<MainWindow> w = Open();
  const fw::testing::WindowFrame f = fw::testing::FrameOf(w);
  EXPECT_EQ(f.contentWidth, 236);
  EXPECT_EQ(f.contentHeight, 216);
  EXPECT_EQ(f.minWidth, f.maxWidth);
  EXPECT_EQ(f.minHeight, f.maxHeight);
  EXPECT_EQ(f.width, f.maxWidth);
  EXPECT_EQ(f.height, f.maxHeight);
  EXPECT_GT(f.height, 216);  // the menu bar above the content
  EXPECT_FALSE(f.maximizeButton);
  EXPECT_TRUE(f.minimizeButton);
  EXPECT_TRUE(f.closeButton);
  EXPECT_FALSE(f.dialog);
  EXPECT_EQ(f.title, "Pandrisk");
  EXPECT_EQ(f.menuTitles, 4);
  EXPECT_EQ(w->MenuBar(), Menu::Instance());
}

TEST_F(MainWindowTest, ControlsStandWhereTheyBelong) {
  Ref<MainWindow> w = Open();
  struct Where {
    Ref<RectControl> control;
    const char* name;
    int32_t index, left, top, width, height;
  };
  const Where table[] = {
      {w->TheGameField(), "TheGameField", kNoControlIndex, 0, 0, 200, 198},
      {w->KickButton(0), "KickButton", 0, 200, 4, 32, 64},
      {w->KickButton(1), "KickButton", 1, 200, 68, 32, 64},
      {w->KickButton(2), "KickButton", 2, 200, 132, 32, 64},
      {w->StartButton(), "StartButton", kNoControlIndex, 10, 199, 40, 15},
      {w->ResetButton(), "ResetButton", kNoControlIndex, 60, 199, 40, 15},
      {w->CompleteDisplay(), "CompleteDisplay", kNoControlIndex, 201, 199, 30, 15},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.index));
    ASSERT_TRUE(c.control);
    EXPECT_EQ(c.control->Name(), c.name);
    EXPECT_EQ(c.control->Index(), c.index);
    EXPECT_EQ(c.control->Left(), c.left);
    EXPECT_EQ(c.control->Top(), c.top);
    EXPECT_EQ(c.control->Width(), c.width);
    EXPECT_EQ(c.control->Height(), c.height);
    EXPECT_TRUE(c.control->Visible());
    EXPECT_EQ(c.control->Window(), w);
  }
  EXPECT_FALSE(w->KickButton(3));
  EXPECT_TRUE(RefCast<MainWindow::KickButtonControl>(w->KickButton(1)));
}

TEST_F(MainWindowTest, ShowsItsPicturesAndTheMarkerFromCreation) {
  Ref<MainWindow> w = Open();
  // Before the game wiring sets them up, each button paints its design
  // picture; the marker shows the completion picture from the start.
  Ref<Picture> shot = fw::testing::GrabWindow(w);
  ASSERT_TRUE(shot);
  EXPECT_EQ(w->Backdrop(), BackPict());
  for (int32_t i = 0; i < 3; ++i) EXPECT_TRUE(ShowsPicture(shot, ButtonPictN(), 200, 4 + 64 * i)) << "row " << i;
  EXPECT_TRUE(ShowsPicture(shot, StartBtnPictN(), 10, 199));
  EXPECT_TRUE(ShowsPicture(shot, ResetBtnPictN(), 60, 199));
  EXPECT_EQ(w->CompleteDisplay()->Backdrop(), CompletePict());
  EXPECT_TRUE(ShowsPicture(shot, CompletePict(), 201, 199));
  // The strip between the buttons shows the window's backdrop.
  EXPECT_EQ(shot->Graphics()->Pixel(55, 205), BackPict()->Graphics()->Pixel(55, 205));
}

TEST_F(MainWindowTest, OneWindowBuiltOnce) {
  Ref<MainWindow> w = Open();
  Ref<PictureButton> first = w->KickButton(0);
  EXPECT_EQ(MainWindow::Instance(), w);
  EXPECT_EQ(Window::GetImplicitWindow("MainWindow.MainWindow"), w);
  EXPECT_EQ(w->KickButton(0), first);
  EXPECT_EQ(WindowCount(), 1);
  w->Close();
  Ref<MainWindow> next = MainWindow::Instance();  // a closed window is not found again
  EXPECT_NE(next, w);
}

TEST_F(MainWindowTest, ClockBelongsToTheWindowAndRunsAt16And80) {
  Ref<MainWindow> w = Open();
  Ref<PeriodicTimer> clock = w->GameHeltz();
  ASSERT_TRUE(clock);
  auto* child = dynamic_cast<PaneChild*>(clock.get());
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->Window(), w);
  // The design (Period 20, Mode 0) is replaced when the window opens: the
  // clock polls every 16 ms and runs.
  EXPECT_EQ(clock->Period(), 16);
  EXPECT_EQ(clock->Mode(), 2);
  EXPECT_EQ(clock->RefStatus(), PeriodicTimer::kRunningOnTimer);
}

TEST_F(MainWindowTest, OnlyTheListedEventsAreAttached) {
  Ref<MainWindow> w = Open();
  Ref<GameField> field = w->TheGameField();
  EXPECT_TRUE(field->OperationLock.IsAttached());
  EXPECT_TRUE(field->BlockMoved.IsAttached());
  EXPECT_TRUE(field->Created.IsAttached());
  EXPECT_FALSE(field->MouseDown.IsAttached());
  EXPECT_FALSE(field->Paint.IsAttached());
  for (Ref<PictureButton> b :
       {w->KickButton(0), w->KickButton(1), w->KickButton(2), w->StartButton(), w->ResetButton()}) {
    SCOPED_TRACE(b->Name() + " " + std::to_string(b->Index()));
    EXPECT_TRUE(b->SetUp.IsAttached());
    EXPECT_TRUE(b->Action.IsAttached());
    EXPECT_FALSE(b->MouseIn.IsAttached());
    EXPECT_FALSE(b->MouseOut.IsAttached());
  }
  EXPECT_TRUE(w->GameHeltz()->PeriodicAction.IsAttached());
  EXPECT_FALSE(w->GameHeltz()->PeriodicStart.IsAttached());
  EXPECT_FALSE(w->GameHeltz()->PeriodicStop.IsAttached());
  Ref<Canvas> marker = w->CompleteDisplay();
  EXPECT_FALSE(marker->Paint.IsAttached());
  EXPECT_FALSE(marker->MouseDown.IsAttached());
}

TEST_F(MainWindowTest, MenuItemAccessorsReachTheApplicationsItems) {
  Ref<MainWindow> w = Open();
  struct Accessor {
    Ref<MenuItem> item;
    const char* name;
  };
  const Accessor items[] = {
      {w->UntitledMenu0(), "UntitledMenu0"}, {w->HelpApp(), "HelpApp"},
      {w->AppleAbout(), "AppleAbout"},       {w->UntitledMenu1(), "UntitledMenu1"},
      {w->GameMenuSound(), "GameMenuSound"}, {w->GameMenuSoundVol(9), "GameMenuSoundVol"},
      {w->UntitledMenu2(), "UntitledMenu2"}, {w->GameMenuBlock(3), "GameMenuBlock"},
      {w->UntitledMenu3(), "UntitledMenu3"}, {w->GameMenuReset(), "GameMenuReset"},
      {w->GameMenuStart(), "GameMenuStart"}, {w->UntitledMenu4(), "UntitledMenu4"},
      {w->EditClear(), "EditClear"},         {w->EditPaste(), "EditPaste"},
      {w->EditCopy(), "EditCopy"},           {w->EditCut(), "EditCut"},
      {w->UntitledMenu5(), "UntitledMenu5"}, {w->EditUndo(), "EditUndo"},
      {w->UntitledMenu6(), "UntitledMenu6"}, {w->FileQuit(), "FileQuit"},
      {w->UntitledMenu7(), "UntitledMenu7"}, {w->FileClose(), "FileClose"},
  };
  for (const auto& a : items) {
    SCOPED_TRACE(a.name);
    ASSERT_TRUE(a.item);
    EXPECT_EQ(a.item->Name(), a.name);
  }
  EXPECT_EQ(w->GameMenuSoundVol(9)->Text(), "消音");
  EXPECT_EQ(w->GameMenuBlock(3)->Text(), "図柄：リボン");
  EXPECT_FALSE(w->GameMenuBlock(4));
  app->MenuBar()->Lookup("GameMenuSoundVol", 2)->Checked(true);
  EXPECT_TRUE(w->GameMenuSoundVol(2)->Checked());
  w->GameMenuBlock(1)->Checked(true);
  EXPECT_TRUE(app->MenuBar()->Lookup("GameMenuBlock", 1)->Checked());
}

TEST_F(MainWindowTest, MissingPicturesLeaveTheBackdropsEmpty) {
  testsupport::TempDir empty;
  SetResourcesFolder(empty.path());
  Ref<MainWindow> w = Open();
  EXPECT_FALSE(w->Backdrop());
  EXPECT_FALSE(w->CompleteDisplay()->Backdrop());
  EXPECT_TRUE(fw::testing::GrabWindow(w));
  EXPECT_TRUE(w->IsOpen());
}

#include "window/MainWindow.h"

#include <string>
#include <vector>

#include "app/App.h"
#include "app/ApplPreferences.h"
#include "app/Menu.h"
#include "app/PrefsFile.h"
#include "engine/GameField.h"
#include "engine/Media.h"
#include "engine/SoundPlayer.h"
#include "engine/WindowLayout.h"

using namespace fw;
using namespace layout;

namespace {

constexpr const char* kClassName = "MainWindow.MainWindow";

// The design values that the seven visual controls share, with their own
// rectangle, tab order, array index and name, in the order they are applied.
PropertyList ControlDesign(int32_t left, int32_t top, int32_t width, int32_t height, int32_t tabIndex,
                           int32_t index, const std::string& name) {
  return {
      {"InitialParent", std::string()},
      {"EraseBackground", true},
      {"DoubleBuffer", false},
      {"AcceptTabs", false},
      {"AcceptFocus", false},
      {"UseFocusRing", false},
      {"Enabled", true},
      {"AutoDeactivate", true},
      {"HelpTag", std::string()},
      {"Visible", true},
      {"TabStop", false},
      {"TabIndex", tabIndex},
      {"TabPanelIndex", int32_t{0}},
      {"LockBottom", false},
      {"LockRight", false},
      {"LockTop", false},
      {"LockLeft", false},
      {"Height", height},
      {"Width", width},
      {"Top", top},
      {"Left", left},
      {"Index", index},
      {"Name", name},
  };
}

}  // namespace

// ---------------------------------------------------------------- nested classes

void MainWindow::KickButtonControl::Constructor(int32_t index) {
  fw::Control::Index(index);
  RectControl::Constructor();
}

void MainWindow::GameHeltzControl::SetWindow(const Ref<fw::Window>& w) { ownerWindow = w; }
Ref<fw::Window> MainWindow::GameHeltzControl::Window() { return ownerWindow; }
int32_t MainWindow::GameHeltzControl::Index_() { return Index; }
void MainWindow::GameHeltzControl::SetIndex(int32_t i) { Index = i; }

// ---------------------------------------------------------------- construction

MainWindow::MainWindow() : fw::Window(kClassName) {}

Ref<MainWindow> MainWindow::Instance() { return ImplicitInstance<MainWindow>(kClassName); }

void MainWindow::Layout() {
  Backdrop(BackPict());
  MenuBar(Menu::Instance());
  SetProperties(*this, {
                           {"Placement", int32_t{2}},
                           {"Width", int32_t{kWindowWidth}},
                           {"Height", int32_t{kWindowHeight}},
                           {"MinWidth", int32_t{kWindowWidth}},
                           {"MinHeight", int32_t{kWindowHeight}},
                           {"MaxWidth", int32_t{kWindowWidth}},
                           {"MaxHeight", int32_t{kWindowHeight}},
                           {"Frame", int32_t{0}},
                           {"Composite", false},
                           {"HasBackColor", false},
                           {"BackColor", Color{0xFFFFFF}},
                           {"Title", std::string("Pandrisk")},
                           {"Visible", true},
                           {"FullScreen", false},
                           {"MenuBarVisible", true},
                           {"CloseButton", true},
                           {"Resizeable", false},
                           {"LiveResize", true},
                           {"MaximizeButton", false},
                           {"MinimizeButton", true},
                           {"MacProcID", int32_t{0}},
                       });
}

void MainWindow::CreateControls() { CreateControls0(); }

void MainWindow::CreateControls0() {
  // Each control is complete (picture, design, handlers) before the next.
  {
    Ref<GameField> field = MakeControl<GameField>("TheGameField");
    SetProperties(*field, ControlDesign(0, 0, kBoardWidth, kBoardHeight, 0, kNoControlIndex, "TheGameField"));
    AttachMethod(field->OperationLock, *this, &MainWindow::TheGameField_OperationLock, *field);
    AttachMethod(field->BlockMoved, *this, &MainWindow::TheGameField_BlockMoved, *field);
    AttachMethod(field->Created, *this, &MainWindow::TheGameField_Created, *field);
  }
  for (int32_t i = 0; i < kBoardSize; ++i) {
    Ref<PictureButton> button = MakeControl<KickButtonControl>("KickButton", i);
    button->Backdrop(ButtonPictN());
    SetProperties(*button, ControlDesign(kRowButtonX, kRowButtonTop[i], kRowButtonWidth, kRowButtonHeight, 1 + i,
                                         i, "KickButton"));
    AttachMethod(button->SetUp, *this, &MainWindow::KickButton_SetUp, *button);
    AttachMethod(button->Action, *this, &MainWindow::KickButton_Action, *button);
  }
  {
    Ref<PeriodicTimer> clock = MakeControl<GameHeltzControl>("GameHeltz");
    SetProperties(*clock, {{"Period", int32_t{20}}, {"Mode", int32_t{0}}});
    AttachMethod(clock->PeriodicAction, *this, &MainWindow::GameHeltz_PeriodicAction, *clock);
  }
  {
    Ref<PictureButton> button = MakeControl<PictureButton>("StartButton");
    button->Backdrop(StartBtnPictN());
    SetProperties(*button, ControlDesign(kStartButtonX, kStripY, kCommandWidth, kCommandHeight, 5, kNoControlIndex,
                                         "StartButton"));
    AttachMethod(button->Action, *this, &MainWindow::StartButton_Action, *button);
    AttachMethod(button->SetUp, *this, &MainWindow::StartButton_SetUp, *button);
  }
  {
    Ref<PictureButton> button = MakeControl<PictureButton>("ResetButton");
    button->Backdrop(ResetBtnPictN());
    SetProperties(*button, ControlDesign(kResetButtonX, kStripY, kCommandWidth, kCommandHeight, 6, kNoControlIndex,
                                         "ResetButton"));
    AttachMethod(button->Action, *this, &MainWindow::ResetButton_Action, *button);
    AttachMethod(button->SetUp, *this, &MainWindow::ResetButton_SetUp, *button);
  }
  {
    Ref<Canvas> marker = MakeControl<Canvas>("CompleteDisplay");
    marker->Backdrop(CompletePict());
    SetProperties(*marker, ControlDesign(kMarkerX, kStripY, kMarkerWidth, kMarkerHeight, 7, kNoControlIndex,
                                         "CompleteDisplay"));
  }
}

// ---------------------------------------------------------------- control accessors

Ref<GameField> MainWindow::TheGameField() { return ControlAs<GameField>("TheGameField"); }
Ref<PictureButton> MainWindow::KickButton(int32_t index) { return ControlAs<PictureButton>("KickButton", index); }
Ref<PeriodicTimer> MainWindow::GameHeltz() { return ControlAs<PeriodicTimer>("GameHeltz"); }
Ref<PictureButton> MainWindow::StartButton() { return ControlAs<PictureButton>("StartButton"); }
Ref<PictureButton> MainWindow::ResetButton() { return ControlAs<PictureButton>("ResetButton"); }
Ref<Canvas> MainWindow::CompleteDisplay() { return ControlAs<Canvas>("CompleteDisplay"); }

// ---------------------------------------------------------------- control event handlers

// The board's offscreen picture and the record's first-run default, once
// the board has opened: a record that ends before the pattern becomes "10",
// sound code "1" (read as the loudest level) and pattern 0.
void MainWindow::TheGameField_Created(Ref<GameField> sender) {
  if (App()->ItsPrefs->DefaultData("99")) App()->ItsPrefs->SetPartData("10", kPrefsSoundLevelPos);
  sender->CreateOffscreen(32, true);
  sender->SetBlockPicture(App()->ItsPrefs->GetPartInteger(kPrefsPatternPos, kPrefsFieldBytes));
}

// The row buttons are locked while a push runs.
void MainWindow::TheGameField_OperationLock(Ref<GameField> /*sender*/, bool lock) {
  for (int32_t i = 0; i < kBoardSize; ++i) {
    if (lock)
      KickButton(i)->ButtonDisable();
    else
      KickButton(i)->ButtonEnable();
  }
}

// The marker shows when the picture is complete; only the commands hide it.
void MainWindow::TheGameField_BlockMoved(Ref<GameField> /*sender*/, bool complete) {
  if (complete) CompleteDisplay()->Backdrop(CompletePict());
}

void MainWindow::KickButton_SetUp(Ref<PictureButton> sender) {
  sender->SetPictureOnPushed(ButtonPictR());
  sender->SetPictureOnDisabled(ButtonPictD());
  sender->SetMask(ButtonPictM());
  sender->SetCursor(ButtonCursor());
}

void MainWindow::KickButton_Action(Ref<PictureButton> sender) {
  const int32_t row = sender->Index();
  CompleteDisplay()->Backdrop(nullptr);
  TheGameField()->Kick(row);
}

// One clock tick: the board's step, its frame on screen at once, then the
// sounds of this tick.
void MainWindow::GameHeltz_PeriodicAction(Ref<PeriodicTimer> /*sender*/, int32_t /*loadRate*/) {
  TheGameField()->GameStep();
  UpdateNow();
  App()->ItsSoundPlayer->PlayQueue();
}

void MainWindow::StartButton_Action(Ref<PictureButton> /*sender*/) { GameMenuStart_Action(); }

void MainWindow::StartButton_SetUp(Ref<PictureButton> sender) {
  sender->SetPictureOnPushed(StartBtnPictR());
  sender->SetCursor(ButtonCursor());
}

void MainWindow::ResetButton_Action(Ref<PictureButton> /*sender*/) { GameMenuReset_Action(); }

void MainWindow::ResetButton_SetUp(Ref<PictureButton> sender) {
  sender->SetPictureOnPushed(ResetBtnPictR());
  sender->SetCursor(ButtonCursor());
}

// ---------------------------------------------------------------- menu item accessors

Ref<MenuItem> MainWindow::UntitledMenu0() { return MenuBar()->Lookup("UntitledMenu0"); }
Ref<MenuItem> MainWindow::HelpApp() { return MenuBar()->Lookup("HelpApp"); }
Ref<AppleMenuItem> MainWindow::AppleAbout() { return RefCast<AppleMenuItem>(MenuBar()->Lookup("AppleAbout")); }
Ref<MenuItem> MainWindow::UntitledMenu1() { return MenuBar()->Lookup("UntitledMenu1"); }
Ref<MenuItem> MainWindow::GameMenuSound() { return MenuBar()->Lookup("GameMenuSound"); }
Ref<MenuItem> MainWindow::GameMenuSoundVol(int32_t index) { return MenuBar()->Lookup("GameMenuSoundVol", index); }
Ref<MenuItem> MainWindow::UntitledMenu2() { return MenuBar()->Lookup("UntitledMenu2"); }
Ref<MenuItem> MainWindow::GameMenuBlock(int32_t index) { return MenuBar()->Lookup("GameMenuBlock", index); }
Ref<MenuItem> MainWindow::UntitledMenu3() { return MenuBar()->Lookup("UntitledMenu3"); }
Ref<MenuItem> MainWindow::GameMenuReset() { return MenuBar()->Lookup("GameMenuReset"); }
Ref<MenuItem> MainWindow::GameMenuStart() { return MenuBar()->Lookup("GameMenuStart"); }
Ref<MenuItem> MainWindow::UntitledMenu4() { return MenuBar()->Lookup("UntitledMenu4"); }
Ref<MenuItem> MainWindow::EditClear() { return MenuBar()->Lookup("EditClear"); }
Ref<MenuItem> MainWindow::EditPaste() { return MenuBar()->Lookup("EditPaste"); }
Ref<MenuItem> MainWindow::EditCopy() { return MenuBar()->Lookup("EditCopy"); }
Ref<MenuItem> MainWindow::EditCut() { return MenuBar()->Lookup("EditCut"); }
Ref<MenuItem> MainWindow::UntitledMenu5() { return MenuBar()->Lookup("UntitledMenu5"); }
Ref<MenuItem> MainWindow::EditUndo() { return MenuBar()->Lookup("EditUndo"); }
Ref<MenuItem> MainWindow::UntitledMenu6() { return MenuBar()->Lookup("UntitledMenu6"); }
Ref<QuitMenuItem> MainWindow::FileQuit() { return RefCast<QuitMenuItem>(MenuBar()->Lookup("FileQuit")); }
Ref<MenuItem> MainWindow::UntitledMenu7() { return MenuBar()->Lookup("UntitledMenu7"); }
Ref<MenuItem> MainWindow::FileClose() { return MenuBar()->Lookup("FileClose"); }

// ---------------------------------------------------------------- menu handlers and window events

void MainWindow::AddMenuHandlers(Ref<fw::Window> w) {
  std::weak_ptr<MainWindow> weak = RefCast<MainWindow>(w);
  w->AddMenuHandler("GameMenuStart", [weak] { return Ref<MainWindow>(weak.lock())->GameMenuStart_Action(); });
  w->AddMenuHandler("GameMenuReset", [weak] { return Ref<MainWindow>(weak.lock())->GameMenuReset_Action(); });
  w->AddMenuHandler("GameMenuBlock",
                    [weak](int32_t index) { return Ref<MainWindow>(weak.lock())->GameMenuBlock_Action(index); });
}

// Shuffle and align are always available; the current pattern is checked and
// greyed, the others unchecked and enabled.
void MainWindow::Event_EnableMenuItems() {
  GameMenuStart()->Enable();
  GameMenuReset()->Enable();
  for (int32_t i = 0; i < GameField::kPatterns; ++i) {
    if (TheGameField()->RefBlockPictIndex() == i) {
      GameMenuBlock(i)->Checked(true);
    } else {
      GameMenuBlock(i)->Checked(false);
      GameMenuBlock(i)->Enable();
    }
  }
}

// Closing the game window closes every other window with it; the game
// window itself always closes.
bool MainWindow::Event_CancelClose(bool appQuitting) {
  if (appQuitting) return false;
  if (fw::WindowCount() > 1) {
    std::vector<Ref<fw::Window>> others;
    for (int32_t i = 0; i < fw::WindowCount(); ++i) {
      Ref<fw::Window> other = fw::WindowAt(i);
      if (other.get() != this) others.push_back(other);
    }
    for (const auto& other : others) other->Close();
  }
  return false;
}

// The clock polls every 16 ms and acts every 80 ms for the whole run.
void MainWindow::Event_Open() {
  GameHeltz()->Setup(16, 80);
  GameHeltz()->TimerStart(0);
}

bool MainWindow::GameMenuStart_Action() {
  CompleteDisplay()->Backdrop(nullptr);
  TheGameField()->GameStart();
  return true;
}

bool MainWindow::GameMenuReset_Action() {
  CompleteDisplay()->Backdrop(nullptr);
  TheGameField()->GameReset();
  return true;
}

// The pattern shows from the next tick and goes to the record at once.
bool MainWindow::GameMenuBlock_Action(int32_t index) {
  TheGameField()->SetBlockPicture(index);
  App()->ItsPrefs->SetPartInteger(index, kPrefsPatternPos, kPrefsFieldBytes);
  return true;
}

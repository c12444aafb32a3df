// The game window: the board, the three row buttons beside its rows, the
// clock, the shuffle and align buttons and the completion marker below it,
// under the application's menu bar. One fixed 236 x 216 window for the
// whole run.
#pragma once

#include <cstdint>

#include "engine/PeriodicTimer.h"
#include "framework/Controls.h"
#include "framework/Menu.h"
#include "framework/Window.h"
#include "window/PictureButton.h"

class GameField;

class MainWindow : public fw::Window {
 public:
  // The class of the row buttons: one member of the "KickButton" control
  // array, whose index is the board row it pushes.
  class KickButtonControl : public PictureButton {
   public:
    // Takes its array index, then builds its platform side.
    void Constructor(int32_t index);
  };

  // The class of the clock: a periodic clock that belongs to the window.
  class GameHeltzControl : public PeriodicTimer, public fw::PaneChild {
   public:
    void Constructor() {}
    void SetWindow(const fw::Ref<fw::Window>& w) override;
    fw::Ref<fw::Window> Window() override;
    int32_t Index_() override;
    void SetIndex(int32_t i) override;

    // The clock's index within a control array; not used by the program.
    int32_t Index = 0;

   private:
    fw::Ref<fw::Window> ownerWindow;
  };

  MainWindow();

  // The open game window; builds and opens a new one when none is open.
  static fw::Ref<MainWindow> Instance();

  // Construction.
  void Layout() override;
  void CreateControls() override;
  void CreateControls0();

  // The controls, looked up by name (and array index) at every call.
  fw::Ref<GameField> TheGameField();
  fw::Ref<PictureButton> KickButton(int32_t index);
  fw::Ref<PeriodicTimer> GameHeltz();
  fw::Ref<PictureButton> StartButton();
  fw::Ref<PictureButton> ResetButton();
  fw::Ref<fw::Canvas> CompleteDisplay();

  // The controls' event handlers; each receives the control that raised it.
  void TheGameField_OperationLock(fw::Ref<GameField> sender, bool lock);
  void TheGameField_BlockMoved(fw::Ref<GameField> sender, bool complete);
  void TheGameField_Created(fw::Ref<GameField> sender);
  void KickButton_SetUp(fw::Ref<PictureButton> sender);
  void KickButton_Action(fw::Ref<PictureButton> sender);
  void GameHeltz_PeriodicAction(fw::Ref<PeriodicTimer> sender, int32_t loadRate);
  void StartButton_Action(fw::Ref<PictureButton> sender);
  void StartButton_SetUp(fw::Ref<PictureButton> sender);
  void ResetButton_Action(fw::Ref<PictureButton> sender);
  void ResetButton_SetUp(fw::Ref<PictureButton> sender);

  // The items of the window's menu bar, looked up by name (and index) at
  // every call; nil when there is none. The game calls only GameMenuStart,
  // GameMenuReset and GameMenuBlock; the rest are kept whole on purpose
  // (docs/ARCHITECTURE.md).
  fw::Ref<fw::MenuItem> UntitledMenu0();
  fw::Ref<fw::MenuItem> HelpApp();
  fw::Ref<fw::AppleMenuItem> AppleAbout();
  fw::Ref<fw::MenuItem> UntitledMenu1();
  fw::Ref<fw::MenuItem> GameMenuSound();
  fw::Ref<fw::MenuItem> GameMenuSoundVol(int32_t index);
  fw::Ref<fw::MenuItem> UntitledMenu2();
  fw::Ref<fw::MenuItem> GameMenuBlock(int32_t index);
  fw::Ref<fw::MenuItem> UntitledMenu3();
  fw::Ref<fw::MenuItem> GameMenuReset();
  fw::Ref<fw::MenuItem> GameMenuStart();
  fw::Ref<fw::MenuItem> UntitledMenu4();
  fw::Ref<fw::MenuItem> EditClear();
  fw::Ref<fw::MenuItem> EditPaste();
  fw::Ref<fw::MenuItem> EditCopy();
  fw::Ref<fw::MenuItem> EditCut();
  fw::Ref<fw::MenuItem> UntitledMenu5();
  fw::Ref<fw::MenuItem> EditUndo();
  fw::Ref<fw::MenuItem> UntitledMenu6();
  fw::Ref<fw::QuitMenuItem> FileQuit();
  fw::Ref<fw::MenuItem> UntitledMenu7();
  fw::Ref<fw::MenuItem> FileClose();

  // Menu handlers and the window's own events.
  void AddMenuHandlers(fw::Ref<fw::Window> w) override;
  void Event_EnableMenuItems() override;
  bool Event_CancelClose(bool appQuitting) override;
  void Event_Open() override;
  bool GameMenuStart_Action();
  bool GameMenuReset_Action();
  bool GameMenuBlock_Action(int32_t index);
};

// A push button drawn entirely from pictures: one for each state (enabled,
// pushed, disabled), an optional hit mask whose black pixels are the only
// live part of the control, and an optional cursor shown over the live area
// of an enabled button. A click that begins and ends on the live area raises
// Action.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/Object.h"

class PictureButton : public fw::Canvas {
 public:
  // The events; the owner's handlers receive the button.

  // A released press that began on the live area, while the pointer was on
  // the live area at the last report.
  fw::Event<void()> Action;
  // Once, at the end of Event_Open; the owner sets pictures, mask and cursor.
  fw::Event<void()> SetUp;
  // The cursor was applied.
  fw::Event<void()> MouseIn;
  // The cursor was withdrawn.
  fw::Event<void()> MouseOut;

  void Event_MouseExit() override;
  void Event_MouseMove(int32_t x, int32_t y) override;
  void Event_MouseDrag(int32_t x, int32_t y) override;
  void Event_MouseUp(int32_t x, int32_t y) override;
  // An enabled button takes every press on its rectangle.
  bool Event_MouseDown(int32_t x, int32_t y) override;
  void Event_Paint(fw::Ref<fw::Graphics> g) override;
  // Takes the design backdrop as all three pictures and raises SetUp.
  void Event_Open() override;

  void ButtonEnable();
  void ButtonDisable();
  // The new picture shows at the next paint. The game never calls
  // SetPictureOnEnabled; it is kept whole on purpose (docs/ARCHITECTURE.md).
  void SetPictureOnEnabled(const fw::Ref<fw::Picture>& p);
  void SetPictureOnDisabled(const fw::Ref<fw::Picture>& p);
  void SetPictureOnPushed(const fw::Ref<fw::Picture>& p);
  // Makes the hit mask a black-and-white copy of p; nil keeps the mask.
  void SetMask(const fw::Ref<fw::Picture>& p);
  std::string VersionInfo();
  // Takes effect at the next cursor update; nil switches the cursor off.
  void SetCursor(const fw::Ref<fw::MouseCursor>& c);
  // On: a completed click disables the button before Action is raised.
  void SetSelfDisable(bool on);
  bool RefButtonEnable();

 protected:
  // Applies or withdraws the cursor when the pointer's state over the live
  // area changed since the last time.
  void CursorUpdate();

  fw::Ref<fw::Picture> PictureOnEnabled;
  fw::Ref<fw::Picture> PictureOnPushed;
  fw::Ref<fw::Picture> PictureOnDisabled;
  bool ButtonEnabled = false;
  // A press is held and the pointer was on the live area at the last report.
  bool ButtonPushed = false;
  // Black pixels are live; nil makes the whole control live.
  fw::Ref<fw::Picture> MaskPicture;
  fw::Ref<fw::MouseCursor> ButtonCursor;
  // The cursor is applied and MouseIn was raised without a MouseOut since.
  bool CursorOn = false;
  bool SelfDisableMode = false;
  // A press began on the live area and has not been released yet.
  bool ButtonActive = false;

 private:
  bool LiveAt(int32_t x, int32_t y) const;
};

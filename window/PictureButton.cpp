#include "window/PictureButton.h"

#include "framework/Application.h"

using namespace fw;

bool PictureButton::LiveAt(int32_t x, int32_t y) const {
  if (!MaskPicture) return true;
  return MaskPicture->Graphics()->Pixel(x, y).Value() < 0.5;
}

void PictureButton::Event_MouseExit() {
  // Only a held press withdraws the cursor here: without one the platform
  // shows the control's cursor only while the pointer is over it anyway.
  if (ButtonActive && CursorOn) {
    MouseCursor(nullptr);
    MouseOut.Raise();
    CursorOn = false;
  }
}

void PictureButton::Event_MouseMove(int32_t /*x*/, int32_t /*y*/) {
  if (!System::MouseDown()) CursorUpdate();
}

void PictureButton::Event_MouseDrag(int32_t x, int32_t y) {
  if (!ButtonActive) return;
  const bool inside = x >= 0 && x < Width() && y >= 0 && y < Height() && LiveAt(x, y);
  if (inside && !ButtonPushed) {
    ButtonPushed = true;
    Refresh(false);
  } else if (!inside && ButtonPushed) {
    ButtonPushed = false;
    Refresh(false);
  }
}

void PictureButton::Event_MouseUp(int32_t /*x*/, int32_t /*y*/) {
  // The release position is not examined: the last report decides.
  if (ButtonActive) {
    if (ButtonPushed) {
      ButtonPushed = false;
      if (SelfDisableMode) ButtonEnabled = false;
      Refresh(false);
      Action.Raise();
    }
    ButtonActive = false;
  }
  CursorUpdate();
}

bool PictureButton::Event_MouseDown(int32_t x, int32_t y) {
  if (!ButtonEnabled) return false;
  if (LiveAt(x, y)) {
    ButtonPushed = true;
    ButtonActive = true;
    Refresh(false);
  }
  return true;
}

void PictureButton::Event_Paint(Ref<fw::Graphics> /*g*/) {
  const Ref<Picture>& p = !ButtonEnabled ? PictureOnDisabled : ButtonPushed ? PictureOnPushed : PictureOnEnabled;
  if (p) Graphics()->DrawPicture(p, 0, 0);
}

void PictureButton::Event_Open() {
  PictureOnEnabled = Backdrop();
  PictureOnDisabled = Backdrop();
  PictureOnPushed = Backdrop();
  // The button paints itself from now on.
  Backdrop(nullptr);
  MaskPicture = nullptr;
  ButtonCursor = nullptr;
  SelfDisableMode = false;
  ButtonEnabled = true;
  ButtonPushed = false;
  ButtonActive = false;
  CursorOn = false;
  SetUp.Raise();
}

void PictureButton::ButtonEnable() {
  ButtonEnabled = true;
  Refresh(false);
  CursorUpdate();
}

void PictureButton::ButtonDisable() {
  ButtonEnabled = false;
  Refresh(false);
  CursorUpdate();
}

void PictureButton::SetPictureOnEnabled(const Ref<Picture>& p) { PictureOnEnabled = p; }
void PictureButton::SetPictureOnDisabled(const Ref<Picture>& p) { PictureOnDisabled = p; }
void PictureButton::SetPictureOnPushed(const Ref<Picture>& p) { PictureOnPushed = p; }

void PictureButton::SetMask(const Ref<Picture>& p) {
  // A mask that failed to load leaves the one before in place.
  if (!p) return;
  Ref<Picture> mask = Picture::New(p->Width(), p->Height(), 1);
  MaskPicture = mask;
  if (!mask) return;
  mask->Graphics()->UseOldRenderer(true);
  mask->Graphics()->DrawPicture(p, 0, 0);
}

std::string PictureButton::VersionInfo() { return "2012-04-28,1"; }

void PictureButton::SetCursor(const Ref<fw::MouseCursor>& c) { ButtonCursor = c; }

void PictureButton::SetSelfDisable(bool on) { SelfDisableMode = on; }

bool PictureButton::RefButtonEnable() { return ButtonEnabled; }

void PictureButton::CursorUpdate() {
  bool live = false;
  if (ButtonCursor && ButtonEnabled) {
    if (!MaskPicture) {
      live = true;
    } else {
      const int32_t mx = MouseX() - Left();
      const int32_t my = MouseY() - Top();
      live = mx >= 0 && mx < Width() && my >= 0 && my < Height() &&
             MaskPicture->Graphics()->Pixel(mx, my) == RGB(0, 0, 0);
    }
  }
  if (live && !CursorOn) {
    MouseCursor(ButtonCursor);
    MouseIn.Raise();
    CursorOn = true;
  } else if (!live && CursorOn) {
    MouseCursor(nullptr);
    MouseOut.Raise();
    CursorOn = false;
  }
}

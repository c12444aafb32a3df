// A double-buffered canvas: a subclass draws into an offscreen picture in
// PaintOffscreen, and the control paints by copying that picture, scaled to
// the control when the sizes differ, or white while there is none.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Controls.h"
#include "framework/Graphics.h"
#include "framework/Object.h"

class OffscreenCanvas : public fw::Canvas {
 public:
  OffscreenCanvas();
  ~OffscreenCanvas() override;

  // Raised when the control has opened, after Initialize; the owner answers
  // it by making the offscreen picture with the depth it wants.
  fw::Event<void()> Created;

  void Event_Open() override;
  void Event_Paint(fw::Ref<fw::Graphics> g) override;
  // Makes (or replaces) the offscreen picture: depth 1, 8, 16 or 24, any
  // other value 32; `oldRenderer` goes to its Graphics' UseOldRenderer.
  virtual void CreateOffscreen(int32_t depth, bool oldRenderer);
  virtual void DisposeOffscreen();
  virtual std::string VersionInfo();
  virtual bool RefOffscreenAvail();
  // The pointer in the control's own coordinates.
  virtual int32_t GetMouseLocalX();
  virtual int32_t GetMouseLocalY();
  // A control coordinate in the offscreen picture's scale (0 on a control
  // of no width or height).
  virtual int32_t ScaledPosX(int32_t v);
  virtual int32_t ScaledPosY(int32_t v);
  // True for a point inside the control, in control coordinates.
  virtual bool IsPointIn(int32_t x, int32_t y);

 protected:
  // Hooks, empty here: drawing into OffscreenGraphics, the control's
  // opening, and the offscreen picture's creation and disposal.
  virtual void PaintOffscreen();
  virtual void Initialize();
  virtual void OffscreenCreated();
  virtual void OffscreenDisposed();
  // Asks for a repaint; with True, the window paints at once.
  virtual void RefreshPicture(bool now);
  virtual void PaintCanvas(fw::Ref<fw::Graphics> g);

  fw::Ref<fw::Picture> OffscreenPicture;
  fw::Ref<fw::Graphics> OffscreenGraphics;
  int32_t ItsWidth = 0;
  int32_t ItsHeight = 0;
  int32_t ItsDepth = 0;
  bool IsOffscreenAveil = false;
  int32_t ItsFixedWidth = 0;
  int32_t ItsFixedHeight = 0;
};

#include "engine/OffscreenCanvas.h"

#include <climits>

#include "framework/Window.h"

namespace {

int32_t Scaled(int32_t v, int32_t pictureSize, int32_t controlSize) {
  if (controlSize == 0) return 0;
  const int64_t r = static_cast<int64_t>(v) * pictureSize / controlSize;  // truncates toward zero
  if (r > INT32_MAX) return INT32_MAX;
  if (r < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(r);
}

}  // namespace

// The control shows its picture, or white, over the whole of itself.
OffscreenCanvas::OffscreenCanvas() { Opaque(true); }
OffscreenCanvas::~OffscreenCanvas() = default;

void OffscreenCanvas::Event_Open() {
  Initialize();
  Created.Raise();
}

void OffscreenCanvas::Event_Paint(fw::Ref<fw::Graphics> g) { PaintCanvas(g); }

void OffscreenCanvas::CreateOffscreen(int32_t depth, bool oldRenderer) {
  ItsDepth = (depth == 1 || depth == 8 || depth == 16 || depth == 24) ? depth : 32;
  if (ItsFixedWidth > 0 && ItsFixedHeight > 0) {
    ItsWidth = ItsFixedWidth;
    ItsHeight = ItsFixedHeight;
  } else {
    ItsWidth = Width();
    ItsHeight = Height();
  }
  OffscreenPicture = fw::Picture::New(ItsWidth, ItsHeight, ItsDepth);
  if (!OffscreenPicture) {
    OffscreenGraphics = nullptr;
    IsOffscreenAveil = false;
    ItsDepth = ItsWidth = ItsHeight = 0;
    return;
  }
  OffscreenGraphics = OffscreenPicture->Graphics();
  OffscreenGraphics->UseOldRenderer(oldRenderer);
  IsOffscreenAveil = true;
  OffscreenCreated();
  PaintOffscreen();
  RefreshPicture(false);
}

void OffscreenCanvas::PaintOffscreen() {}

void OffscreenCanvas::RefreshPicture(bool now) {
  Refresh(false);
  if (now) Window()->UpdateNow();
}

void OffscreenCanvas::DisposeOffscreen() {
  ItsDepth = ItsWidth = ItsHeight = 0;
  OffscreenPicture = nullptr;
  OffscreenGraphics = nullptr;
  IsOffscreenAveil = false;
  OffscreenDisposed();
}

void OffscreenCanvas::Initialize() {}

std::string OffscreenCanvas::VersionInfo() { return "2012-05-03,1"; }

void OffscreenCanvas::OffscreenCreated() {}
void OffscreenCanvas::OffscreenDisposed() {}

bool OffscreenCanvas::RefOffscreenAvail() { return IsOffscreenAveil; }

int32_t OffscreenCanvas::GetMouseLocalX() { return MouseX() - Left(); }
int32_t OffscreenCanvas::GetMouseLocalY() { return MouseY() - Top(); }

int32_t OffscreenCanvas::ScaledPosX(int32_t v) { return Scaled(v, ItsWidth, Width()); }
int32_t OffscreenCanvas::ScaledPosY(int32_t v) { return Scaled(v, ItsHeight, Height()); }

void OffscreenCanvas::PaintCanvas(fw::Ref<fw::Graphics> g) {
  if (!IsOffscreenAveil) {
    g->ForeColor(fw::Color{0xFFFFFF});
    g->FillRect(0, 0, Width(), Height());
  } else if (ItsWidth == Width() && ItsHeight == Height()) {
    g->DrawPicture(OffscreenPicture, 0, 0);
  } else {
    g->DrawPicture(OffscreenPicture, 0, 0, Width(), Height(), 0, 0, ItsWidth, ItsHeight);
  }
}

bool OffscreenCanvas::IsPointIn(int32_t x, int32_t y) { return x >= 0 && x < Width() && y >= 0 && y < Height(); }

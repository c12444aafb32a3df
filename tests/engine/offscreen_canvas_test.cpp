#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/OffscreenCanvas.h"
#include "framework/Graphics.h"
#include "framework/Testing.h"
#include "framework/Window.h"

using fw::RGB;

namespace {

const fw::Color kWhite = RGB(255, 255, 255);
const fw::Color kBlack = RGB(0, 0, 0);

// Records the hooks and draws four coloured quadrants into its picture.
class ProbeCanvas : public OffscreenCanvas {
 public:
  ProbeCanvas() { Constructor(); }

  std::vector<std::string> calls;

  void SetFixed(int32_t w, int32_t h) {
    ItsFixedWidth = w;
    ItsFixedHeight = h;
  }
  int32_t W() const { return ItsWidth; }
  int32_t H() const { return ItsHeight; }
  int32_t D() const { return ItsDepth; }
  fw::Ref<fw::Picture> Pict() const { return OffscreenPicture; }
  fw::Ref<fw::Graphics> Gfx() const { return OffscreenGraphics; }
  void Paint(const fw::Ref<fw::Graphics>& g) { Event_Paint(g); }
  void Refresh_(bool now) { RefreshPicture(now); }

 protected:
  void Initialize() override { calls.push_back("Initialize"); }
  void OffscreenCreated() override { calls.push_back("OffscreenCreated"); }
  void OffscreenDisposed() override { calls.push_back("OffscreenDisposed"); }
  void RefreshPicture(bool now) override {
    calls.push_back(now ? "RefreshPicture(true)" : "RefreshPicture(false)");
    OffscreenCanvas::RefreshPicture(now);
  }
  void PaintOffscreen() override {
    calls.push_back("PaintOffscreen");
    const int32_t hw = ItsWidth / 2, hh = ItsHeight / 2;
    const fw::Color colours[4] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0)};
    for (int q = 0; q < 4; ++q) {
      OffscreenGraphics->ForeColor(colours[q]);
      OffscreenGraphics->FillRect((q % 2) * hw, (q / 2) * hh, ItsWidth - (q % 2) * hw, ItsHeight - (q / 2) * hh);
    }
  }
};

fw::Ref<ProbeCanvas> MakeCanvas(int32_t w, int32_t h) {
  auto c = fw::New<ProbeCanvas>();
  c->Width(w);
  c->Height(h);
  return c;
}

// A target picture larger than the control, filled black, so that painting
// outside the control's rectangle shows.
fw::Ref<fw::Picture> BlackTarget(int32_t w, int32_t h) {
  auto p = fw::Picture::New(w, h, 32);
  p->Graphics()->ForeColor(kBlack);
  p->Graphics()->FillRect(0, 0, w, h);
  return p;
}

bool AllPixels(const fw::Ref<fw::Picture>& p, int32_t w, int32_t h, fw::Color c) {
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      if (!(p->Graphics()->Pixel(x, y) == c)) return false;
  return true;
}

}  // namespace

TEST(OffscreenCanvas, CreateOffscreenTakesTheControlsSizeAndAKnownDepth) {
  struct Case {
    int32_t asked, depth;
  };
  for (const Case c : {Case{32, 32}, Case{12, 32}, Case{0, 32}, Case{-1, 32}, Case{1, 1}, Case{8, 8}, Case{16, 16},
                       Case{24, 24}}) {
    SCOPED_TRACE(c.asked);
    auto canvas = MakeCanvas(200, 150);
    canvas->CreateOffscreen(c.asked, true);
    ASSERT_TRUE(canvas->RefOffscreenAvail());
    EXPECT_EQ(canvas->D(), c.depth);
    EXPECT_EQ(canvas->Pict()->Depth(), c.depth);
    EXPECT_EQ(canvas->W(), 200);
    EXPECT_EQ(canvas->H(), 150);
    EXPECT_EQ(canvas->Pict()->Width(), 200);
    EXPECT_EQ(canvas->Pict()->Height(), 150);
    EXPECT_EQ(canvas->Gfx().get(), canvas->Pict()->Graphics().get());
    EXPECT_TRUE(canvas->Gfx()->UseOldRenderer());
    EXPECT_EQ(canvas->calls,
              (std::vector<std::string>{"OffscreenCreated", "PaintOffscreen", "RefreshPicture(false)"}));
  }
  auto canvas = MakeCanvas(20, 10);
  canvas->CreateOffscreen(32, false);
  EXPECT_FALSE(canvas->Gfx()->UseOldRenderer());
}

TEST(OffscreenCanvas, FixedSizeAppliesOnlyWhenBothDimensionsAreSet) {
  struct Case {
    int32_t fw, fh, w, h;
  };
  for (const Case c :
       {Case{100, 40, 100, 40}, Case{100, 0, 200, 150}, Case{0, 40, 200, 150}, Case{-5, 40, 200, 150}}) {
    SCOPED_TRACE(std::to_string(c.fw) + "x" + std::to_string(c.fh));
    auto canvas = MakeCanvas(200, 150);
    canvas->SetFixed(c.fw, c.fh);
    canvas->CreateOffscreen(32, true);
    EXPECT_EQ(canvas->W(), c.w);
    EXPECT_EQ(canvas->H(), c.h);
    EXPECT_EQ(canvas->Pict()->Width(), c.w);
  }
}

TEST(OffscreenCanvas, AFailedCreateLeavesNoPictureAndCallsNoHook) {
  auto canvas = MakeCanvas(200, 150);
  canvas->CreateOffscreen(32, true);
  ASSERT_TRUE(canvas->RefOffscreenAvail());
  canvas->calls.clear();

  canvas->Width(0);  // no picture can be made at this size
  canvas->CreateOffscreen(32, true);
  EXPECT_FALSE(canvas->RefOffscreenAvail());
  EXPECT_FALSE(canvas->Pict());
  EXPECT_FALSE(canvas->Gfx());
  EXPECT_EQ(canvas->W(), 0);
  EXPECT_EQ(canvas->H(), 0);
  EXPECT_EQ(canvas->D(), 0);
  EXPECT_TRUE(canvas->calls.empty());
}

TEST(OffscreenCanvas, PaintsWhiteWithoutAPicture) {
  auto canvas = MakeCanvas(30, 20);
  auto target = BlackTarget(40, 30);

  canvas->Paint(target->Graphics());  // before any CreateOffscreen
  EXPECT_TRUE(AllPixels(target, 30, 20, kWhite));
  EXPECT_EQ(target->Graphics()->Pixel(30, 5), kBlack);
  EXPECT_EQ(target->Graphics()->Pixel(5, 20), kBlack);

  canvas->CreateOffscreen(32, true);
  canvas->Paint(target->Graphics());
  EXPECT_EQ(target->Graphics()->Pixel(2, 2), RGB(255, 0, 0));

  canvas->calls.clear();
  canvas->DisposeOffscreen();
  EXPECT_EQ(canvas->calls, std::vector<std::string>{"OffscreenDisposed"});  // and no repaint asked
  EXPECT_FALSE(canvas->RefOffscreenAvail());
  EXPECT_FALSE(canvas->Pict());
  EXPECT_FALSE(canvas->Gfx());
  EXPECT_EQ(canvas->W() + canvas->H() + canvas->D(), 0);
  canvas->Paint(target->Graphics());
  EXPECT_TRUE(AllPixels(target, 30, 20, kWhite));

  canvas->Width(0);
  canvas->CreateOffscreen(32, true);  // fails
  canvas->Width(30);
  target = BlackTarget(40, 30);
  canvas->Paint(target->Graphics());
  EXPECT_TRUE(AllPixels(target, 30, 20, kWhite));
}

TEST(OffscreenCanvas, PaintsThePictureUnscaledOrScaledToTheControl) {
  auto canvas = MakeCanvas(100, 50);
  canvas->CreateOffscreen(32, true);

  auto same = BlackTarget(120, 60);
  canvas->Paint(same->Graphics());
  EXPECT_EQ(same->Graphics()->Pixel(49, 24), RGB(255, 0, 0));
  EXPECT_EQ(same->Graphics()->Pixel(50, 24), RGB(0, 255, 0));
  EXPECT_EQ(same->Graphics()->Pixel(49, 25), RGB(0, 0, 255));
  EXPECT_EQ(same->Graphics()->Pixel(99, 49), RGB(255, 255, 0));
  EXPECT_EQ(same->Graphics()->Pixel(100, 49), kBlack);

  // Resized after the picture was made: the picture fills the new size.
  canvas->Width(200);
  canvas->Height(100);
  auto big = BlackTarget(220, 110);
  canvas->Paint(big->Graphics());
  struct Probe {
    int32_t x, y;
    fw::Color c;
  };
  for (const Probe p :
       {Probe{5, 5, RGB(255, 0, 0)}, Probe{95, 45, RGB(255, 0, 0)}, Probe{105, 5, RGB(0, 255, 0)},
        Probe{195, 45, RGB(0, 255, 0)}, Probe{5, 55, RGB(0, 0, 255)}, Probe{105, 95, RGB(255, 255, 0)},
        Probe{199, 99, RGB(255, 255, 0)}, Probe{200, 50, kBlack}, Probe{50, 100, kBlack}}) {
    EXPECT_EQ(big->Graphics()->Pixel(p.x, p.y), p.c) << p.x << "," << p.y;
  }

  // Shrunk: the whole picture still shows, scaled down.
  canvas->Width(50);
  canvas->Height(25);
  auto small = BlackTarget(60, 30);
  canvas->Paint(small->Graphics());
  EXPECT_EQ(small->Graphics()->Pixel(5, 5), RGB(255, 0, 0));
  EXPECT_EQ(small->Graphics()->Pixel(45, 20), RGB(255, 255, 0));
  EXPECT_EQ(small->Graphics()->Pixel(50, 20), kBlack);
}

TEST(OffscreenCanvas, OpeningRunsInitializeThenRaisesCreated) {
  auto canvas = MakeCanvas(10, 10);
  canvas->Event_Open();  // no handler attached: nothing else happens
  EXPECT_EQ(canvas->calls, std::vector<std::string>{"Initialize"});

  canvas->calls.clear();
  canvas->Created.Attach([&] {
    canvas->calls.push_back("Created");
    canvas->CreateOffscreen(32, true);
  });
  canvas->Event_Open();
  EXPECT_EQ(canvas->calls, (std::vector<std::string>{"Initialize", "Created", "OffscreenCreated", "PaintOffscreen",
                                                     "RefreshPicture(false)"}));
}

TEST(OffscreenCanvas, PointTestAndScaledPositions) {
  auto canvas = MakeCanvas(200, 100);
  struct Point {
    int32_t x, y;
    bool in;
  };
  for (const Point p : {Point{0, 0, true}, Point{199, 99, true}, Point{200, 0, false}, Point{0, 100, false},
                        Point{-1, 0, false}, Point{0, -1, false}}) {
    EXPECT_EQ(canvas->IsPointIn(p.x, p.y), p.in) << p.x << "," << p.y;
  }

  canvas->SetFixed(100, 400);
  canvas->CreateOffscreen(32, true);
  EXPECT_EQ(canvas->ScaledPosX(50), 25);
  EXPECT_EQ(canvas->ScaledPosX(-3), -1);  // truncated toward zero
  EXPECT_EQ(canvas->ScaledPosX(199), 99);
  EXPECT_EQ(canvas->ScaledPosY(25), 100);
  EXPECT_EQ(canvas->ScaledPosY(2'000'000'000), INT32_MAX);  // no wrap-around

  canvas->Width(0);
  canvas->Height(0);
  EXPECT_EQ(canvas->ScaledPosX(50), 0);
  EXPECT_EQ(canvas->ScaledPosY(50), 0);
  EXPECT_FALSE(canvas->IsPointIn(0, 0));
}

TEST(OffscreenCanvas, VersionInfo) { EXPECT_EQ(fw::New<ProbeCanvas>()->VersionInfo(), "2012-05-03,1"); }

// ---- On a real window: the repaint path and the pointer.

namespace {

class CountingCanvas : public OffscreenCanvas {
 public:
  int paints = 0;
  void Event_Paint(fw::Ref<fw::Graphics> g) override {
    ++paints;
    OffscreenCanvas::Event_Paint(g);
  }
  void Refresh_(bool now) { RefreshPicture(now); }

 protected:
  void PaintOffscreen() override {
    OffscreenGraphics->ForeColor(RGB(0, 128, 255));
    OffscreenGraphics->FillRect(0, 0, ItsWidth, ItsHeight);
  }
};

class CanvasWindow : public fw::Window {
 public:
  CanvasWindow() : fw::Window("CanvasWindow.CanvasWindow") {}
  void Layout() override {
    fw::SetProperties(*this, {{"Width", int32_t{260}}, {"Height", int32_t{120}}, {"Resizeable", false}});
  }
  void CreateControls() override {
    auto c = MakeControl<CountingCanvas>("Board");
    fw::SetProperties(
        *c, {{"Left", int32_t{200}}, {"Top", int32_t{10}}, {"Width", int32_t{40}}, {"Height", int32_t{30}}});
  }
  fw::Ref<CountingCanvas> Board() { return ControlAs<CountingCanvas>("Board"); }
};

fw::Ref<CanvasWindow> OpenCanvasWindow() {
  auto w = fw::New<CanvasWindow>();
  w->Constructor();
  fw::testing::ProcessEvents(50);
  return w;
}

}  // namespace

TEST(OffscreenCanvasOnWindow, RefreshTrueRepaintsAtOnceAndFalseWaitsForTheEventLoop) {
  auto w = OpenCanvasWindow();
  auto board = w->Board();
  board->CreateOffscreen(32, true);
  fw::testing::ProcessEvents(20);

  // Counted between two visits of the event loop, so that only the
  // repaints asked for here are seen.
  board->paints = 0;
  board->Refresh_(false);
  EXPECT_EQ(board->paints, 0);
  fw::testing::ProcessEvents(20);
  EXPECT_GE(board->paints, 1);

  fw::testing::ProcessEvents(20);
  board->paints = 0;
  board->Refresh_(true);
  EXPECT_EQ(board->paints, 1);

  auto shot = fw::testing::GrabControl(board);
  ASSERT_TRUE(shot);
  EXPECT_EQ(shot->Graphics()->Pixel(20, 15), RGB(0, 128, 255));
  board->DisposeOffscreen();
  shot = fw::testing::GrabControl(board);
  EXPECT_EQ(shot->Graphics()->Pixel(20, 15), kWhite);
  w->Close();
}

TEST(OffscreenCanvasOnWindow, MousePositionInControlCoordinates) {
  auto w = OpenCanvasWindow();
  fw::testing::MouseMove(w, 210, 25);
  EXPECT_EQ(w->Board()->GetMouseLocalX(), 10);
  EXPECT_EQ(w->Board()->GetMouseLocalY(), 15);
  fw::testing::MouseMove(w, 20, 5);
  EXPECT_EQ(w->Board()->GetMouseLocalX(), -180);
  EXPECT_EQ(w->Board()->GetMouseLocalY(), -5);
  w->Close();
}

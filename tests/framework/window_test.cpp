// Windows, canvases and their events, driven through real input events.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/FolderItem.h"
#include "framework/Testing.h"
#include "framework/Window.h"
#include "tests/support/AppFixture.h"
#include "tests/support/TestSupport.h"

using namespace fw;

namespace {

std::vector<std::string> g_log;

class LogCanvas : public Canvas {
 public:
  bool take = true;
  void Event_Open() override { g_log.push_back("open " + Name()); }
  bool Event_MouseDown(int32_t x, int32_t y) override {
    g_log.push_back("down " + std::to_string(x) + "," + std::to_string(y));
    return take;
  }
  void Event_MouseDrag(int32_t x, int32_t y) override {
    g_log.push_back("drag " + std::to_string(x) + "," + std::to_string(y));
  }
  void Event_MouseUp(int32_t x, int32_t y) override {
    g_log.push_back("up " + std::to_string(x) + "," + std::to_string(y));
  }
  void Event_MouseEnter() override { g_log.push_back("enter"); }
  void Event_MouseExit() override { g_log.push_back("exit"); }
  void Event_Paint(Ref<fw::Graphics> g) override {
    g->ForeColor(RGB(255, 0, 0));
    g->FillRect(0, 0, 10, 10);
  }
};

class TestWindow : public Window {
 public:
  TestWindow() : Window("TestWindow.TestWindow") {}
  void Layout() override {
    g_log.push_back("layout");
    SetProperties(
        *this,
        {{"Width", int32_t{120}}, {"Height", int32_t{80}}, {"Resizeable", false}, {"Title", std::string("Test")}});
  }
  void CreateControls() override {
    g_log.push_back("create");
    auto c = MakeControl<LogCanvas>("Pad");
    SetProperties(*c,
                  {{"Left", int32_t{20}}, {"Top", int32_t{10}}, {"Width", int32_t{40}}, {"Height", int32_t{30}}});
  }
  void AddMenuHandlers(Ref<Window>) override { g_log.push_back("menus"); }
  void Event_Open() override { g_log.push_back("open window"); }
  bool Event_MouseDown(int32_t x, int32_t y) override {
    g_log.push_back("window down " + std::to_string(x) + "," + std::to_string(y));
    return true;
  }
  bool Event_CancelClose(bool quitting) override {
    g_log.push_back(std::string("cancelclose ") + (quitting ? "quitting" : "closing"));
    return keepOpen;
  }
  bool keepOpen = false;
  Ref<LogCanvas> Pad() { return ControlAs<LogCanvas>("Pad"); }
};

Ref<TestWindow> MakeWindow() {
  auto w = New<TestWindow>();
  w->Constructor();
  fw::testing::ProcessEvents();
  return w;
}

}  // namespace

TEST(Window, ConstructionOrderAndImplicitInstance) {
  g_log.clear();
  auto w = MakeWindow();
  EXPECT_EQ(g_log, (std::vector<std::string>{"layout", "create", "menus", "open Pad", "open window"}));
  EXPECT_EQ(Window::GetImplicitWindow("TestWindow.TestWindow"), w);
  EXPECT_EQ(WindowCount(), 1);
  EXPECT_EQ(w->Width(), 120);
  EXPECT_EQ(w->Pad()->Left(), 20);
  EXPECT_TRUE(w->Close());
  EXPECT_FALSE(Window::GetImplicitWindow("TestWindow.TestWindow"));
  EXPECT_EQ(WindowCount(), 0);
}

TEST(Window, WindowsWaitForTheApplicationToOpen) {
  g_log.clear();
  auto app = New<Application>();
  RuntimeRegisterAppObject(app);
  auto w = New<TestWindow>();
  w->Constructor();
  EXPECT_EQ(g_log, (std::vector<std::string>{"layout", "create", "menus"}));
  app->OpenOnce();
  w->OpenControlsAndWindow();
  EXPECT_EQ(g_log.back(), "open window");
}

TEST(Window, CancelCloseKeepsTheWindowOpen) {
  auto w = MakeWindow();
  w->keepOpen = true;
  EXPECT_FALSE(w->Close());
  EXPECT_TRUE(w->IsOpen());
  w->keepOpen = false;
  EXPECT_TRUE(w->Close());
  EXPECT_FALSE(w->IsOpen());
}

TEST(Canvas, PaintsBackdropThenPaintEvent) {
  auto w = MakeWindow();
  auto back = Picture::New(40, 30, 32);
  back->Graphics()->ForeColor(RGB(0, 0, 255));
  back->Graphics()->FillRect(0, 0, 40, 30);
  w->Pad()->Backdrop(back);
  Ref<Picture> shot = fw::testing::GrabWindow(w);
  ASSERT_TRUE(shot);
  EXPECT_EQ(shot->Width(), 120);
  EXPECT_EQ(shot->Graphics()->Pixel(25, 15), RGB(255, 0, 0));  // the Paint event, over the backdrop
  EXPECT_EQ(shot->Graphics()->Pixel(50, 30), RGB(0, 0, 255));  // the backdrop
}

TEST(Canvas, PressTakenGetsDragAndUpInControlCoordinates) {
  g_log.clear();
  auto w = MakeWindow();
  g_log.clear();
  fw::testing::MouseMove(w, 25, 15);
  fw::testing::MousePress(w, 25, 15);
  fw::testing::MouseMove(w, 70, 50);  // outside the control, still its drag
  fw::testing::MouseRelease(w, 70, 50);
  EXPECT_EQ(g_log, (std::vector<std::string>{"enter", "down 5,5", "exit", "drag 50,40", "up 50,40"}));
}

TEST(Canvas, CrossingTheEdgeDuringAPressIsReportedAtOnce) {
  auto w = MakeWindow();
  fw::testing::MouseMove(w, 25, 15);
  fw::testing::MousePress(w, 25, 15);
  g_log.clear();
  fw::testing::MouseMove(w, 70, 50);
  fw::testing::MouseMove(w, 30, 20);
  fw::testing::MouseMove(w, 70, 50);
  fw::testing::MouseRelease(w, 70, 50);  // no second exit after the release
  fw::testing::MouseMove(w, 25, 15);
  EXPECT_EQ(g_log, (std::vector<std::string>{"exit", "drag 50,40", "enter", "drag 10,10", "exit", "drag 50,40",
                                             "up 50,40", "enter"}));
}

namespace {
int g_paints = 0;

// Draws on its own surface while it is painted, as picture buttons do.
class SelfDrawingCanvas : public Canvas {
 public:
  void Event_Paint(Ref<fw::Graphics>) override {
    ++g_paints;
    Graphics()->ForeColor(RGB(0, 128, 0));
    Graphics()->FillRect(0, 0, 8, 8);
  }
};

// A resizable window that keeps the default design size.
class PlainWindow : public Window {
 public:
  PlainWindow() : Window("PlainWindow.PlainWindow") {}
  void CreateControls() override {
    auto c = MakeControl<SelfDrawingCanvas>("Self");
    SetProperties(
        *c, {{"Left", int32_t{250}}, {"Top", int32_t{250}}, {"Width", int32_t{20}}, {"Height", int32_t{20}}});
  }
};
}  // namespace

namespace {
// A window made only of its design properties.
class DesignWindow : public Window {
 public:
  explicit DesignWindow(PropertyList design) : Window("DesignWindow.DesignWindow"), design_(std::move(design)) {}
  void Layout() override { SetProperties(*this, design_); }

 private:
  PropertyList design_;
};
}  // namespace

TEST(Window, DesignPropertiesReachThePlatformWindow) {
  struct Case {
    const char* name;
    PropertyList design;
    bool fixed, maximize, minimize, close, dialog;
  };
  const Case cases[] = {
      {"fixed by its limits, resizable flag left on",
       {{"Width", int32_t{150}},
        {"Height", int32_t{90}},
        {"MinWidth", int32_t{150}},
        {"MinHeight", int32_t{90}},
        {"MaxWidth", int32_t{150}},
        {"MaxHeight", int32_t{90}},
        {"MaximizeButton", false}},
       true,
       false,
       true,
       true,
       false},
      {"not resizable: no maximise button even when asked",
       {{"Width", int32_t{150}}, {"Height", int32_t{90}}, {"Resizeable", false}, {"MaximizeButton", true}},
       true,
       false,
       true,
       true,
       false},
      {"resizable document window",
       {{"Width", int32_t{150}}, {"Height", int32_t{90}}, {"MinWidth", int32_t{100}}, {"MaxWidth", int32_t{400}}},
       false,
       true,
       true,
       true,
       false},
      {"modal dialog frame without buttons",
       {{"Width", int32_t{150}},
        {"Height", int32_t{90}},
        {"Frame", int32_t{2}},
        {"Resizeable", false},
        {"CloseButton", false},
        {"MinimizeButton", false},
        {"MaximizeButton", false}},
       true,
       false,
       false,
       false,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto w = New<DesignWindow>(c.design);
    w->Constructor();
    fw::testing::ProcessEvents();
    const fw::testing::WindowFrame f = fw::testing::FrameOf(w);
    EXPECT_EQ(f.contentWidth, 150);
    EXPECT_EQ(f.contentHeight, 90);
    EXPECT_EQ(f.minWidth == f.maxWidth && f.minHeight == f.maxHeight, c.fixed);
    if (c.fixed) {
      EXPECT_EQ(f.maxWidth, f.width);
    }
    EXPECT_EQ(f.maximizeButton, c.maximize);
    EXPECT_EQ(f.minimizeButton, c.minimize);
    EXPECT_EQ(f.closeButton, c.close);
    EXPECT_EQ(f.dialog, c.dialog);
    w->Close();
  }
}

TEST(Canvas, PressNotTakenGoesToTheWindow) {
  auto w = MakeWindow();
  w->Pad()->take = false;
  g_log.clear();
  fw::testing::MousePress(w, 25, 15);
  fw::testing::MouseRelease(w, 25, 15);
  EXPECT_NE(std::find(g_log.begin(), g_log.end(), "window down 25,15"), g_log.end());
  EXPECT_EQ(std::find(g_log.begin(), g_log.end(), "up 5,5"), g_log.end());
}

TEST(Canvas, MousePositionInWindowCoordinates) {
  auto w = MakeWindow();
  fw::testing::MouseMove(w, 33, 17);
  EXPECT_EQ(w->Pad()->MouseX(), 33);
  EXPECT_EQ(w->Pad()->MouseY(), 17);
}

TEST(Runtime, ExceptionInAHandlerIsReportedAndFailsTheRun) {
  ::testing::internal::CaptureStderr();
  CallProgram([] { throw NilObjectException(); });
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("NilObjectException"), std::string::npos);
  EXPECT_EQ(RuntimeExit(), 1);
}

namespace {
// A window that records what reaches it.
class KeyWindow : public Window {
 public:
  explicit KeyWindow(std::string className = "KeyWindow.KeyWindow") : Window(std::move(className)) {}
  void Layout() override { SetProperties(*this, {{"Width", int32_t{60}}, {"Height", int32_t{40}}}); }
  void CreateControls() override {
    auto c = MakeControl<SelfDrawingCanvas>("Self");
    SetProperties(*c, {{"Width", int32_t{20}}, {"Height", int32_t{20}}});
  }
  bool Event_KeyDown(const std::string& key) override {
    keys.push_back(key);
    return true;
  }
  bool Event_CancelClose(bool quitting) override {
    closes.push_back(quitting);
    return refuse;
  }
  std::vector<std::string> keys;
  std::vector<bool> closes;
  bool refuse = false;
};
}  // namespace

TEST(Window, KeysReachTheWindowAsText) {
  auto w = New<KeyWindow>();
  w->Constructor();
  fw::testing::KeyPress(w, "a");
  fw::testing::KeyPress(w, "Return");
  fw::testing::KeyPress(w, "Left");
  EXPECT_EQ(w->keys, (std::vector<std::string>{"a", "\r", "\x1c"}));
}

TEST(Window, UpdateNowPaintsPendingRepaintsAtOnce) {
  auto w = New<KeyWindow>();
  w->Constructor();
  fw::testing::ProcessEvents(50);
  const int before = g_paints;
  w->ControlAs<Canvas>("Self")->Refresh(false);
  EXPECT_EQ(g_paints, before);  // asked for, not yet done
  w->UpdateNow();
  EXPECT_EQ(g_paints, before + 1);
  w->UpdateNow();  // nothing pending any more
  EXPECT_EQ(g_paints, before + 1);
}

TEST(Window, WindowListRunsFrontToBack) {
  auto first = New<KeyWindow>("First.First");
  first->Constructor();
  auto second = New<KeyWindow>("Second.Second");
  second->Constructor();
  ASSERT_EQ(WindowCount(), 2);
  EXPECT_EQ(WindowAt(0), second);
  EXPECT_EQ(WindowAt(1), first);
  EXPECT_FALSE(WindowAt(2));
  EXPECT_FALSE(WindowAt(-1));
  first->Show();  // brought to the front
  EXPECT_EQ(FrontWindow(), first);
  second->Close();
  EXPECT_EQ(WindowCount(), 1);
  EXPECT_EQ(WindowAt(0), first);
}

TEST(Window, ShowModalReturnsOnceClosedWhileTimersKeepRunning) {
  auto modal = New<KeyWindow>("Modal.Modal");
  modal->Constructor();
  int ticks = 0;
  auto clock = New<Timer>();
  clock->Action.Attach([&] {
    if (++ticks == 5) modal->Close();
  });
  clock->Period(10);
  clock->Mode(2);
  modal->ShowModal();
  EXPECT_EQ(ticks, 5);
  EXPECT_FALSE(modal->IsOpen());
  clock->Mode(0);
}

TEST(Window, QuittingAsksEveryWindowAndOneMayRefuse) {
  auto app = testsupport::OpenApp();
  auto a = New<KeyWindow>("A.A");
  a->Constructor();
  auto b = New<KeyWindow>("B.B");
  b->Constructor();
  a->refuse = true;
  app->Quit();
  EXPECT_TRUE(a->IsOpen());
  EXPECT_TRUE(b->IsOpen());
  EXPECT_EQ(a->closes, (std::vector<bool>{true}));
  a->refuse = false;
  app->Quit();
  EXPECT_FALSE(a->IsOpen());
  EXPECT_FALSE(b->IsOpen());
  EXPECT_EQ(b->closes, (std::vector<bool>{true, true}));
}

namespace {
class CountingCanvas : public Canvas {
 public:
  int paints = 0;
  void Event_Paint(Ref<fw::Graphics> g) override {
    ++paints;
    g->FillRect(0, 0, 5, 5);
  }
};

// A window with one canvas of class C, "Counter", in its top left corner.
template <class C>
class OneCanvasWindow : public Window {
 public:
  OneCanvasWindow() : Window("CountingWindow.CountingWindow") {}
  void Layout() override { SetProperties(*this, {{"Width", int32_t{90}}, {"Height", int32_t{60}}}); }
  void CreateControls() override {
    auto c = MakeControl<C>("Counter");
    SetProperties(*c,
                  {{"Left", int32_t{0}}, {"Top", int32_t{0}}, {"Width", int32_t{30}}, {"Height", int32_t{30}}});
  }
};
using CountingWindow = OneCanvasWindow<CountingCanvas>;
}  // namespace

TEST(Window, AResizableWindowTakesItsDesignSize) {
  struct Case {
    const char* name;
    std::function<Ref<Window>()> make;
    int32_t width, height;
    bool probe;  // the control near the far corner shows (green at 252,252)
  };
  const Case cases[] = {
      {"no size in its design: the default", [] { return Ref<Window>(New<PlainWindow>()); }, 300, 300, true},
      {"a size in its design", [] { return Ref<Window>(New<CountingWindow>()); }, 90, 60, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Ref<Window> w = c.make();
    w->Constructor();
    fw::testing::ProcessEvents(20);
    Ref<Picture> shot = fw::testing::GrabWindow(w);
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->Width(), c.width);
    EXPECT_EQ(shot->Height(), c.height);
    if (c.probe) {
      EXPECT_EQ(shot->Graphics()->Pixel(252, 252), RGB(0, 128, 0));
    }
    w->Close();
  }
}

TEST(Canvas, DrawingInPaintAsksForNoFurtherPaint) {
  struct Case {
    const char* name;
    std::function<Ref<Window>()> make;
    const char* control;
    std::function<int(const Ref<Window>&)> paints;
  };
  const Case cases[] = {
      {"on its own surface, as picture buttons do", [] { return Ref<Window>(New<PlainWindow>()); }, "Self",
       [](const Ref<Window>&) { return g_paints; }},
      {"on the graphics it is given", [] { return Ref<Window>(New<CountingWindow>()); }, "Counter",
       [](const Ref<Window>& w) { return w->ControlAs<CountingCanvas>("Counter")->paints; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Ref<Window> w = c.make();
    w->Constructor();
    fw::testing::ProcessEvents(100);
    const int settled = c.paints(w);
    fw::testing::ProcessEvents(200);
    EXPECT_GE(settled, 1);
    EXPECT_EQ(c.paints(w), settled);
    w->ControlAs<Canvas>(c.control)->Refresh(false);
    w->UpdateNow();
    EXPECT_EQ(c.paints(w), settled + 1);
    w->Close();
  }
}

namespace {
// Records moves, and the mouse-button state as the program sees it.
class MoveCanvas : public Canvas {
 public:
  bool Event_MouseDown(int32_t, int32_t) override {
    log.push_back(std::string("down, button ") + (System::MouseDown() ? "held" : "up"));
    return true;
  }
  void Event_MouseMove(int32_t x, int32_t y) override {
    log.push_back("move " + std::to_string(x) + "," + std::to_string(y));
  }
  void Event_MouseDrag(int32_t, int32_t) override {
    log.push_back(std::string("drag, button ") + (System::MouseDown() ? "held" : "up"));
  }
  void Event_MouseUp(int32_t, int32_t) override {
    log.push_back(std::string("up, button ") + (System::MouseDown() ? "held" : "up"));
  }
  std::vector<std::string> log;
};

class MoveWindow : public Window {
 public:
  MoveWindow() : Window("MoveWindow.MoveWindow") {}
  void Layout() override { SetProperties(*this, {{"Width", int32_t{100}}, {"Height", int32_t{60}}}); }
  void CreateControls() override {
    auto c = MakeControl<MoveCanvas>("Pad");
    SetProperties(*c,
                  {{"Left", int32_t{10}}, {"Top", int32_t{10}}, {"Width", int32_t{40}}, {"Height", int32_t{30}}});
  }
  Ref<MoveCanvas> Pad() { return ControlAs<MoveCanvas>("Pad"); }
};
}  // namespace

TEST(Canvas, MovesWithoutAButtonAndTheButtonStateDuringAPress) {
  auto w = New<MoveWindow>();
  w->Constructor();
  fw::testing::MouseMove(w, 15, 20);
  fw::testing::MouseMove(w, 70, 20);  // off the control: no move for it
  fw::testing::MouseMove(w, 20, 25);
  fw::testing::MousePress(w, 20, 25);
  fw::testing::MouseMove(w, 22, 25);
  fw::testing::MouseRelease(w, 22, 25);
  EXPECT_FALSE(System::MouseDown());
  EXPECT_EQ(w->Pad()->log, (std::vector<std::string>{"move 5,10", "move 10,15", "down, button held",
                                                     "drag, button held", "up, button up"}));
}

TEST(Canvas, MouseCursorReachesThePlatformAndNilRestoresTheDefault) {
  SetResourcesFolder(testsupport::SourceResourcesDir());
  auto app = New<Application>();
  RuntimeRegisterAppObject(app);
  Ref<MouseCursor> cursor = app->ResourceFork() ? app->ResourceFork()->GetCursor(168) : nullptr;
  ASSERT_TRUE(cursor) << "the resource file's cursor";
  app->OpenOnce();
  auto w = New<MoveWindow>();
  w->Constructor();
  Ref<RectControl> pad = w->Pad();
  EXPECT_FALSE(fw::testing::ShowsOwnCursor(pad));
  pad->MouseCursor(cursor);
  EXPECT_EQ(pad->MouseCursor(), cursor);
  EXPECT_TRUE(fw::testing::ShowsOwnCursor(pad));
  pad->MouseCursor(nullptr);
  EXPECT_FALSE(fw::testing::ShowsOwnCursor(pad));
}

TEST(Canvas, AnOpaqueCanvasRepaintsWithoutTheWindowUnderIt) {
  for (bool opaque : {false, true}) {
    SCOPED_TRACE(opaque ? "opaque" : "transparent");
    auto w = MakeWindow();
    auto back = Picture::New(40, 30, 32);  // with it the canvas covers every pixel
    back->Graphics()->ForeColor(RGB(0, 0, 255));
    back->Graphics()->FillRect(0, 0, 40, 30);
    w->Pad()->Backdrop(back);
    w->Pad()->Opaque(opaque);
    EXPECT_EQ(w->Pad()->Opaque(), opaque);
    fw::testing::ProcessEvents(50);
    fw::testing::WatchPaints(w);
    w->Pad()->Refresh(false);
    w->UpdateNow();
    fw::testing::ProcessEvents(50);
    EXPECT_EQ(fw::testing::PaintsSeen().contentPaints, opaque ? 0 : 1);
    // The same frame either way.
    Ref<Picture> shot = fw::testing::GrabWindow(w);
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->Graphics()->Pixel(25, 15), RGB(255, 0, 0));
    EXPECT_EQ(shot->Graphics()->Pixel(50, 30), RGB(0, 0, 255));
    w->Close();
  }
}

namespace {
// Paints in several steps, reading back between them, on one painter.
class LayeredCanvas : public Canvas {
 public:
  std::vector<Color> seen;
  void Event_Paint(Ref<fw::Graphics> g) override {
    seen.clear();
    g->ForeColor(RGB(255, 0, 0));
    g->FillRect(0, 0, 30, 30);
    seen.push_back(g->Pixel(3, 3));
    g->Pixel(3, 3, RGB(0, 255, 0));
    seen.push_back(g->Pixel(3, 3));
    auto dot = Picture::New(2, 2, 32);
    dot->Graphics()->ForeColor(RGB(0, 0, 255));
    dot->Graphics()->FillRect(0, 0, 2, 2);
    g->DrawPicture(dot, 3, 3);
    seen.push_back(g->Pixel(3, 3));
    g->ForeColor(RGB(255, 255, 0));
    g->FillRect(4, 4, 1, 1);
    seen.push_back(g->Pixel(4, 4));
    seen.push_back(g->Pixel(3, 4));
  }
};
}  // namespace

TEST(Canvas, EachDrawingStepOfAPaintIsThereForTheNext) {
  auto w = New<OneCanvasWindow<LayeredCanvas>>();
  w->Constructor();
  fw::testing::ProcessEvents(50);
  auto c = w->ControlAs<LayeredCanvas>("Counter");
  c->Refresh(false);
  w->UpdateNow();
  EXPECT_EQ(c->seen, (std::vector<Color>{RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0),
                                         RGB(0, 0, 255)}));
  Ref<Picture> shot = fw::testing::GrabControl(c);
  ASSERT_TRUE(shot);
  EXPECT_EQ(shot->Graphics()->Pixel(3, 3), RGB(0, 0, 255));
  EXPECT_EQ(shot->Graphics()->Pixel(4, 4), RGB(255, 255, 0));
  EXPECT_EQ(shot->Graphics()->Pixel(10, 10), RGB(255, 0, 0));
}

TEST(Window, ARepaintAtOnceInATickLeavesNoRepaintWaiting) {
  // A timer's handler asks for a repaint, and paints it at once or leaves
  // it to the event loop; every tick is painted either way, and only the
  // left one asks the loop for a repaint.
  for (bool now : {true, false}) {
    SCOPED_TRACE(now ? "painted at once" : "left to the loop");
    auto w = New<CountingWindow>();
    w->Constructor();
    fw::testing::ProcessEvents(50);
    auto c = w->ControlAs<CountingCanvas>("Counter");
    fw::testing::WatchPaints(w);
    const int before = c->paints;
    int ticks = 0;
    auto tick = New<Timer>();
    tick->Action.Attach([&] {
      ++ticks;
      c->Refresh(false);
      if (now) w->UpdateNow();
    });
    tick->Period(20);
    tick->Mode(2);
    fw::testing::ProcessEvents(200);
    tick->Mode(0);
    fw::testing::ProcessEvents(50);
    EXPECT_GE(ticks, 3);
    if (now) {
      EXPECT_EQ(c->paints - before, ticks);
      EXPECT_EQ(fw::testing::PaintsSeen().updateRequests, 0);
    } else {
      EXPECT_GE(c->paints - before, 1);
      EXPECT_GE(fw::testing::PaintsSeen().updateRequests, 1);
    }
    w->Close();
  }
}

// The picture button's press states, live areas and cursor, driven through
// real mouse events, with what it paints read back.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Testing.h"
#include "framework/Window.h"
#include "window/PictureButton.h"

using namespace fw;

namespace {

Ref<Picture> Solid(Color c, int32_t w = 40, int32_t h = 20) {
  Ref<Picture> p = Picture::New(w, h, 32);
  p->Graphics()->ForeColor(c);
  p->Graphics()->FillRect(0, 0, w, h);
  return p;
}

const Color kEnabled = RGB(200, 0, 0);
const Color kPushed = RGB(0, 160, 0);
const Color kDisabled = RGB(0, 0, 200);

// Columns 0-9 black and 10-19 dark grey (both live once reduced to two
// levels), 20-29 light grey and 30-39 white (dead).
Ref<Picture> MaskFixture() {
  Ref<Picture> m = Picture::New(40, 20, 32);
  const Color bands[] = {RGB(0, 0, 0), RGB(90, 90, 90), RGB(170, 170, 170), RGB(255, 255, 255)};
  for (int i = 0; i < 4; ++i) {
    m->Graphics()->ForeColor(bands[i]);
    m->Graphics()->FillRect(i * 10, 0, 10, 20);
  }
  return m;
}

struct Config {
  bool mask = false;
  bool cursor = false;
  bool selfDisable = false;
};

// An 80 x 60 window with one button at (10, 10), 40 x 20. In window
// coordinates the masked button is live at x 10-29 and dead at x 30-49.
class ButtonWindow : public Window {
 public:
  explicit ButtonWindow(Config c) : Window("ButtonWindow.ButtonWindow"), config(c) {}

  void Layout() override {
    SetProperties(*this, {{"Width", int32_t{80}}, {"Height", int32_t{60}}, {"Resizeable", false}});
  }
  void CreateControls() override {
    auto b = MakeControl<PictureButton>("Button");
    Button()->Backdrop(Solid(kEnabled));
    SetProperties(*b,
                  {{"Left", int32_t{10}}, {"Top", int32_t{10}}, {"Width", int32_t{40}}, {"Height", int32_t{20}}});
    AttachMethod(b->SetUp, *this, &ButtonWindow::Button_SetUp, *b);
    AttachMethod(b->Action, *this, &ButtonWindow::Button_Action, *b);
    AttachMethod(b->MouseIn, *this, &ButtonWindow::Button_MouseIn, *b);
    AttachMethod(b->MouseOut, *this, &ButtonWindow::Button_MouseOut, *b);
  }
  bool Event_MouseDown(int32_t, int32_t) override {
    log.push_back("window down");
    return true;
  }

  void Button_SetUp(Ref<PictureButton> b) {
    b->SetPictureOnPushed(Solid(kPushed));
    b->SetPictureOnDisabled(Solid(kDisabled));
    if (config.mask) b->SetMask(MaskFixture());
    if (config.cursor) b->SetCursor(cursor);
    b->SetSelfDisable(config.selfDisable);
  }
  void Button_Action(Ref<PictureButton> b) { log.push_back(b->RefButtonEnable() ? "Action" : "Action disabled"); }
  void Button_MouseIn(Ref<PictureButton>) { log.push_back("In"); }
  void Button_MouseOut(Ref<PictureButton>) { log.push_back("Out"); }

  Ref<PictureButton> Button() { return ControlAs<PictureButton>("Button"); }

  // What the button paints now.
  std::string Shows() {
    Ref<Picture> shot = fw::testing::GrabControl(Button());
    const Color c = shot->Graphics()->Pixel(20, 10);
    if (c == kEnabled) return "enabled";
    if (c == kPushed) return "pushed";
    if (c == kDisabled) return "disabled";
    return "other";
  }

  Config config;
  Ref<MouseCursor> cursor = fw::New<MouseCursor>(nullptr);
  std::vector<std::string> log;
};

Ref<ButtonWindow> Open(Config c) {
  auto w = fw::New<ButtonWindow>(c);
  w->Constructor();
  fw::testing::ProcessEvents();
  return w;
}

struct Step {
  enum Kind { Move, Press, Release, Disable, Enable } kind;
  int32_t x = 0, y = 0;
  std::string shows;  // what the button paints afterwards; empty: not checked
};

Step Move(int32_t x, int32_t y, std::string shows = {}) { return {Step::Move, x, y, std::move(shows)}; }
Step Press(int32_t x, int32_t y, std::string shows = {}) { return {Step::Press, x, y, std::move(shows)}; }
Step Release(int32_t x, int32_t y, std::string shows = {}) { return {Step::Release, x, y, std::move(shows)}; }
Step Disable(std::string shows = {}) { return {Step::Disable, 0, 0, std::move(shows)}; }
Step Enable(std::string shows = {}) { return {Step::Enable, 0, 0, std::move(shows)}; }

struct Case {
  const char* name;
  Config config;
  std::vector<Step> steps;
  std::vector<std::string> log;  // the button's events and presses that reached the window
  bool cursorShownAtEnd = false;
};

// A case shows as its name in the test list and in failure messages.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class PressTable : public ::testing::TestWithParam<Case> {};

TEST_P(PressTable, EventsAndPaintedState) {
  const Case& c = GetParam();
  auto w = Open(c.config);
  Ref<PictureButton> b = w->Button();
  for (size_t i = 0; i < c.steps.size(); ++i) {
    const Step& s = c.steps[i];
    switch (s.kind) {
      case Step::Move: fw::testing::MouseMove(w, s.x, s.y); break;
      case Step::Press: fw::testing::MousePress(w, s.x, s.y); break;
      case Step::Release: fw::testing::MouseRelease(w, s.x, s.y); break;
      case Step::Disable: b->ButtonDisable(); break;
      case Step::Enable: b->ButtonEnable(); break;
    }
    if (!s.shows.empty()) {
      EXPECT_EQ(w->Shows(), s.shows) << "after step " << i;
    }
  }
  EXPECT_EQ(w->log, c.log);
  EXPECT_EQ(b->MouseCursor() != nullptr, c.cursorShownAtEnd);
}

const Config kMasked{true, false, false};
const Config kPlain{false, false, false};
const Config kMaskedCursor{true, true, false};
const Config kPlainCursor{false, true, false};
const Config kSelfDisabling{false, true, true};

INSTANTIATE_TEST_SUITE_P(
    PictureButton, PressTable,
    ::testing::Values(
        Case{"PressOnDisabledButtonIsNotTaken",
             kMasked,
             {Disable("disabled"), Press(15, 15, "disabled"), Release(15, 15, "disabled")},
             {"window down"}},
        Case{"PressOnDeadPixelIsTakenAndDoesNothing",
             kMasked,
             {Press(45, 15, "enabled"), Move(15, 15, "enabled"), Release(15, 15, "enabled")},
             {}},
        Case{"LightGreyOfTheMaskIsDead", kMasked, {Press(35, 15, "enabled"), Release(35, 15, "enabled")}, {}},
        Case{
            "DarkGreyOfTheMaskIsLive", kMasked, {Press(25, 15, "pushed"), Release(25, 15, "enabled")}, {"Action"}},
        Case{"DragOffAndBack",
             kMasked,
             {Press(15, 15, "pushed"), Move(45, 15, "enabled"), Move(15, 15, "pushed"), Move(15, 45, "enabled"),
              Move(15, 15, "pushed"), Release(15, 15, "enabled")},
             {"Action"}},
        Case{"ReleaseOnDeadPixelAfterDraggingThere",
             kMasked,
             {Press(15, 15, "pushed"), Move(45, 15, "enabled"), Release(45, 15, "enabled")},
             {}},
        Case{"ReleaseOutsideTheControl",
             kPlain,
             {Press(15, 15, "pushed"), Move(70, 50, "enabled"), Release(70, 50, "enabled")},
             {}},
        Case{"SelfDisableModeDisablesBeforeActionAndWithdrawsTheCursor",
             kSelfDisabling,
             {Move(15, 15), Press(15, 15, "pushed"), Release(15, 15, "disabled")},
             {"In", "Action disabled", "Out"}},
        Case{"ButtonDisableWithdrawsTheCursorAndButtonEnableAppliesIt",
             kMaskedCursor,
             {Move(15, 15), Disable("disabled"), Enable("enabled")},
             {"In", "Out", "In"},
             true},
        Case{"LeavingWithoutAPressKeepsTheCursorOn",
             kMaskedCursor,
             {Move(15, 15), Move(70, 50), Move(15, 15)},
             {"In"},
             true},
        Case{"MovingOntoADeadPixelWithdrawsTheCursor", kMaskedCursor, {Move(15, 15), Move(45, 15)}, {"In", "Out"}},
        Case{"LeavingDuringAPressWithdrawsTheCursor",
             kMaskedCursor,
             {Move(15, 15), Press(15, 15), Move(70, 50), Release(70, 50, "enabled")},
             {"In", "Out"}},
        Case{"UnmaskedButtonAppliesItsCursorAfterAReleaseOutside",
             kPlainCursor,
             {Move(15, 15), Press(15, 15), Move(70, 50), Release(70, 50, "enabled")},
             {"In", "Out", "In"},
             true},
        Case{"DisabledWhilePushedStillCompletesTheClick",
             kMasked,
             {Press(15, 15, "pushed"), Disable("disabled"), Release(15, 15, "disabled")},
             {"Action disabled"}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The platform reports a move before a release elsewhere, so this order of
// reports only reaches the button directly: the release position is not
// examined, the last report decides.
TEST(PictureButton, ReleaseRightAfterALivePressCountsWherever) {
  auto w = Open(kMasked);
  Ref<PictureButton> b = w->Button();
  EXPECT_TRUE(b->Event_MouseDown(5, 5));
  b->Event_MouseUp(35, 5);
  EXPECT_EQ(w->log, (std::vector<std::string>{"Action"}));
}

TEST(PictureButton, MaskThatFailedToLoadKeepsTheMaskBefore) {
  auto w = Open(kMasked);
  w->Button()->SetMask(nullptr);
  fw::testing::MousePress(w, 45, 15);
  EXPECT_EQ(w->Shows(), "enabled");
  fw::testing::MouseRelease(w, 45, 15);
  EXPECT_TRUE(w->log.empty());
}

TEST(PictureButton, OpensWithItsDesignBackdropAsEveryPictureUntilSetUpReplacesThem) {
  auto w = fw::New<ButtonWindow>(Config{});
  // Detach SetUp before the window opens its controls: the design backdrop
  // then stays the picture of every state.
  auto app = fw::New<Application>();
  RuntimeRegisterAppObject(app);
  w->Constructor();
  w->Button()->SetUp.Detach();
  app->OpenOnce();
  w->OpenControlsAndWindow();
  Ref<PictureButton> b = w->Button();
  EXPECT_FALSE(b->Backdrop());  // the button paints itself
  EXPECT_EQ(w->Shows(), "enabled");
  fw::testing::MousePress(w, 15, 15);
  EXPECT_EQ(w->Shows(), "enabled");  // pushed picture is the backdrop too
  b->ButtonDisable();
  EXPECT_EQ(w->Shows(), "enabled");
  fw::testing::MouseRelease(w, 15, 15);
  EXPECT_EQ(w->log, (std::vector<std::string>{"Action disabled"}));
}

}  // namespace

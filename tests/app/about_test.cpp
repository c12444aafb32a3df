// The About window: its size and content, closing on any key or click, the
// icon's swap to the maker's logo under the pointer, and the badge's pixels.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/AboutWindow.h"
#include "app/Version.h"
#include "engine/Media.h"
#include "framework/FolderItem.h"
#include "framework/Testing.h"
#include "tests/support/Pixels.h"
#include "tests/support/TestSupport.h"

using namespace fw;
using testsupport::SamePixels;

namespace {

Ref<AboutWindow> ShownAbout() {
  Ref<AboutWindow> w = AboutWindow::Instance();
  w->Show();
  fw::testing::ProcessEvents();
  return w;
}

bool Ink(Color c) { return c.Value() < 0.5; }

// The right-most column with dark pixels; -1 when there is none.
int32_t RightmostInk(const Ref<Picture>& p) {
  int32_t right = -1;
  for (int32_t y = 0; y < p->Height(); ++y)
    for (int32_t x = 0; x < p->Width(); ++x)
      if (Ink(p->Graphics()->Pixel(x, y))) right = std::max(right, x);
  return right;
}

}  // namespace

TEST(AboutWindow, SizeTitleAndContent) {
  Ref<AboutWindow> w = ShownAbout();
  EXPECT_EQ(w->Width(), 200);
  EXPECT_EQ(w->Height(), 80);
  EXPECT_EQ(w->Title(), "Pandriskについて");
  Ref<Picture> shot = fw::testing::GrabWindow(w);
  EXPECT_EQ(shot->Width(), 200);
  EXPECT_EQ(shot->Height(), 80);  // no menu bar in the box
  EXPECT_EQ(shot->Graphics()->Pixel(100, 72), RGB(255, 255, 255));

  EXPECT_EQ(w->AppName()->Text(), "Pandrisk " PANDRISK_VERSION);
  EXPECT_NE(w->AppCopy()->Text().find("2026"), std::string::npos);
  EXPECT_NE(w->AppCopy()->Text().find("Drevakon"), std::string::npos);
  for (const Ref<Label>& label : {w->AppName(), w->AppCopy()}) {
    SCOPED_TRACE(label->Text());
    EXPECT_EQ(label->TextSize(), 12);
    EXPECT_EQ(label->TextFont(), "System");
    // The whole text shows: it ends before the label's right edge.
    const int32_t right = RightmostInk(fw::testing::GrabControl(label));
    EXPECT_GT(right, 0);
    EXPECT_LT(right, label->Width() - 2);
    EXPECT_LE(label->Left() + label->Width(), 200);
  }
  EXPECT_EQ(w->TheTargetSystemDisplay()->VersionInfo(), "2011-12-22,1");
}

TEST(AboutWindow, OneInstanceWhileOpen) {
  Ref<AboutWindow> w = ShownAbout();
  EXPECT_EQ(AboutWindow::Instance(), w);
  w->Close();
  EXPECT_NE(AboutWindow::Instance(), w);
}

TEST(AboutWindow, BothHandlersCloseTheWindowAndReturnFalse) {
  Ref<AboutWindow> byKey = ShownAbout();
  EXPECT_FALSE(byKey->Event_KeyDown("x"));
  EXPECT_FALSE(byKey->IsOpen());
  Ref<AboutWindow> byMouse = ShownAbout();
  EXPECT_FALSE(byMouse->Event_MouseDown(3, 4));
  EXPECT_FALSE(byMouse->IsOpen());
}

TEST(AboutWindow, AnyKeyOrClickThatReachesItClosesIt) {
  using Input = std::function<void(const Ref<Window>&)>;
  const std::pair<const char*, Input> inputs[] = {
      {"key a", [](const Ref<Window>& w) { fw::testing::KeyPress(w, "a"); }},
      {"key Escape", [](const Ref<Window>& w) { fw::testing::KeyPress(w, "Escape"); }},
      {"key Return", [](const Ref<Window>& w) { fw::testing::KeyPress(w, "Return"); }},
      {"Ctrl+W", [](const Ref<Window>& w) { fw::testing::KeyPress(w, "w", true); }},
      {"click on the background", [](const Ref<Window>& w) { fw::testing::Click(w, 5, 70); }},
      {"click on the name", [](const Ref<Window>& w) { fw::testing::Click(w, 70, 30); }},
      {"click on the icon", [](const Ref<Window>& w) { fw::testing::Click(w, 30, 30); }},
      {"click on the badge", [](const Ref<Window>& w) { fw::testing::Click(w, 185, 6); }},
  };
  for (const auto& [what, input] : inputs) {
    SCOPED_TRACE(what);
    Ref<AboutWindow> w = ShownAbout();
    ASSERT_TRUE(w->IsOpen());
    input(w);
    EXPECT_FALSE(w->IsOpen());
    EXPECT_FALSE(Window::GetImplicitWindow("AboutWindow.AboutWindow"));
    fw::testing::ProcessEvents();
  }
}

TEST(AboutWindow, ShowModalReturnsOnceAKeyHasClosedIt) {
  Ref<AboutWindow> w = AboutWindow::Instance();
  auto press = fw::New<Timer>();
  press->Action.Attach([w] { fw::testing::KeyPress(w, "k"); });
  press->Period(50);
  press->Mode(1);
  // Should the key not close it, this ends the wait and fails the test.
  bool rescued = false;
  auto rescue = fw::New<Timer>();
  rescue->Action.Attach([w, &rescued] {
    rescued = true;
    w->Close();
  });
  rescue->Period(5000);
  rescue->Mode(1);
  w->ShowModal();
  rescue->Mode(0);
  EXPECT_FALSE(rescued);
  EXPECT_FALSE(w->IsOpen());
}

TEST(AboutWindow, TheIconTurnsIntoTheLogoWhileThePointerIsOverIt) {
  ASSERT_TRUE(IconPict());
  ASSERT_TRUE(DrevakonPict());
  Ref<AboutWindow> w = ShownAbout();
  Ref<Canvas> icon = w->AppIcon();
  EXPECT_EQ(icon->Backdrop(), IconPict());
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    fw::testing::MouseMove(w, 30, 30);
    EXPECT_EQ(icon->Backdrop(), DrevakonPict());
    EXPECT_TRUE(SamePixels(fw::testing::GrabWindow(w), 16, 16, DrevakonPict(), 0, 0, 32, 32));
    fw::testing::MouseMove(w, 120, 70);
    EXPECT_EQ(icon->Backdrop(), IconPict());
    EXPECT_TRUE(SamePixels(fw::testing::GrabWindow(w), 16, 16, IconPict(), 0, 0, 32, 32));
  }
}

TEST(AboutWindow, TheBadgeIsThe16By8PieceAtRow32OfItsPicture) {
  Ref<Picture> pic = TargetSystemPict();
  ASSERT_TRUE(pic);
  ASSERT_GE(pic->Height(), 40);
  // The piece must differ from the picture's top, or the test could not
  // tell the two apart.
  ASSERT_FALSE(SamePixels(pic, 0, 32, pic, 0, 0, 16, 8));
  Ref<AboutWindow> w = ShownAbout();
  Ref<Picture> shot = fw::testing::GrabWindow(w);
  EXPECT_TRUE(SamePixels(shot, 180, 3, pic, 0, 32, 16, 8));
  // Nothing around it.
  for (int32_t x = 178; x < 198; ++x) {
    EXPECT_EQ(shot->Graphics()->Pixel(x, 2), RGB(255, 255, 255)) << x;
    EXPECT_EQ(shot->Graphics()->Pixel(x, 11), RGB(255, 255, 255)) << x;
  }
  EXPECT_EQ(shot->Graphics()->Pixel(179, 6), RGB(255, 255, 255));
  EXPECT_EQ(shot->Graphics()->Pixel(196, 6), RGB(255, 255, 255));
}

TEST(AboutWindow, MissingPicturesLeaveTheirPlacesEmpty) {
  testsupport::TempDir empty;
  SetResourcesFolder(empty.path());
  Ref<AboutWindow> w = ShownAbout();
  EXPECT_FALSE(w->AppIcon()->Backdrop());
  fw::testing::MouseMove(w, 30, 30);
  EXPECT_FALSE(w->AppIcon()->Backdrop());
  Ref<Picture> shot = fw::testing::GrabWindow(w);
  for (int32_t y = 3; y < 11; ++y)
    for (int32_t x = 180; x < 196; ++x) EXPECT_EQ(shot->Graphics()->Pixel(x, y), RGB(255, 255, 255));
  EXPECT_EQ(shot->Graphics()->Pixel(30, 30), RGB(255, 255, 255));
  SetResourcesFolder("");
}

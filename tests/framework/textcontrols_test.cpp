// Labels, tab panels with their pages and text areas, read back from what
// the window shows.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/TextControls.h"
#include "framework/Testing.h"
#include "framework/Window.h"

using namespace fw;

namespace {

// A white window whose controls the test builds.
class Board : public Window {
 public:
  explicit Board(std::function<void(Board&)> build) : Window("Board.Board"), build_(std::move(build)) {}
  void Layout() override {
    SetProperties(*this, {{"Width", int32_t{300}},
                          {"Height", int32_t{200}},
                          {"Resizeable", false},
                          {"HasBackColor", true},
                          {"BackColor", Color{0xFFFFFF}}});
  }
  void CreateControls() override { build_(*this); }

  template <class C>
  Ref<C> Add(const std::string& name, const PropertyList& props) {
    auto c = MakeControl<C>(name);
    SetProperties(*c, props);
    return c;
  }

 private:
  std::function<void(Board&)> build_;
};

Ref<Board> Open(std::function<void(Board&)> build) {
  auto w = fw::New<Board>(std::move(build));
  w->Constructor();
  fw::testing::ProcessEvents();
  return w;
}

PropertyList Rect(int32_t l, int32_t t, int32_t w, int32_t h) {
  return {{"Left", l}, {"Top", t}, {"Width", w}, {"Height", h}};
}

// Drawn text: black, or the red of the colour test, on a light background.
bool Ink(Color c) { return c.Green() < 128; }

struct Box {
  int32_t left = -1, top = -1, right = -1, bottom = -1;  // inclusive; -1: no ink
  bool Empty() const { return left < 0; }
};

// The bounding box of the dark pixels of a picture.
Box InkBox(const Ref<Picture>& p) {
  Box b;
  for (int32_t y = 0; y < p->Height(); ++y)
    for (int32_t x = 0; x < p->Width(); ++x)
      if (Ink(p->Graphics()->Pixel(x, y))) {
        if (b.Empty()) b = {x, y, x, y};
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, x);
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y);
      }
  return b;
}

// The number of bands of rows with dark pixels between x0 and x1: the lines
// of a text of one line of capitals each.
int CountInkBands(const Ref<Picture>& p, int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
  int bands = 0;
  bool inBand = false;
  for (int32_t y = y0; y < y1; ++y) {
    bool ink = false;
    for (int32_t x = x0; x < x1 && !ink; ++x) ink = Ink(p->Graphics()->Pixel(x, y));
    if (ink && !inBand) ++bands;
    inBand = ink;
  }
  return bands;
}

std::vector<uint32_t> Pixels(const Ref<Picture>& p) {
  std::vector<uint32_t> v;
  for (int32_t y = 0; y < p->Height(); ++y)
    for (int32_t x = 0; x < p->Width(); ++x) v.push_back(p->Graphics()->Pixel(x, y).value);
  return v;
}

PropertyList LabelFont(double size = 12) {
  return {{"TextFont", std::string("System")}, {"TextUnit", int32_t{0}}, {"TextSize", size}};
}

}  // namespace

TEST(Label, SystemFontDrawsJapaneseGlyphsNotBoxes) {
  // A missing glyph is drawn as the same box whatever the character, so two
  // different kanji drawn alike would mean the fallback font is not used.
  auto w = Open([](Board& b) {
    b.Add<Label>("A", Join(Join(Rect(10, 10, 40, 30), LabelFont(18)), {{"Text", std::string("目")}}));
    b.Add<Label>("B", Join(Join(Rect(60, 10, 40, 30), LabelFont(18)), {{"Text", std::string("操")}}));
  });
  Ref<Picture> a = fw::testing::GrabControl(w->ControlAs<Label>("A"));
  Ref<Picture> b = fw::testing::GrabControl(w->ControlAs<Label>("B"));
  ASSERT_TRUE(a && b);
  EXPECT_FALSE(InkBox(a).Empty());
  EXPECT_FALSE(InkBox(b).Empty());
  EXPECT_NE(Pixels(a), Pixels(b));
}

TEST(Label, AlignmentColourAndSize) {
  struct Case {
    int32_t align;
    double size;
  };
  for (const Case& c : {Case{0, 12}, Case{1, 12}, Case{2, 12}, Case{0, 24}}) {
    SCOPED_TRACE("align " + std::to_string(c.align) + " size " + std::to_string(c.size));
    auto w = Open([&](Board& b) {
      b.Add<Label>("L",
                   Join(Join(Rect(0, 0, 200, 40), LabelFont(c.size)),
                        {{"Text", std::string("HH")}, {"TextAlign", c.align}, {"TextColor", Color{0xC00000}}}));
    });
    Ref<Picture> shot = fw::testing::GrabControl(w->ControlAs<Label>("L"));
    ASSERT_TRUE(shot);
    const Box ink = InkBox(shot);
    ASSERT_FALSE(ink.Empty());
    const int32_t mid = (ink.left + ink.right) / 2;
    if (c.align == 0) {
      EXPECT_LT(ink.left, 10);
    } else if (c.align == 1) {
      EXPECT_NEAR(mid, 100, 3);
    } else {
      EXPECT_GT(ink.right, 190);
    }
    // Capitals of 12 points are some 12 pixels high, of 24 points twice that.
    const int32_t height = ink.bottom - ink.top + 1;
    EXPECT_NEAR(height, c.size, c.size / 4);
    // The most strongly drawn pixel has the text colour.
    Color strongest{0xFFFFFF};
    for (int32_t y = ink.top; y <= ink.bottom; ++y)
      for (int32_t x = ink.left; x <= ink.right; ++x)
        if (shot->Graphics()->Pixel(x, y).Green() < strongest.Green()) strongest = shot->Graphics()->Pixel(x, y);
    EXPECT_GT(strongest.Red(), 150);
    EXPECT_LT(strongest.Green(), 60);
    w->Close();
  }
}

TEST(Label, PressOnALabelReachesTheWindow) {
  struct Pressed : Board {
    using Board::Board;
    bool Event_MouseDown(int32_t x, int32_t y) override {
      at = {x, y};
      return false;
    }
    std::pair<int32_t, int32_t> at{-1, -1};
  };
  auto w = fw::New<Pressed>([](Board& b) {
    b.Add<Label>("L", Join(Rect(50, 40, 100, 20), {{"Text", std::string("Pandrisk")}}));
  });
  w->Constructor();
  fw::testing::Click(w, 60, 45);
  EXPECT_EQ(w->at, std::make_pair(60, 45));
}

namespace {

// Pages hold red, green and blue squares (page 1, 2, 3) at one place in
// window coordinates; a grey square lies on the panel itself, on every page.
Ref<Board> PanelBoard() {
  return Open([](Board& b) {
    b.Add<TabPanel>(
        "Tabs", Join(Join(Rect(10, 5, 280, 190), LabelFont(9)),
                     {{"SmallTabs", true}, {"TabDefinition", std::string("一\r二\r三")}, {"Value", int32_t{0}}}));
    const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x808080};
    for (int32_t page = 0; page < 4; ++page) {
      auto c = b.Add<Canvas>(
          "Square" + std::to_string(page),
          Join(page < 3 ? Rect(40, 60, 30, 30) : Rect(200, 60, 30, 30),
               {{"InitialParent", std::string("Tabs")}, {"TabPanelIndex", page < 3 ? page + 1 : 0}}));
      auto pic = Picture::New(30, 30, 32);
      pic->Graphics()->ForeColor(Color{colours[page]});
      pic->Graphics()->FillRect(0, 0, 30, 30);
      c->Backdrop(pic);
    }
  });
}

Color At(const Ref<Window>& w, int32_t x, int32_t y) {
  return fw::testing::GrabWindow(w)->Graphics()->Pixel(x, y);
}

}  // namespace

TEST(TabPanel, TitlesFromTheDefinitionAndTheFirstTabSelected) {
  auto w = PanelBoard();
  auto tabs = w->ControlAs<TabPanel>("Tabs");
  EXPECT_EQ(tabs->PanelCount(), 3);
  EXPECT_EQ(tabs->Caption(0), "一");
  EXPECT_EQ(tabs->Caption(2), "三");
  EXPECT_EQ(tabs->Caption(3), "");
  EXPECT_EQ(tabs->Value(), 0);
  tabs->TabDefinition("");
  EXPECT_EQ(tabs->PanelCount(), 0);
  tabs->TabDefinition("A\rB");
  EXPECT_EQ(tabs->Caption(1), "B");
}

TEST(TabPanel, OnlyTheSelectedPageShowsItsControlsAtWindowCoordinates) {
  auto w = PanelBoard();
  auto tabs = w->ControlAs<TabPanel>("Tabs");
  const Color want[] = {Color{0xFF0000}, Color{0x00FF00}, Color{0x0000FF}};
  for (int32_t v : {0, 1, 2, 0}) {
    tabs->Value(v);
    EXPECT_EQ(tabs->Value(), v);
    EXPECT_EQ(At(w, 41, 61), want[v]) << "page " << v + 1 << ", top-left corner";
    EXPECT_EQ(At(w, 69, 89), want[v]) << "page " << v + 1 << ", bottom-right corner";
    EXPECT_EQ(At(w, 215, 75), Color{0x808080}) << "the panel's own control";
  }
  tabs->Value(3);  // no such tab
  tabs->Value(-1);
  EXPECT_EQ(tabs->Value(), 0);
}

TEST(TabPanel, ClickingAcrossTheTabsSelectsEachInTurn) {
  auto w = PanelBoard();
  auto tabs = w->ControlAs<TabPanel>("Tabs");
  std::vector<int32_t> seen;
  for (int32_t x = 12; x < 290; x += 4) {
    fw::testing::Click(w, x, 12);
    if (seen.empty() || seen.back() != tabs->Value()) seen.push_back(tabs->Value());
  }
  EXPECT_EQ(seen, (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(At(w, 50, 70), Color{0x0000FF});
}

TEST(TabPanel, PlacingOnAPageNeedsATabPanelOfTheWindow) {
  auto w = Open([](Board& b) {
    b.Add<TabPanel>("Tabs", Join(Rect(0, 0, 200, 100), {{"TabDefinition", std::string("A\rB")}}));
    b.Add<Canvas>("Pad", Rect(0, 0, 10, 10));
  });
  auto c = w->New<Canvas>();
  c->Constructor();
  EXPECT_THROW(SetProperties(*c, {{"InitialParent", std::string("Tabs")}}), DesignPropertyError);  // not added yet
  w->AddControl("Loose", c);
  EXPECT_THROW(SetProperties(*c, {{"InitialParent", std::string("Pad")}}), DesignPropertyError);
  EXPECT_THROW(SetProperties(*c, {{"InitialParent", std::string("Nothing")}}), DesignPropertyError);
  EXPECT_NO_THROW(SetProperties(*c, {{"TabPanelIndex", int32_t{2}}, {"InitialParent", std::string("Tabs")}}));
}

TEST(TextArea, CarriageReturnsEndLinesAndTheTextKeepsItsBytes) {
  const std::string text = "H\rH\r\nH\nH";
  auto w = Open([&](Board& b) {
    b.Add<TextArea>("T", Join(Join(Rect(10, 10, 200, 150), LabelFont(12)),
                              {{"ReadOnly", true}, {"ScrollbarVertical", true}, {"Text", text}}));
  });
  auto area = w->ControlAs<TextArea>("T");
  EXPECT_EQ(area->Text(), text);
  Ref<Picture> shot = fw::testing::GrabControl(area);
  ASSERT_TRUE(shot);
  // Inside the border, left of the scroll bar.
  EXPECT_EQ(CountInkBands(shot, 3, 100, 3, shot->Height() - 3), 4);
}

TEST(TextArea, TypingChangesOnlyAnEditableArea) {
  for (bool readOnly : {true, false}) {
    SCOPED_TRACE(readOnly ? "read-only" : "editable");
    auto w = Open([&](Board& b) {
      b.Add<TextArea>("T", Join(Rect(10, 10, 200, 150), {{"ReadOnly", readOnly}, {"Text", std::string("x")}}));
    });
    fw::testing::Click(w, 100, 100);
    fw::testing::KeyPress(w, "Return");
    fw::testing::KeyPress(w, "y");
    EXPECT_EQ(w->ControlAs<TextArea>("T")->Text(), readOnly ? "x" : "x\ry");
    w->Close();
  }
}

TEST(TextArea, ScrollsOnlyWhenTheTextIsLongerThanTheArea) {
  std::string longText;
  for (int i = 0; i < 60; ++i) longText += "行" + std::to_string(i) + "\r";
  auto w = Open([&](Board& b) {
    b.Add<TextArea>("Short", Join(Rect(10, 10, 120, 100), {{"ReadOnly", true}, {"Text", std::string("一行")}}));
    b.Add<TextArea>("Long", Join(Rect(140, 10, 120, 100), {{"ReadOnly", true}, {"Text", longText}}));
  });
  auto shortArea = w->ControlAs<TextArea>("Short");
  auto longArea = w->ControlAs<TextArea>("Long");
  shortArea->ScrollPosition(30);
  longArea->ScrollPosition(30);
  EXPECT_EQ(shortArea->ScrollPosition(), 0);
  EXPECT_EQ(longArea->ScrollPosition(), 30);
  Ref<Picture> scrolled = fw::testing::GrabControl(longArea);
  longArea->ScrollPosition(0);
  EXPECT_NE(Pixels(scrolled), Pixels(fw::testing::GrabControl(longArea)));
}

TEST(TextArea, BorderAndColours) {
  auto w = Open([](Board& b) {
    b.Add<TextArea>("Framed", Join(Rect(10, 10, 100, 60), {{"Border", true}, {"BackColor", Color{0xFFFF00}}}));
    b.Add<TextArea>("Bare",
                    Join(Rect(120, 10, 100, 60),
                         {{"Border", false}, {"ScrollbarVertical", false}, {"BackColor", Color{0xFFFF00}}}));
  });
  Ref<Picture> framed = fw::testing::GrabControl(w->ControlAs<TextArea>("Framed"));
  Ref<Picture> bare = fw::testing::GrabControl(w->ControlAs<TextArea>("Bare"));
  EXPECT_NE(framed->Graphics()->Pixel(0, 30), Color{0xFFFF00});
  EXPECT_EQ(framed->Graphics()->Pixel(20, 30), Color{0xFFFF00});
  EXPECT_EQ(bare->Graphics()->Pixel(0, 30), Color{0xFFFF00});
  EXPECT_EQ(bare->Graphics()->Pixel(99, 30), Color{0xFFFF00});  // no scroll bar
}

TEST(TextControls, DesignValuesThatCannotBeHonouredAreRefused) {
  auto w = Open([](Board& b) {
    b.Add<TextArea>("T", Rect(0, 0, 50, 50));
    b.Add<Label>("L", Rect(0, 60, 50, 20));
  });
  auto area = w->ControlAs<TextArea>("T");
  auto label = w->ControlAs<Label>("L");
  const PropertyList refused[] = {
      {{"TextUnit", int32_t{3}}},         {{"Styled", true}},
      {{"LimitText", int32_t{10}}},       {{"Mask", std::string("#")}},
      {{"DataField", std::string("f")}},  {{"NoSuchThing", true}},
      {{"ReadOnly", std::string("yes")}},
  };
  for (const PropertyList& p : refused) EXPECT_THROW(SetProperties(*area, p), DesignPropertyError) << p[0].first;
  EXPECT_THROW(SetProperties(*label, {{"DataSource", std::string("db")}}), DesignPropertyError);
  EXPECT_NO_THROW(SetProperties(*area, {{"Styled", false},
                                        {"LimitText", int32_t{0}},
                                        {"Mask", std::string()},
                                        {"HideSelection", true},
                                        {"AutomaticallyCheckSpelling", false}}));
  EXPECT_NO_THROW(SetProperties(*label, {{"Transparent", false}, {"DataField", std::string()}}));
}

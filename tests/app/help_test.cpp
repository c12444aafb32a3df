// The Help window: its layout, its tabs and texts, its single instance and
// File > Close; and the rules every help text follows.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "app/App.h"
#include "app/HelpTexts.h"
#include "app/HelpWindow.h"
#include "framework/Menu.h"
#include "framework/Testing.h"
#include "tests/support/AppFixture.h"
#include "tests/support/QuietAppl.h"

using namespace fw;

namespace {

// Another window, standing in for the game window.
class OtherWindow : public Window {
 public:
  OtherWindow() : Window("OtherWindow.OtherWindow") {}
  void Layout() override { SetProperties(*this, {{"Width", int32_t{100}}, {"Height", int32_t{100}}}); }
};

struct HelpFixture : ::testing::Test {
  void SetUp() override { app = testsupport::OpenApp<QuietAppl>(FileCloseMenuBar()); }
  Ref<HelpWindow> Help() {
    Ref<HelpWindow> w = HelpWindow::Instance();
    w->Show();
    fw::testing::ProcessEvents();
    return w;
  }
  Ref<QuietAppl> app;
};

}  // namespace

TEST_F(HelpFixture, FixedSizeSixTabsInOrderAndTheFirstSelected) {
  Ref<HelpWindow> w = Help();
  EXPECT_EQ(w->Width(), 400);
  EXPECT_EQ(w->Height(), 370);
  EXPECT_EQ(w->Title(), "Pandriskの説明");
  Ref<Picture> shot = fw::testing::GrabWindow(w);
  EXPECT_EQ(shot->Width(), 400);
  EXPECT_EQ(shot->Height(), 370);

  Ref<TabPanel> tabs = w->TabPanel1();
  const std::vector<std::string> titles = {"目的", "操作", "解説", "履歴", "使用条件", "感謝"};
  ASSERT_EQ(tabs->PanelCount(), 6);
  for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(tabs->Caption(i), titles[static_cast<size_t>(i)]);
  EXPECT_EQ(tabs->Value(), 0);
  EXPECT_TRUE(tabs->SmallTabs());
  EXPECT_EQ(tabs->TextSize(), 9);
}

TEST_F(HelpFixture, EachTabHoldsItsReadOnlyTextOnItsOwnPage) {
  Ref<HelpWindow> w = Help();
  const Ref<TextArea> areas[] = {w->EditField1(), w->EditField2(), w->EditField3(),
                                 w->EditField4(), w->EditField5(), w->EditField6()};
  for (int32_t k = 1; k <= 6; ++k) {
    const Ref<TextArea>& a = areas[k - 1];
    SCOPED_TRACE("EditField" + std::to_string(k));
    EXPECT_EQ(a->Text(), HelpText(k));
    EXPECT_TRUE(a->ReadOnly());
    EXPECT_TRUE(a->ScrollbarVertical());
    EXPECT_EQ(std::make_tuple(a->Left(), a->Top(), a->Width(), a->Height()), std::make_tuple(6, 23, 388, 342));
    EXPECT_EQ(a->TextSize(), 12);
  }
  // Only the selected tab's text shows: what the window shows in the text
  // area's place changes with the tab.
  std::vector<Ref<Picture>> shots;
  for (int32_t v = 0; v < 6; ++v) {
    w->TabPanel1()->Value(v);
    shots.push_back(fw::testing::GrabWindow(w));
  }
  auto same = [](const Ref<Picture>& a, const Ref<Picture>& b) {
    for (int32_t y = 30; y < 360; y += 2)
      for (int32_t x = 10; x < 370; x += 2)
        if (a->Graphics()->Pixel(x, y) != b->Graphics()->Pixel(x, y)) return false;
    return true;
  };
  for (size_t i = 0; i + 1 < shots.size(); ++i)
    EXPECT_FALSE(same(shots[i], shots[i + 1])) << "tabs " << i << ", " << i + 1;
}

TEST_F(HelpFixture, TypingIntoAHelpTextChangesNothing) {
  Ref<HelpWindow> w = Help();
  fw::testing::Click(w, 200, 200);
  fw::testing::KeyPress(w, "x");
  fw::testing::KeyPress(w, "Return");
  EXPECT_EQ(w->EditField1()->Text(), HelpText(1));
}

TEST_F(HelpFixture, LongTextsScrollInTheirArea) {
  Ref<HelpWindow> w = Help();
  w->TabPanel1()->Value(3);  // the history is longer than its area
  w->EditField4()->ScrollPosition(5);
  EXPECT_EQ(w->EditField4()->ScrollPosition(), 5);
}

TEST_F(HelpFixture, OneWindowForTwoRequestsKeepingItsTabUntilClosed) {
  Ref<HelpWindow> first = Help();
  first->TabPanel1()->Value(2);
  Ref<HelpWindow> again = Help();
  EXPECT_EQ(again, first);
  EXPECT_EQ(WindowCount(), 1);
  EXPECT_EQ(again->TabPanel1()->Value(), 2);

  EXPECT_TRUE(first->Close());
  fw::testing::ProcessEvents();
  Ref<HelpWindow> fresh = Help();
  EXPECT_NE(fresh, first);
  EXPECT_EQ(fresh->TabPanel1()->Value(), 0);
}

TEST_F(HelpFixture, FileCloseIsEnabledOnlyWithTheHelpWindowInFront) {
  auto other = fw::New<OtherWindow>();
  other->Constructor();
  Ref<HelpWindow> help = Help();
  ASSERT_EQ(FrontWindow(), help);
  UpdateMenus();
  EXPECT_TRUE(FileClose()->Enabled());

  other->Show();
  ASSERT_EQ(FrontWindow(), other);
  UpdateMenus();
  EXPECT_FALSE(FileClose()->Enabled());
  EXPECT_FALSE(DispatchMenuCommand(FileClose()));  // nobody handles it there
  EXPECT_TRUE(help->IsOpen());

  help->Show();
  UpdateMenus();
  EXPECT_TRUE(FileClose()->Enabled());
  EXPECT_TRUE(DispatchMenuCommand(FileClose()));
  EXPECT_FALSE(help->IsOpen());
  EXPECT_FALSE(Window::GetImplicitWindow("HelpWindow.HelpWindow"));
  EXPECT_TRUE(other->IsOpen());
}

TEST_F(HelpFixture, CtrlWClosesTheHelpWindow) {
  Ref<HelpWindow> help = Help();
  fw::testing::KeyPress(help, "w", true);
  EXPECT_FALSE(help->IsOpen());
}

TEST_F(HelpFixture, FileCloseWithoutAnItemOfThatNameIsNil) {
  app->MenuBar(fw::New<MenuBar>());
  EXPECT_FALSE(FileClose());
  RuntimeRegisterAppObject(nullptr);
  EXPECT_THROW(FileClose(), NilObjectException);
}

namespace {

std::vector<std::string> SplitOn(const std::string& s, const std::string& sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = s.find(sep, start)) != std::string::npos; start = at + sep.size())
    parts.push_back(s.substr(start, at - start));
  parts.push_back(s.substr(start));
  return parts;
}

const std::string kFullWidthSpace = "\u3000";

}  // namespace

TEST(HelpTexts, ParagraphsOpenWithAFullWidthSpaceBetweenEmptyLines) {
  EXPECT_EQ(HelpText(0), "");
  EXPECT_EQ(HelpText(7), "");
  for (int32_t tab = 1; tab <= kHelpTextCount; ++tab) {
    SCOPED_TRACE("tab " + std::to_string(tab));
    const std::string& text = HelpText(tab);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find('\n'), std::string::npos) << "CR line ends only";
    EXPECT_EQ(text.find("\r\r\r"), std::string::npos) << "one empty line between paragraphs";
    EXPECT_NE(text.back(), '\r');
    const std::vector<std::string> paragraphs = SplitOn(text, "\r\r");
    EXPECT_GE(paragraphs.size(), 2u);
    for (const std::string& p : paragraphs) {
      EXPECT_EQ(p.rfind(kFullWidthSpace, 0), 0u) << p;
      // Every line of a paragraph is indented: list lines and notes too.
      for (const std::string& line : SplitOn(p, "\r")) EXPECT_EQ(line.rfind(kFullWidthSpace, 0), 0u) << line;
    }
  }
}

TEST(HelpTexts, HistoryListsSevenReleasesNewestFirstEachWithNotes) {
  const std::vector<std::string> paragraphs = SplitOn(HelpText(4), "\r\r");
  ASSERT_EQ(paragraphs.size(), 7u);
  const std::regex head("^\u3000(\\d{4})\\.(\\d{1,2})\\.(\\d{1,2})\u3000(\\d+)\\.(\\d+)\\.(\\d+)$");
  std::vector<std::tuple<int, int, int>> dates, versions;
  for (const std::string& p : paragraphs) {
    const std::vector<std::string> lines = SplitOn(p, "\r");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, head)) << lines[0];
    dates.emplace_back(std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]));
    versions.emplace_back(std::stoi(m[4]), std::stoi(m[5]), std::stoi(m[6]));
    ASSERT_GE(lines.size(), 2u) << "change notes under " << lines[0];
    for (size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i].rfind(kFullWidthSpace + kFullWidthSpace, 0), 0u);
  }
  EXPECT_EQ(versions.front(), std::make_tuple(10, 0, 2));
  EXPECT_EQ(versions.back(), std::make_tuple(1, 0, 0));
  for (size_t i = 0; i + 1 < paragraphs.size(); ++i) {
    EXPECT_GT(versions[i], versions[i + 1]);
    EXPECT_GT(dates[i], dates[i + 1]);
  }
}

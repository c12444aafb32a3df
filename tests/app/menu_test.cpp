// The menu bar: its tree, the items that other parts of the program reach
// by name, the shared instance and the update rule as the program relies on it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Menu.h"
#include "framework/Application.h"
#include "framework/Menu.h"
#include "framework/Testing.h"
#include "framework/Window.h"
#include "tests/support/AppFixture.h"

using namespace fw;

namespace {

std::vector<std::string> Texts(const Ref<MenuItem>& parent) {
  std::vector<std::string> texts;
  for (int32_t i = 0; i < parent->Count(); ++i) texts.push_back(parent->Item(i)->Text());
  return texts;
}

// A window that takes part in the menu update as the game window does.
class MenuWindow : public Window {
 public:
  MenuWindow() : Window("MenuWindow.MenuWindow") {}
  void Layout() override {
    MenuBar(Menu::Instance());
    SetProperties(*this, {{"Width", int32_t{236}}, {"Height", int32_t{216}}, {"Resizeable", false}});
  }
  void AddMenuHandlers(Ref<Window>) override {
    AddMenuHandler("GameMenuBlock", [this](int32_t index) {
      chosen.push_back(index);
      return true;
    });
  }
  void Event_EnableMenuItems() override {
    if (enableStart) MenuBar()->Lookup("GameMenuStart")->Enable();
  }
  bool enableStart = false;
  std::vector<int32_t> chosen;
};

}  // namespace

TEST(Menu, OneInstanceBuiltOnce) {
  Ref<Menu> first = Menu::Instance();
  EXPECT_EQ(Menu::Instance(), first);
  int objects = 0;
  first->ForEach([&](const Ref<MenuItem>& item) {
    if (item != first) ++objects;
  });
  EXPECT_EQ(objects, 34);
  Menu::ReleaseInstance();
  EXPECT_NE(Menu::Instance(), first);
}

TEST(Menu, FourMenusInOrderWithTheirEntries) {
  Ref<Menu> bar = Menu::Instance();
  EXPECT_EQ(Texts(bar), (std::vector<std::string>{"ファイル", "編集", "ゲーム", "help"}));
  EXPECT_EQ(Texts(bar->Child("UntitledMenu6")), (std::vector<std::string>{"閉じる", "-", "終了"}));
  EXPECT_EQ(Texts(bar->Child("UntitledMenu4")),
            (std::vector<std::string>{"取り消し", "-", "カット", "コピー", "ペースト", "消去"}));
  EXPECT_EQ(Texts(bar->Child("UntitledMenu1")),
            (std::vector<std::string>{"混ぜる", "揃える", "-", "図柄：環", "図柄：数字", "図柄：花",
                                      "図柄：リボン", "-", "効果音"}));
  EXPECT_EQ(Texts(bar->Child("UntitledMenu1")->Child("GameMenuSound")),
            (std::vector<std::string>{"■■■■■■■■■", "■■■■■■■■", "■■■■■■■", "■■■■■■", "■■■■■", "■■■■", "■■■", "■■",
                                      "■", "消音"}));
  EXPECT_EQ(Texts(bar->Child("UntitledMenu0")),
            (std::vector<std::string>{"Pandriskについて...", "Pandriskの説明..."}));
  EXPECT_TRUE(RefCast<QuitMenuItem>(bar->Lookup("FileQuit")));
  EXPECT_TRUE(RefCast<AppleMenuItem>(bar->Lookup("AppleAbout")));
}

struct LookupCase {
  std::string name;
  int32_t index;  // kNoControlIndex: by name alone
  std::string text, shortcut;
  bool autoEnable;
};

TEST(Menu, ItemsFoundByNameAndIndex) {
  const LookupCase cases[] = {
      {"GameMenuSoundVol", 0, "■■■■■■■■■", "", false},
      {"GameMenuSoundVol", 8, "■", "", false},
      {"GameMenuSoundVol", 9, "消音", "", false},
      {"GameMenuBlock", 0, "図柄：環", "Cmd+0", false},
      {"GameMenuBlock", 3, "図柄：リボン", "Cmd+3", false},
      {"GameMenuSound", kNoControlIndex, "効果音", "", true},
      {"UntitledMenu2", kNoControlIndex, "-", "", true},
      {"EditClear", kNoControlIndex, "消去", "", false},
      {"FileClose", kNoControlIndex, "閉じる", "Cmd+W", false},
      {"FileQuit", kNoControlIndex, "終了", "Cmd+Q", true},
      {"GameMenuStart", kNoControlIndex, "混ぜる", "Cmd+T", false},
      {"HelpApp", kNoControlIndex, "Pandriskの説明...", "", true},
  };
  Ref<Menu> bar = Menu::Instance();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name + " " + std::to_string(c.index));
    Ref<MenuItem> item = c.index == kNoControlIndex ? bar->Lookup(c.name) : bar->Lookup(c.name, c.index);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->Text(), c.text);
    EXPECT_EQ(item->KeyboardShortcut(), c.shortcut);
    EXPECT_EQ(item->AutoEnable(), c.autoEnable);
    EXPECT_EQ(item->Index(), c.index);
  }
  EXPECT_FALSE(bar->Lookup("GameMenuSoundVol", 10));
  EXPECT_FALSE(bar->Lookup("GameMenuBlock", 4));
}

TEST(Menu, TheApplicationAndTheWindowShareOneBar) {
  auto app = testsupport::OpenApp(Menu::Instance());
  auto w = New<MenuWindow>();
  w->Constructor();
  app->MenuBar()->Lookup("GameMenuSoundVol", 4)->Checked(true);
  EXPECT_TRUE(w->MenuBar()->Lookup("GameMenuSoundVol", 4)->Checked());
  w->MenuBar()->Lookup("GameMenuBlock", 2)->Checked(true);
  EXPECT_TRUE(app->MenuBar()->Lookup("GameMenuBlock", 2)->Checked());
}

TEST(Menu, UpdateLeavesManualItemsDisabledUnlessAHandlerEnablesThem) {
  auto app = testsupport::OpenApp(Menu::Instance());
  auto w = New<MenuWindow>();
  w->Constructor();
  w->enableStart = true;
  UpdateMenus();
  std::vector<std::string> enabled, disabled;
  Menu::Instance()->ForEach([&](const Ref<MenuItem>& item) {
    if (item == Menu::Instance()) return;
    std::string key = item->Name();
    if (item->Index() != kNoControlIndex) key += "(" + std::to_string(item->Index()) + ")";
    (item->Enabled() ? enabled : disabled).push_back(key);
  });
  EXPECT_EQ(enabled, (std::vector<std::string>{"UntitledMenu6", "UntitledMenu7", "FileQuit", "UntitledMenu4",
                                               "UntitledMenu5", "UntitledMenu1", "GameMenuStart", "UntitledMenu3",
                                               "UntitledMenu2", "GameMenuSound", "UntitledMenu0", "AppleAbout",
                                               "HelpApp"}));
  EXPECT_EQ(disabled.size(), 21u);  // FileClose, the five Edit items, GameMenuReset, 4 patterns, 10 volumes
}

TEST(Menu, ShortcutsReachTheItemsOnCtrl) {
  struct PatternApp : Application {
    void Event_EnableMenuItems() override {
      if (enablePattern) MenuBar()->Lookup("GameMenuBlock", 3)->Enable();
    }
    bool enablePattern = false;
  };
  auto app = testsupport::OpenApp<PatternApp>(Menu::Instance());
  auto w = New<MenuWindow>();
  w->Constructor();
  fw::testing::ProcessEvents();
  fw::testing::KeyPress(w, "3", true);  // disabled by the update before the command: nothing runs
  EXPECT_TRUE(w->chosen.empty());
  app->enablePattern = true;
  fw::testing::KeyPress(w, "3", true);
  EXPECT_EQ(w->chosen, (std::vector<int32_t>{3}));
  fw::testing::KeyPress(w, "q", true);  // the quit item's own action
  EXPECT_FALSE(w->IsOpen());
}

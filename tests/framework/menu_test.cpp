// The menu tree, the update rule and command dispatch, by menu and by shortcut.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Application.h"
#include "framework/Menu.h"
#include "framework/Testing.h"
#include "framework/Window.h"

using namespace fw;

namespace {

std::vector<std::string> g_log;

Ref<MenuItem> Item(const std::string& name, const std::string& text, const std::string& keys, bool autoEnable,
                   int32_t index = kNoControlIndex) {
  auto m = New<MenuItem>();
  m->Name(name);
  m->AutoEnable(autoEnable);
  if (index != kNoControlIndex) m->Index(index);
  m->Text(text);
  m->KeyboardShortcut(keys);
  return m;
}

Ref<MenuBar> MakeBar() {
  auto bar = New<MenuBar>();
  auto file = Item("FileMenu", "File", "", true);
  bar->Append(file);
  file->Append(Item("Shared", "Shared", "Cmd+T", false));
  file->Append(Item("Pick", "Pick 0", "Cmd+0", false, 0));
  file->Append(Item("Pick", "Pick 1", "Cmd+1", false, 1));
  auto quit = New<QuitMenuItem>();
  quit->Name("Quit");
  quit->Text("Quit");
  quit->KeyboardShortcut("Cmd+Q");
  file->Append(quit);
  return bar;
}

class App : public Application {
 public:
  void Event_EnableMenuItems() override {
    g_log.push_back("app enable");
    MenuBar()->Lookup("Pick", 1)->Enable();
  }
  void Event_Close() override { g_log.push_back("app close"); }
};

class Front : public Window {
 public:
  Front() : Window("Front.Front") {}
  void Layout() override { SetProperties(*this, {{"Width", int32_t{100}}, {"Height", int32_t{50}}}); }
  void AddMenuHandlers(Ref<Window>) override {
    AddMenuHandler("Shared", [] {
      g_log.push_back("window Shared");
      return handles;
    });
  }
  void Event_EnableMenuItems() override {
    g_log.push_back("window enable");
    GetAppObject()->MenuBar()->Lookup("Shared")->Enable();
  }
  static inline bool handles = true;
};

struct MenuFixture : ::testing::Test {
  void SetUp() override {
    g_log.clear();
    app = New<App>();
    app->MenuBar(MakeBar());
    app->AddMenuHandler("Shared", [] {
      g_log.push_back("app Shared");
      return true;
    });
    app->AddMenuHandler("Pick", [](int32_t i) {
      g_log.push_back("app Pick " + std::to_string(i));
      return true;
    });
    RuntimeRegisterAppObject(app);
    app->OpenOnce();
    window = New<Front>();
    window->Constructor();
    window->MenuBar(app->MenuBar());
    fw::testing::ProcessEvents();
  }
  Ref<App> app;
  Ref<Front> window;
};

}  // namespace

TEST_F(MenuFixture, LookupByNameAndIndexFindsTheSameObjectsEverywhere) {
  Ref<MenuBar> bar = app->MenuBar();
  EXPECT_EQ(bar->Lookup("Pick", 1)->Text(), "Pick 1");
  EXPECT_FALSE(bar->Lookup("Pick", 2));
  EXPECT_FALSE(bar->Lookup("Nothing"));
  EXPECT_EQ(bar->Child("FileMenu")->Count(), 4);
  bar->Lookup("Pick", 0)->Checked(true);
  EXPECT_TRUE(window->MenuBar()->Lookup("Pick", 0)->Checked());
}

TEST_F(MenuFixture, UpdateDisablesManualItemsThenAsksApplicationAndFrontWindow) {
  Ref<MenuBar> bar = app->MenuBar();
  bar->Lookup("Pick", 0)->Enabled(true);
  UpdateMenus();
  EXPECT_EQ(g_log, (std::vector<std::string>{"app enable", "window enable"}));
  EXPECT_FALSE(bar->Lookup("Pick", 0)->Enabled());  // AutoEnable False, nobody enabled it
  EXPECT_TRUE(bar->Lookup("Pick", 1)->Enabled());   // the application enabled it
  EXPECT_TRUE(bar->Lookup("Shared")->Enabled());    // the front window enabled it
  EXPECT_TRUE(bar->Lookup("Quit")->Enabled());      // AutoEnable True
}

TEST_F(MenuFixture, DispatchTriesTheFrontWindowFirstThenTheApplication) {
  Ref<MenuBar> bar = app->MenuBar();
  EXPECT_TRUE(DispatchMenuCommand(bar->Lookup("Shared")));
  Front::handles = false;
  EXPECT_TRUE(DispatchMenuCommand(bar->Lookup("Shared")));
  Front::handles = true;
  EXPECT_TRUE(DispatchMenuCommand(bar->Lookup("Pick", 1)));
  EXPECT_EQ(g_log, (std::vector<std::string>{"window Shared", "window Shared", "app Shared", "app Pick 1"}));
}

TEST_F(MenuFixture, ShortcutsUpdateTheMenusAndRunOnlyEnabledCommands) {
  fw::testing::KeyPress(window, "1", true);
  EXPECT_EQ(g_log, (std::vector<std::string>{"app enable", "window enable", "app Pick 1"}));
  g_log.clear();
  fw::testing::KeyPress(window, "0", true);  // disabled after the update: nothing runs
  EXPECT_EQ(g_log, (std::vector<std::string>{"app enable", "window enable"}));
}

TEST_F(MenuFixture, QuitItemQuitsThroughTheWindowsAndTheApplicationClose) {
  fw::testing::KeyPress(window, "q", true);
  EXPECT_FALSE(window->IsOpen());
  EXPECT_EQ(g_log.back(), "app close");
  EXPECT_EQ(WindowCount(), 0);
}

TEST_F(MenuFixture, OpeningAMenuBringsTheMenusUpToDateFirst) {
  Ref<MenuBar> bar = app->MenuBar();
  bar->Lookup("Pick", 0)->Enabled(true);
  int32_t x = 0, y = 0;
  ASSERT_TRUE(fw::testing::MenuTitleCenter(window, 0, &x, &y));
  EXPECT_LT(y, 0);  // the menu bar lies above the content
  fw::testing::Click(window, x, y);
  EXPECT_EQ(g_log, (std::vector<std::string>{"app enable", "window enable"}));
  EXPECT_FALSE(bar->Lookup("Pick", 0)->Enabled());
  EXPECT_TRUE(bar->Lookup("Pick", 1)->Enabled());
}

namespace {
// A window without a bar of its own, built from a design.
class Designed : public Window {
 public:
  explicit Designed(PropertyList design) : Window("Designed.Designed"), design_(std::move(design)) {}
  void Layout() override { SetProperties(*this, design_); }
  void Event_EnableMenuItems() override { g_log.push_back("designed enable"); }

 private:
  PropertyList design_;
};
}  // namespace

TEST_F(MenuFixture, WindowsAskingForAMenuBarShowTheApplicationsOneBarExceptModalDialogs) {
  struct Case {
    const char* name;
    PropertyList design;
    int32_t titles;
  };
  const PropertyList size = {{"Width", int32_t{120}}, {"Height", int32_t{60}}, {"Resizeable", false}};
  auto with = [&](PropertyList more) {
    PropertyList all = size;
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  const Case cases[] = {
      {"document window asking for the bar", with({{"MenuBarVisible", true}}), 1},
      {"document window not asking", with({{"MenuBarVisible", false}}), 0},
      {"no word on the bar", size, 0},
      {"modal dialog asking for the bar", with({{"Frame", int32_t{2}}, {"MenuBarVisible", true}}), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto w = New<Designed>(c.design);
    w->Constructor();
    w->Show();
    fw::testing::ProcessEvents();
    const fw::testing::WindowFrame f = fw::testing::FrameOf(w);
    EXPECT_EQ(f.menuTitles, c.titles);
    EXPECT_EQ(f.contentWidth, 120);
    EXPECT_EQ(f.contentHeight, 60);
    EXPECT_EQ(w->MenuBar(), nullptr);  // shown, not set
    if (c.titles > 0) {
      // Opening a menu of its bar makes it the front window for the update
      // and the command, whichever window was in front.
      window->Show();
      ASSERT_EQ(FrontWindow(), window);
      g_log.clear();
      int32_t x = 0, y = 0;
      ASSERT_TRUE(fw::testing::MenuTitleCenter(w, 0, &x, &y));
      fw::testing::Click(w, x, y);
      EXPECT_EQ(FrontWindow(), w);
      EXPECT_EQ(g_log, (std::vector<std::string>{"app enable", "designed enable"}));
      EXPECT_FALSE(app->MenuBar()->Lookup("Shared")->Enabled());
    }
    w->Close();
    fw::testing::ProcessEvents();
  }
}

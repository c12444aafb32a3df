// The game's windows on a virtual display with a window manager, read back
// from the X server: the menu bar of the Help window, the About box as a
// dialog of the game window, a minimised About box under two window
// managers, where the boxes open, Copy from a help text, and the layout
// under right-to-left languages.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/HelpTexts.h"
#include "tests/e2e/Screen.h"

using namespace std::chrono_literals;

namespace {

const std::string kSolved = "0 1 2 / 3 4 5 / 6 7 8";
const char* const kAbout = "Pandriskについて";
const char* const kHelp = "Pandriskの説明";

#define START_GAME(name, ...)                                            \
  e2e::GameScreen name{__VA_ARGS__};                                     \
  if (!name.display().Ok()) GTEST_SKIP() << "no virtual display (Xvfb)"; \
  ASSERT_TRUE(name.Ok()) << name.process().Log()

bool OnPath(const std::string& tool) { return !e2e::Run("command -v " + tool).empty(); }

std::string ScreenshotDir() {
  const std::string dir = std::string(PANDRISK_BINARY_DIR) + "/screenshots";
  std::filesystem::create_directories(dir);
  return dir;
}

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  int CentreX() const { return x + w / 2; }
  int CentreY() const { return y + h / 2; }
};

Rect GeometryOf(e2e::Display& d, const std::string& window) {
  Rect r;
  d.Geometry(window, &r.x, &r.y, &r.w, &r.h);
  return r;
}

// A run of rows (or columns) that hold something other than the background.
struct Band {
  int from = 0, to = 0;  // to is one past the last
  int Middle() const { return (from + to) / 2; }
};

uint32_t Background(const e2e::Image& img, int x0, int y0, int x1, int y1) {
  std::map<uint32_t, int> count;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) ++count[img.Pixel(x, y)];
  return std::max_element(count.begin(), count.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
}

// The bands of the rectangle along y (rows) or x; gaps narrower than
// `mergeGap` join their neighbours, bands thinner than `minSize` (separator
// lines) are dropped. The background is the rectangle's commonest colour
// unless `givenBack` gives it.
std::vector<Band> Bands(const e2e::Image& img, int x0, int y0, int x1, int y1, bool rows, int mergeGap,
                        int minSize, std::optional<uint32_t> givenBack = std::nullopt) {
  const uint32_t back = givenBack ? *givenBack : Background(img, x0, y0, x1, y1);
  std::vector<Band> bands;
  const int n = rows ? y1 - y0 : x1 - x0;
  for (int i = 0; i < n; ++i) {
    bool used = false;
    for (int j = 0; j < (rows ? x1 - x0 : y1 - y0) && !used; ++j)
      used = (rows ? img.Pixel(x0 + j, y0 + i) : img.Pixel(x0 + i, y0 + j)) != back;
    if (!used) continue;
    const int at = (rows ? y0 : x0) + i;
    if (!bands.empty() && at - bands.back().to < mergeGap)
      bands.back().to = at + 1;
    else
      bands.push_back(Band{at, at + 1});
  }
  std::erase_if(bands, [&](const Band& b) { return b.to - b.from < minSize; });
  return bands;
}

// A menu's items as the screen shows them: each item's row, whether its text
// is drawn black (enabled) rather than grey, and whether a mark stands in the
// check column left of the text.
struct ShownItem {
  Band row;
  bool enabled = false, marked = false;
};

std::vector<ShownItem> MenuItems(const e2e::Image& popup) {
  constexpr int kTextLeft = 24;  // the check column lies left of this
  std::vector<ShownItem> items;
  const uint32_t back = Background(popup, 0, 0, popup.width, popup.height);
  for (const Band& row : Bands(popup, kTextLeft, 2, popup.width - 2, popup.height - 2, true, 4, 4)) {
    ShownItem item{row};
    for (int y = row.from; y < row.to; ++y)
      for (int x = 2; x < popup.width - 2; ++x) {
        const uint32_t p = popup.Pixel(x, y);
        const int brightest = std::max({p >> 16, (p >> 8) & 0xFF, p & 0xFF});
        if (x >= kTextLeft && brightest < 0x50) item.enabled = true;
        if (x < kTextLeft - 4 && p != back) item.marked = true;
      }
    items.push_back(item);
  }
  return items;
}

// The game, and on its display a window of the program other than the game
// window, looked up by title.
struct Windows {
  e2e::GameScreen& g;

  e2e::Display& d() { return g.display(); }

  // Opens the help menu's n-th item (0 About, 1 Help) from the game window.
  std::string OpenFromHelpMenu(int n, const std::string& title) {
    // The keys are timed, not synchronised with the menu: on a busy machine
    // they can come before the menu is open, so the choice is made again
    // (a menu that never opens the window still fails every time).
    for (int attempt = 0; attempt < 3; ++attempt) {
      // Off the bar first: a synchronous move to where the pointer already
      // is would wait for ever.
      d().Xdotool("mousemove 1023 767");
      g.OpenMenu(3);
      d().Xdotool(n == 0 ? "key Return" : "key Down Return");
      const std::string id = d().FindWindow(title, 5000);
      if (!id.empty()) {
        std::this_thread::sleep_for(400ms);
        return id;
      }
      CloseMenus();
    }
    return {};
  }

  // The titles of the window's menu bar, left to right.
  std::vector<Band> Titles(const std::string& window) {
    const e2e::Image img = d().Grab(window);
    return Bands(img, 0, 2, img.width, g.MenuHeight() - 2, false, 8, 2);
  }

  // Clicks the n-th title of the window's bar and reads the menu that opens;
  // the pointer stays on the title, so no item is highlighted.
  std::vector<ShownItem> ClickMenu(const std::string& window, int n, e2e::Image* shown = nullptr) {
    const std::vector<Band> titles = Titles(window);
    if (static_cast<int>(titles.size()) <= n) return {};
    d().Xdotool("mousemove 1023 767");  // see OpenFromHelpMenu
    d().Click(window, titles[static_cast<size_t>(n)].Middle(), g.MenuHeight() / 2);
    std::this_thread::sleep_for(400ms);
    const std::vector<std::string> popups = d().Popups(g.process().pid());
    if (popups.empty()) return {};
    const e2e::Image img = d().Grab(popups.back());
    if (shown) *shown = img;
    return MenuItems(img);
  }

  // Closes the open menus and takes the pointer off the bar.
  void CloseMenus() {
    d().Xdotool("key Escape Escape Escape mousemove 1023 767");
    std::this_thread::sleep_for(200ms);
  }

  // The window with the window manager's frame around it.
  Rect Frame(const std::string& window) {
    // (xdotool counts a reparented window's offset in its frame twice.)
    Rect r = GeometryOf(d(), window);
    const std::string info = e2e::Run("DISPLAY=" + d().Name() + " xwininfo -id " + window + " 2>/dev/null");
    const auto ax = info.find("Absolute upper-left X:"), ay = info.find("Absolute upper-left Y:");
    if (ax == std::string::npos || ay == std::string::npos) return {};
    r.x = std::atoi(info.c_str() + ax + 22);
    r.y = std::atoi(info.c_str() + ay + 22);
    const std::string extents = d().Property(window, "_NET_FRAME_EXTENTS");
    const auto eq = extents.find("= ");
    int left = 0, right = 0, top = 0, bottom = 0;
    if (eq != std::string::npos)
      std::sscanf(extents.c_str() + eq + 2, "%d, %d, %d, %d", &left, &right, &top, &bottom);
    return Rect{r.x - left, r.y - top, r.w + left + right, r.h + top + bottom};
  }

  bool Shown(const std::string& window) {
    return e2e::Run("DISPLAY=" + d().Name() + " xwininfo -id " + window + " 2>/dev/null").find("IsViewable") !=
           std::string::npos;
  }

  // Opens Help from the game window's help menu and finds it as the
  // program's other window: under some locales its title reaches the X
  // tools in another encoding.
  std::string OpenHelpByPid() {
    d().Xdotool("mousemove 1023 767");  // see OpenFromHelpMenu
    g.OpenMenu(3);
    d().Xdotool("key Down Return");
    std::string help;
    for (int i = 0; i < 50 && help.empty(); ++i) {
      std::this_thread::sleep_for(100ms);
      std::istringstream ids(d().Xdotool("search --onlyvisible --pid " + std::to_string(g.process().pid())));
      for (std::string id; ids >> id;)
        if (id != g.Window() && !d().Popup(id)) help = id;
    }
    std::this_thread::sleep_for(400ms);
    return help;
  }
};

// The desktop's language, from LANG alone.
std::map<std::string, std::string> Language(const std::string& lang) {
  return {{"LANG", lang}, {"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANGUAGE", ""}};
}

}  // namespace

TEST(Windows, HelpShowsTheOneMenuBarAndItsFileCloseClosesIt) {
  START_GAME(g);
  Windows w{g};
  const std::string help = w.OpenFromHelpMenu(1, kHelp);
  ASSERT_FALSE(help.empty());
  // The content stays 400 x 370 below a bar like the game window's.
  const Rect r = GeometryOf(g.display(), help);
  EXPECT_EQ(r.w, 400);
  EXPECT_EQ(r.h, 370 + g.MenuHeight());
  ASSERT_EQ(w.Titles(help).size(), 4u);

  // Help in front: Close is enabled there; Shuffle and Align are not, just
  // as Ctrl+T does nothing with Help in front.
  std::vector<ShownItem> file = w.ClickMenu(help, 0);
  ASSERT_EQ(file.size(), 2u);  // 閉じる, 終了
  EXPECT_TRUE(file[0].enabled);
  EXPECT_TRUE(file[1].enabled);
  w.CloseMenus();
  std::vector<ShownItem> game = w.ClickMenu(help, 2);
  ASSERT_EQ(game.size(), 7u);  // 混ぜる, 揃える, four patterns, 効果音
  for (int i = 0; i < 6; ++i) EXPECT_FALSE(game[static_cast<size_t>(i)].enabled) << "item " << i;
  EXPECT_TRUE(game[6].enabled);
  w.CloseMenus();
  g.display().Key(help, "ctrl+t");  // the board is read once the game window is in front

  // A volume chosen from Help's bar: from 効果音 (the only enabled item) into
  // the submenu, past the current loudest level to the third.
  w.ClickMenu(help, 2);
  g.display().Xdotool("key Down Right");
  std::this_thread::sleep_for(300ms);
  g.display().Xdotool("key Down Return");
  std::this_thread::sleep_for(300ms);

  // The game window in front: Close is disabled, and the volume's mark is
  // there in its submenu.
  g.display().Xdotool("windowactivate --sync " + g.Window());
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(g.Board(0), kSolved);
  file = w.ClickMenu(g.Window(), 0);
  ASSERT_EQ(file.size(), 2u);
  EXPECT_FALSE(file[0].enabled);
  w.CloseMenus();
  game = w.ClickMenu(g.Window(), 2);
  ASSERT_EQ(game.size(), 7u);
  EXPECT_TRUE(game[0].enabled);
  const std::vector<std::string> popups = g.display().Popups(g.process().pid());
  ASSERT_EQ(popups.size(), 1u);
  const Rect menu = GeometryOf(g.display(), popups[0]);
  g.display().Xdotool("mousemove " + std::to_string(menu.x + 40) + " " +
                      std::to_string(menu.y + game[6].row.Middle()));
  std::this_thread::sleep_for(700ms);
  std::vector<std::string> open = g.display().Popups(g.process().pid());
  std::erase(open, popups[0]);
  ASSERT_EQ(open.size(), 1u);
  const std::vector<ShownItem> volumes = MenuItems(g.display().Grab(open[0]));
  g.SaveScreen(ScreenshotDir() + "/volume-chosen-in-help.png");
  ASSERT_EQ(volumes.size(), 10u);
  for (size_t i = 0; i < volumes.size(); ++i) {
    EXPECT_EQ(volumes[i].marked, i == 2) << "volume " << i;
    EXPECT_EQ(volumes[i].enabled, i != 2) << "volume " << i;
  }
  w.CloseMenus();

  // Chosen from Help's own bar, Close closes Help.
  g.display().Xdotool("windowactivate --sync " + help);
  file = w.ClickMenu(help, 0);
  ASSERT_EQ(file.size(), 2u);
  g.display().Click(help, 30, g.MenuHeight() + file[0].row.Middle());
  std::this_thread::sleep_for(500ms);
  EXPECT_FALSE(w.Shown(help));
  EXPECT_TRUE(g.process().Running());
  g.Key("ctrl+q");
  EXPECT_EQ(g.process().Wait(10000), 0);
  EXPECT_EQ(testsupport::ReadFile(g.PrefsFile()), "00C0");
}

TEST(Windows, TheAboutBoxIsADialogOfTheGameWindowThatNeverHidesAlone) {
  START_GAME(g);
  Windows w{g};
  auto& d = g.display();
  // The game window keeps its own buttons: minimise and close, no maximise.
  const std::string gameActions = d.Property(g.Window(), "_NET_WM_ALLOWED_ACTIONS");
  EXPECT_NE(gameActions.find("_NET_WM_ACTION_MINIMIZE"), std::string::npos) << gameActions;
  EXPECT_NE(gameActions.find("_NET_WM_ACTION_CLOSE"), std::string::npos) << gameActions;
  EXPECT_EQ(gameActions.find("MAXIMIZE"), std::string::npos) << gameActions;

  const std::string about = w.OpenFromHelpMenu(0, kAbout);
  ASSERT_FALSE(about.empty());
  EXPECT_NE(d.Property(about, "_NET_WM_WINDOW_TYPE").find("= _NET_WM_WINDOW_TYPE_DIALOG"), std::string::npos);
  const std::string transient = d.Property(about, "WM_TRANSIENT_FOR");
  const auto hash = transient.find("# ");
  ASSERT_NE(hash, std::string::npos) << transient;
  EXPECT_EQ(std::strtoul(transient.c_str() + hash + 2, nullptr, 16),
            std::strtoul(g.Window().c_str(), nullptr, 10));
  // The box asks for no close, minimise or maximise function (the motif
  // hints' function bits 0x20, 0x08, 0x10); the window manager offers no
  // maximise.
  const std::string motif = d.Property(about, "_MOTIF_WM_HINTS");
  const auto eq = motif.find("= ");
  ASSERT_NE(eq, std::string::npos) << motif;
  char* next = nullptr;
  const unsigned long flags = std::strtoul(motif.c_str() + eq + 2, &next, 0);
  const unsigned long functions = std::strtoul(next + 1, nullptr, 0);
  EXPECT_TRUE(flags & 1) << motif;
  EXPECT_EQ(functions & 0x38, 0u) << motif;
  const std::string actions = d.Property(about, "_NET_WM_ALLOWED_ACTIONS");
  EXPECT_EQ(actions.find("MAXIMIZE"), std::string::npos) << actions;

  // A minimise request for the box never leaves the game window shown
  // without it, and bringing the game window back brings the box too.
  d.Xdotool("windowminimize " + about);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(w.Shown(about), w.Shown(g.Window()));
  d.Xdotool("windowactivate " + g.Window());
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(w.Shown(g.Window()));
  EXPECT_TRUE(w.Shown(about));

  // The window manager's close request closes the box; the game answers
  // again.
  d.Xdotool("windowactivate --sync " + about);
  d.Xdotool("key alt+F4");
  std::this_thread::sleep_for(500ms);
  EXPECT_FALSE(w.Shown(about));
  g.Key("ctrl+t");
  std::this_thread::sleep_for(300ms);
  EXPECT_NE(g.Board(0), kSolved);
}

// A minimise request for the About box, under window managers that answer it
// differently (openbox minimises the game window with the box, fluxbox the
// box alone), with Help open too: no window of the game is left on the
// screen without the box, ignoring the player with nothing in sight saying
// why, and all come back together when one of the windows is brought back.
struct MinimiseCase {
  const char* name;
  e2e::WindowManager wm;
  const char* tool;     // on the PATH
  const char* request;  // with the box's X window after it
  bool helpBack;        // Help brought back rather than the game window
};

void PrintTo(const MinimiseCase& c, std::ostream* out) { *out << c.name; }

class MinimisedAbout : public ::testing::TestWithParam<MinimiseCase> {};

TEST_P(MinimisedAbout, NeverLeavesAWindowOnTheScreenWithoutTheBox) {
  const MinimiseCase& c = GetParam();
  if (!OnPath(c.tool)) GTEST_SKIP() << c.tool << " is not installed";
  START_GAME(g, {}, e2e::GameBinary(), c.wm);
  Windows w{g};
  auto& d = g.display();
  const std::string help = w.OpenFromHelpMenu(1, kHelp);
  ASSERT_FALSE(help.empty());
  const std::string about = w.OpenFromHelpMenu(0, kAbout);
  ASSERT_FALSE(about.empty());

  e2e::Run("DISPLAY=" + d.Name() + " " + c.request + " " + about + " 2>/dev/null");
  ASSERT_TRUE(e2e::WaitFor([&] { return !w.Shown(about); }, 5000)) << "the window manager kept the box";
  // (A box that never comes back fails however long this waits; the bound
  // only keeps a busy machine from failing.)
  const auto alone = [&] { return !w.Shown(about) && (w.Shown(g.Window()) || w.Shown(help)); };
  EXPECT_TRUE(e2e::WaitFor([&] { return !alone(); }, 5000));
  std::this_thread::sleep_for(500ms);
  EXPECT_FALSE(alone()) << "game window " << w.Shown(g.Window()) << ", Help " << w.Shown(help);

  // The game window (or Help) brought back brings the others, the box on top.
  d.Xdotool("windowactivate " + (c.helpBack ? help : g.Window()));
  EXPECT_TRUE(e2e::WaitFor([&] { return w.Shown(g.Window()) && w.Shown(about) && w.Shown(help); }, 5000));
  std::this_thread::sleep_for(500ms);
  EXPECT_TRUE(g.Shows(d.Grab(about), 16, 16, "IconPict.png"));  // the box is on top
  // Once the box closes, the game answers.
  d.Key(about, "space");
  std::this_thread::sleep_for(500ms);
  EXPECT_FALSE(w.Shown(about));
  g.Key("ctrl+t");
  std::this_thread::sleep_for(300ms);
  EXPECT_NE(g.Board(0), kSolved);
  EXPECT_TRUE(w.Shown(help));
}

INSTANTIATE_TEST_SUITE_P(
    Windows, MinimisedAbout,
    ::testing::Values(
        MinimiseCase{"OpenboxIconify", e2e::WindowManager::kOpenbox, "xdotool", "xdotool windowminimize", false},
        MinimiseCase{"OpenboxHidden", e2e::WindowManager::kOpenbox, "wmctrl", "wmctrl -b add,hidden -i -r", false},
        MinimiseCase{"OpenboxIconifyHelpBack", e2e::WindowManager::kOpenbox, "xdotool", "xdotool windowminimize",
                     true},
        MinimiseCase{"FluxboxIconify", e2e::WindowManager::kFluxbox, "xdotool", "xdotool windowminimize", false},
        MinimiseCase{"FluxboxHidden", e2e::WindowManager::kFluxbox, "wmctrl", "wmctrl -b add,hidden -i -r", false},
        MinimiseCase{"FluxboxIconifyHelpBack", e2e::WindowManager::kFluxbox, "xdotool", "xdotool windowminimize",
                     true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Windows, AboutAndHelpOpenCentredOverTheGameWindowAndOnTheScreen) {
  START_GAME(g);
  Windows w{g};
  auto& d = g.display();
  struct Case {
    const char* where;
    int x, y;
  };
  for (const Case& c : {Case{"top left", 0, 0}, Case{"middle", 300, 200}, Case{"bottom right", 770, 490}}) {
    SCOPED_TRACE(c.where);
    // (Not --sync: xdotool misreads a framed window's position and would wait.)
    d.Xdotool("windowmove " + g.Window() + " " + std::to_string(c.x) + " " + std::to_string(c.y));
    std::this_thread::sleep_for(300ms);
    const Rect game = w.Frame(g.Window());
    for (const auto& [item, title] : {std::pair{0, kAbout}, std::pair{1, kHelp}}) {
      SCOPED_TRACE(title);
      const std::string id = w.OpenFromHelpMenu(item, title);
      ASSERT_FALSE(id.empty());
      // The frame centred over the game window's, moved only as far as it
      // takes to stand wholly on the 1024 x 768 screen.
      const Rect r = w.Frame(id);
      const int wantX = std::clamp(game.CentreX() - r.w / 2, 0, 1024 - r.w);
      const int wantY = std::clamp(game.CentreY() - r.h / 2, 0, 768 - r.h);
      EXPECT_NEAR(r.x, wantX, 2);
      EXPECT_NEAR(r.y, wantY, 2);
      d.Key(id, item == 0 ? "space" : "ctrl+w");  // any key closes the box
      std::this_thread::sleep_for(300ms);
      ASSERT_FALSE(w.Shown(id));
    }
  }
}

TEST(Windows, CopyFromAHelpTextPutsTheSelectionOnTheClipboard) {
  if (!OnPath("xclip")) GTEST_SKIP() << "xclip is not installed";
  START_GAME(g);
  Windows w{g};
  auto& d = g.display();
  const std::string help = w.OpenFromHelpMenu(1, kHelp);
  ASSERT_FALSE(help.empty());
  const int bar = g.MenuHeight();
  d.Click(help, 70, bar + 10);  // the 操作 tab
  std::this_thread::sleep_for(300ms);
  const std::string clipboard = "DISPLAY=" + d.Name() + " xclip -o -selection clipboard 2>/dev/null";

  // No selection: the Edit items all show disabled and Ctrl+C copies nothing.
  std::vector<ShownItem> edit = w.ClickMenu(help, 1);
  ASSERT_EQ(edit.size(), 5u);  // 取り消し, カット, コピー, ペースト, 消去
  for (const ShownItem& item : edit) EXPECT_FALSE(item.enabled);
  w.CloseMenus();
  d.Click(help, 100, bar + 100);
  d.Key(help, "ctrl+c");
  EXPECT_EQ(e2e::Run(clipboard), "");

  // A selection dragged with the mouse: Copy alone is enabled, and serves.
  d.Move(help, 30, bar + 32);
  d.Xdotool("mousedown 1");
  d.Move(help, 200, bar + 34);
  d.Xdotool("mouseup 1");
  std::this_thread::sleep_for(200ms);
  edit = w.ClickMenu(help, 1);
  ASSERT_EQ(edit.size(), 5u);
  for (size_t i = 0; i < edit.size(); ++i) EXPECT_EQ(edit[i].enabled, i == 2) << "item " << i;
  w.CloseMenus();
  d.Key(help, "ctrl+c");
  std::this_thread::sleep_for(200ms);
  const std::string copied = e2e::Run(clipboard);
  EXPECT_FALSE(copied.empty());
  EXPECT_EQ(copied, e2e::Run("DISPLAY=" + d.Name() + " xclip -o -selection primary 2>/dev/null"));
  std::string text = HelpText(2);
  std::replace(text.begin(), text.end(), '\r', '\n');
  EXPECT_NE(text.find(copied), std::string::npos) << copied;

  // Select All from the keyboard, then Copy from the menu: the whole text.
  d.Key(help, "ctrl+a");
  w.ClickMenu(help, 1);
  d.Xdotool("key Down Return");  // the first enabled item, コピー
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(e2e::Run(clipboard), text);
}

// The text area's own context menu speaks the desktop's language, a
// right-to-left one too.
TEST(Windows, TheTextContextMenuFollowsTheDesktopLanguage) {
  std::map<std::string, e2e::Image> menus;
  for (const std::string lang : {"C.UTF-8", "ja_JP.UTF-8", "he_IL.UTF-8"}) {
    SCOPED_TRACE(lang);
    START_GAME(g, Language(lang));
    const std::string help = Windows{g}.OpenHelpByPid();
    ASSERT_FALSE(help.empty());
    g.display().Click(help, 100, g.MenuHeight() + 60);
    g.display().Xdotool("click 3");
    std::this_thread::sleep_for(500ms);
    const std::vector<std::string> popups = g.display().Popups(g.process().pid());
    ASSERT_EQ(popups.size(), 1u);
    menus[lang] = g.display().Grab(popups[0]);
    g.SaveScreen(ScreenshotDir() + "/text-menu-" + lang + ".png");
    // Copy and Select All.
    EXPECT_EQ(MenuItems(menus[lang]).size(), 2u);
  }
  const e2e::Image& en = menus["C.UTF-8"];
  for (const char* lang : {"ja_JP.UTF-8", "he_IL.UTF-8"}) {
    const e2e::Image& other = menus[lang];
    EXPECT_TRUE(en.width != other.width || en.height != other.height || en.rgb != other.rgb) << lang;
  }
}

// Under a right-to-left language the layout stays the interface's own, as
// under any other: the game window's titles from its left edge in the menu
// table's order, the Help window's first tab at the left and its scroll bar
// at the right; both windows look as they do in English.
TEST(Windows, RightToLeftLanguagesKeepTheLayoutLeftToRight) {
  struct Seen {
    std::vector<Band> titles;
    e2e::Image game, help;
  };
  std::map<std::string, Seen> seen;
  for (const std::string lang : {"C.UTF-8", "he_IL.UTF-8", "ar_EG.UTF-8", "fa_IR.UTF-8"}) {
    SCOPED_TRACE(lang);
    START_GAME(g, Language(lang));
    Windows w{g};
    Seen& s = seen[lang];
    s.titles = w.Titles(g.Window());
    ASSERT_EQ(s.titles.size(), 4u);
    EXPECT_LT(s.titles[0].from, 12);  // ファイル, at the bar's left edge
    s.game = g.display().Grab(g.Window());
    const std::string help = w.OpenHelpByPid();
    ASSERT_FALSE(help.empty());
    s.help = g.display().Grab(help);
    e2e::Run("DISPLAY=" + g.display().Name() + " import -window root " + ScreenshotDir() + "/help-" + lang +
             ".png 2>/dev/null");
    // The tab row on the window's white: the tabs begin at its left end.
    const int bar = g.MenuHeight();
    const std::vector<Band> tabs = Bands(s.help, 0, bar + 4, s.help.width, bar + 14, false, 4, 1, 0xFFFFFF);
    ASSERT_FALSE(tabs.empty());
    EXPECT_LT(tabs.front().from, 6);
    EXPECT_LT(tabs.back().to, s.help.width - 40);
  }
  const Seen& en = seen["C.UTF-8"];
  for (const auto& [lang, s] : seen) {
    SCOPED_TRACE(lang);
    ASSERT_EQ(s.titles.size(), en.titles.size());
    for (size_t i = 0; i < s.titles.size(); ++i) {
      EXPECT_EQ(s.titles[i].from, en.titles[i].from) << "title " << i;
      EXPECT_EQ(s.titles[i].to, en.titles[i].to) << "title " << i;
    }
    EXPECT_TRUE(s.game.rgb == en.game.rgb);
    EXPECT_TRUE(s.help.width == en.help.width && s.help.rgb == en.help.rgb);
  }
}

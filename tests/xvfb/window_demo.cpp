// The game window on its own, for the tests on a real X display: an
// application object with the menu bar, and the game window. It tells on
// standard output where the menu titles are and which button reported a
// click, and quits from its menu or when its window closes.
//
//   window_demo [--resources FOLDER]
#include <cstdio>
#include <cstring>
#include <string>

#include "app/App.h"
#include "app/Menu.h"
#include "engine/SoundPlayer.h"
#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/FolderItem.h"
#include "framework/Testing.h"
#include "window/MainWindow.h"

namespace {

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// The application object as the game makes it, with a sound player for the
// board should the application's own Open not have made one.
class DemoAppl : public Appl {
 public:
  void Event_Open() override {
    Appl::Event_Open();
    if (!ItsSoundPlayer) ItsSoundPlayer = fw::New<SoundPlayer>();
  }
};

// Replaces the window's handlers of the buttons' Action with a report.
void ReportClicks(const fw::Ref<MainWindow>& w) {
  for (int32_t i = 0; i < 3; ++i)
    w->KickButton(i)->Action.Attach([i] { Say("Action KickButton " + std::to_string(i)); });
  w->StartButton()->Action.Attach([] { Say("Action StartButton"); });
  w->ResetButton()->Action.Attach([] { Say("Action ResetButton"); });
}

// Once the event loop runs: where the menu titles are, in the window's
// content coordinates.
void ReportLayout() {
  fw::Ref<MainWindow> w = MainWindow::Instance();
  for (int32_t i = 0; i < 4; ++i) {
    int32_t x = 0, y = 0;
    if (fw::testing::MenuTitleCenter(w, i, &x, &y))
      Say("title " + std::to_string(i) + " " + std::to_string(x) + " " + std::to_string(y));
  }
  Say("ready");
}

}  // namespace

int main(int argc, char** argv) {
  std::string resources;
  if (argc >= 3 && std::strcmp(argv[1], "--resources") == 0) resources = argv[2];
  fw::RuntimeInit(argc, argv);
  if (!resources.empty()) fw::SetResourcesFolder(resources);
  fw::Ref<fw::Timer> report;
  fw::RunFrameworkInitialization([&report] {
    auto app = fw::New<DemoAppl>();
    app->AutoQuit(true);
    app->MenuBar(Menu::Instance());
    fw::RuntimeRegisterAppObject(app);
    ReportClicks(MainWindow::Instance());
    report = fw::New<fw::Timer>();
    report->Action.Attach(ReportLayout);
    report->Period(0);
    report->Mode(1);
  });
  fw::RuntimeRun();
  report = nullptr;
  const int status = fw::RuntimeExit();
  Menu::ReleaseInstance();
  return status;
}

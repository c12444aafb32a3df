// Shows the Help or the About window on a real display, for the screenshot
// tests. It takes commands on its standard input, one a line:
//   help N   shows the Help window with tab N (from 1) selected
//   about    shows the About window, modally
//   quit     quits
// and answers each on its standard output once it is done ("help N",
// "about", "about closed" when the About window has closed, "bye").
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/AboutWindow.h"
#include "app/App.h"
#include "app/HelpWindow.h"
#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Menu.h"
#include "tests/support/QuietAppl.h"

using namespace fw;

namespace {

Ref<Timer> g_modal;

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void Run(const std::string& command) {
  if (command.rfind("help ", 0) == 0) {
    Ref<HelpWindow> w = HelpWindow::Instance();
    w->Show();
    w->TabPanel1()->Value(std::stoi(command.substr(5)) - 1);
    w->UpdateNow();
    Say(command);
  } else if (command == "about") {
    // Shown from a timer of its own: a timer does not fire again while its
    // handler runs, and the commands must go on while the box is up.
    g_modal = New<Timer>();
    g_modal->Action.Attach([] {
      Ref<AboutWindow> w = AboutWindow::Instance();
      Say("about");
      w->ShowModal();
      Say("about closed");
    });
    g_modal->Period(0);
    g_modal->Mode(1);
  } else if (command == "quit") {
    Say("bye");
    GetAppObject()->Quit();
  }
}

}  // namespace

int main(int argc, char** argv) {
  RuntimeInit(argc, argv);
  auto app = New<QuietAppl>();
  RunFrameworkInitialization([&] {
    app->MenuBar(FileCloseMenuBar());
    RuntimeRegisterAppObject(app);
  });

  // Commands arrive on standard input, read without blocking the event loop.
  fcntl(0, F_SETFL, fcntl(0, F_GETFL) | O_NONBLOCK);
  std::string pending;
  auto poll = New<Timer>();
  poll->Action.Attach([&pending] {
    char buf[256];
    ssize_t n;
    while ((n = read(0, buf, sizeof buf)) > 0) pending.append(buf, static_cast<size_t>(n));
    if (n == 0 && pending.empty()) {  // standard input closed: nobody is driving us
      GetAppObject()->Quit();
      return;
    }
    for (size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
      const std::string command = pending.substr(0, eol);
      pending.erase(0, eol + 1);
      Run(command);
    }
  });
  poll->Period(30);
  poll->Mode(2);

  RuntimeRun();
  poll->Mode(0);
  g_modal = nullptr;
  app = nullptr;
  return RuntimeExit();
}

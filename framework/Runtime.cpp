#include <QApplication>
#include <memory>

#include "framework/Application.h"

namespace fw {

namespace {
std::unique_ptr<QApplication>& QtApp() {
  static std::unique_ptr<QApplication> app;
  return app;
}
int& Argc() {
  static int argc = 0;
  return argc;
}
}  // namespace

void RuntimeInit(int argc, char** argv) {
  if (QtApp()) return;
  Argc() = argc;
  QtApp() = std::make_unique<QApplication>(Argc(), argv);
}

int RuntimeExit() {
  QtApp().reset();
  return 0;
}

}  // namespace fw

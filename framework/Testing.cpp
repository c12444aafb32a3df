#include "framework/Testing.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <cstdlib>

#include "framework/Application.h"

namespace fw::testing {

void InitForTests(int argc, char** argv) {
  // Headless unless the test is given a display on purpose.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  RuntimeInit(argc, argv);
}

void ShutdownForTests() { RuntimeExit(); }

void ProcessEvents(int32_t ms) {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (ms <= 0) return;
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                    static_cast<int>(ms - t.elapsed()));
  }
}

}  // namespace fw::testing

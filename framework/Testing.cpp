#include "framework/Testing.h"

#include <QApplication>
#include <QTimer>
#include <QEventLoop>
#include <QLayout>
#include <QMenuBar>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "framework/Application.h"
#include "framework/Window.h"
#include "framework/WidgetsPrivate.h"

namespace fw::testing {

namespace {

QWindow* HandleOf(const Ref<Window>& w, QPoint* offset) {
  WindowImpl* impl = w->Impl();
  if (!impl->top || !impl->content) return nullptr;
  if (!impl->top->isVisible()) impl->top->show();
  *offset = impl->content->mapTo(impl->top, QPoint(0, 0));
  return impl->top->windowHandle();
}

Qt::Key KeyFor(const std::string& key) {
  if (key == "Escape") return Qt::Key_Escape;
  if (key == "Return") return Qt::Key_Return;
  if (key == "Tab") return Qt::Key_Tab;
  if (key == "Left") return Qt::Key_Left;
  if (key == "Right") return Qt::Key_Right;
  if (key == "Up") return Qt::Key_Up;
  if (key == "Down") return Qt::Key_Down;
  if (key == "Space" || key == " ") return Qt::Key_Space;
  if (key.size() == 1) {
    const char c = key[0];
    if (c >= 'a' && c <= 'z') return static_cast<Qt::Key>(Qt::Key_A + (c - 'a'));
    if (c >= 'A' && c <= 'Z') return static_cast<Qt::Key>(Qt::Key_A + (c - 'A'));
    if (c >= '0' && c <= '9') return static_cast<Qt::Key>(Qt::Key_0 + (c - '0'));
  }
  return Qt::Key_unknown;
}

Ref<Picture> FromImage(const QImage& image) {
  auto data = std::make_shared<PictureData>();
  data->image = image.convertToFormat(QImage::Format_RGB32);
  data->depth = 32;
  return New<Picture>(std::move(data));
}

}  // namespace

void InitForTests(int argc, char** argv) {
  // Headless unless the test is given a display on purpose.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  RuntimeInit(argc, argv);
}

void ShutdownForTests(int result) {
  runtime::SetExitStatus(result);
  RuntimeExit();
}

void StartApplication() { runtime::OpenApplication(); }

void ProcessEvents(int32_t ms) {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (ms <= 0) return;
  // Sleeps in the event loop until the time is up, as a running program does.
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

void MouseMove(const Ref<Window>& w, int32_t x, int32_t y) {
  QPoint off;
  QWindow* h = HandleOf(w, &off);
  if (h == nullptr) return;
  // A display tells a window when the pointer enters it; a synthetic move
  // does not, so the first move starts just outside the window, and the
  // control under the pointer then gets its enter as on a display.
  static std::vector<QPointer<QWindow>> entered;
  if (std::find(entered.begin(), entered.end(), h) == entered.end()) {
    entered.push_back(h);
    QTest::mouseMove(h, QPoint(-1, -1));
  }
  QTest::mouseMove(h, off + QPoint(x, y));
  ProcessEvents();
}

void MousePress(const Ref<Window>& w, int32_t x, int32_t y) {
  QPoint off;
  if (QWindow* h = HandleOf(w, &off)) QTest::mousePress(h, Qt::LeftButton, Qt::NoModifier, off + QPoint(x, y));
  ProcessEvents();
}

void MouseRelease(const Ref<Window>& w, int32_t x, int32_t y) {
  QPoint off;
  if (QWindow* h = HandleOf(w, &off)) QTest::mouseRelease(h, Qt::LeftButton, Qt::NoModifier, off + QPoint(x, y));
  ProcessEvents();
}

void Click(const Ref<Window>& w, int32_t x, int32_t y) {
  MouseMove(w, x, y);
  MousePress(w, x, y);
  MouseRelease(w, x, y);
}

void KeyPress(const Ref<Window>& w, const std::string& key, bool ctrl) {
  WindowImpl* impl = w->Impl();
  if (!impl->top) return;
  QWidget* target = impl->top->focusWidget() ? impl->top->focusWidget() : impl->top.data();
  const Qt::Key k = KeyFor(key);
  const Qt::KeyboardModifiers mods = ctrl ? Qt::ControlModifier : Qt::NoModifier;
  if (k != Qt::Key_unknown)
    QTest::keyClick(target, k, mods);
  else if (!key.empty())
    QTest::keyClicks(target, QString::fromStdString(key), mods);
  ProcessEvents();
}

bool MenuTitleCenter(const Ref<Window>& w, int32_t i, int32_t* x, int32_t* y) {
  WindowImpl* impl = w->Impl();
  QMenuBar* bar = impl->menuBarWidget;
  if (bar == nullptr || !impl->content || !bar->isVisible()) return false;
  const QList<QAction*> titles = bar->actions();
  if (i < 0 || i >= titles.size()) return false;
  const QRect r = bar->actionGeometry(titles[i]);
  if (r.isEmpty()) return false;
  const QPoint p = impl->content->mapFrom(impl->top, bar->mapTo(impl->top, r.center()));
  *x = p.x();
  *y = p.y();
  return true;
}

WindowFrame FrameOf(const Ref<Window>& w) {
  WindowFrame f;
  WindowImpl* impl = w->Impl();
  if (!impl->top || !impl->content) return f;
  QWidget* top = impl->top;
  if (top->layout()) top->layout()->activate();
  f.contentWidth = impl->content->width();
  f.contentHeight = impl->content->height();
  f.width = top->width();
  f.height = top->height();
  f.minWidth = top->minimumWidth();
  f.minHeight = top->minimumHeight();
  f.maxWidth = top->maximumWidth();
  f.maxHeight = top->maximumHeight();
  const Qt::WindowFlags flags = top->windowFlags();
  f.closeButton = flags.testFlag(Qt::WindowCloseButtonHint);
  f.minimizeButton = flags.testFlag(Qt::WindowMinimizeButtonHint);
  f.maximizeButton = flags.testFlag(Qt::WindowMaximizeButtonHint);
  f.dialog = (flags & Qt::WindowType_Mask) == Qt::Dialog;
  if (impl->menuBarWidget && impl->menuBarWidget->isVisible())
    f.menuTitles = static_cast<int32_t>(impl->menuBarWidget->actions().size());
  f.title = top->windowTitle().toStdString();
  return f;
}

bool ShowsOwnCursor(const Ref<RectControl>& c) {
  if (!c || !c->Widget() || !c->Widget()->widget) return false;
  return c->Widget()->widget->testAttribute(Qt::WA_SetCursor);
}

Ref<Picture> GrabWindow(const Ref<Window>& w) {
  WindowImpl* impl = w->Impl();
  if (!impl->content) return nullptr;
  return FromImage(impl->content->grab().toImage());
}

namespace {
class PaintWatcher : public QObject {
 public:
  PaintCounts counts;
  QPointer<QWidget> top, content;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    // A repaint at once sends the window an update request from within the
    // program's code; one that waited in the queue arrives from the loop.
    if (o == top && e->type() == QEvent::UpdateRequest && !runtime::InProgramCode()) ++counts.updateRequests;
    if (o == content && e->type() == QEvent::Paint) ++counts.contentPaints;
    return false;
  }
};

PaintWatcher& Watcher() {
  static PaintWatcher* watcher = new PaintWatcher;
  return *watcher;
}
}  // namespace

void WatchPaints(const Ref<Window>& w) {
  PaintWatcher& pw = Watcher();
  if (pw.top) pw.top->removeEventFilter(&pw);
  if (pw.content) pw.content->removeEventFilter(&pw);
  pw.counts = PaintCounts{};
  pw.top = w->Impl()->top.data();
  pw.content = w->Impl()->content.data();
  if (pw.top) pw.top->installEventFilter(&pw);
  if (pw.content) pw.content->installEventFilter(&pw);
}

PaintCounts PaintsSeen() { return Watcher().counts; }

Ref<Picture> GrabControl(const Ref<RectControl>& c) {
  if (!c || !c->Widget() || !c->Widget()->widget) return nullptr;
  return FromImage(c->Widget()->widget->grab().toImage());
}

}  // namespace fw::testing

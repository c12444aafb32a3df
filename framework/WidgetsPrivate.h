// Framework-internal: the Qt side of cursors, controls and windows. Only the
// framework's .cpp files include this header.
#pragma once

#include <QCursor>
#include <QImage>
#include <QPointF>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "framework/Controls.h"
#include "framework/GraphicsPrivate.h"

class QMenuBar;
class QVBoxLayout;

namespace fw {

class Window;
class MenuBar;

struct MouseCursor::Impl {
  QCursor cursor;
};

// The platform side of a visual control: its widget, held weakly because the
// window's widget tree owns it once the control is added.
struct ControlWidget {
  explicit ControlWidget(QWidget* w) : widget(w) {}
  virtual ~ControlWidget();
  QPointer<QWidget> widget;
  bool repaintPending = false;
  // The widget's update() is held back until the program code that asked
  // for it has returned (a repaint at once may make it needless).
  bool updateDeferred = false;
};

// The widget of a Canvas: paints into a surface the size of the control
// (backdrop, then the Paint event), then copies the surface to the screen.
class CanvasWidget : public QWidget {
 public:
  explicit CanvasWidget(Canvas* owner);
  Ref<Graphics> SurfaceGraphics();
  // Follows the control's Opaque.
  void SetOpaque(bool on);
  // True while the Paint event draws: what it draws is shown by this very
  // paint, so it asks for no further one.
  bool painting = false;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;

 private:
  void EnsureSurface();
  // Raises MouseEnter or MouseExit when the pointer's side of the edge changed.
  void SetPointerInside(bool inside);
  Canvas* owner_;
  QImage surface_;
  std::shared_ptr<Surface> surfaceData_;
  Ref<Graphics> graphics_;
  bool pressTaken_ = false;
  bool pointerInside_ = false;
  bool opaque_ = false;
};

// The content area of a window: the controls' parent, painting the
// window's back colour and backdrop.
class ContentWidget : public QWidget {
 public:
  explicit ContentWidget(Window* owner);
  Color backColor{0xFFFFFF};
  bool hasBackColor = false;
  Ref<Picture> backdrop;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  Window* owner_;
};

// The top-level widget of a window: its menu bar above its content.
class TopWidget : public QWidget {
 public:
  explicit TopWidget(Window* owner);

 protected:
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  bool event(QEvent* e) override;

 private:
  Window* owner_;
};

struct WindowImpl {
  QPointer<TopWidget> top;
  QPointer<ContentWidget> content;
  QVBoxLayout* layout = nullptr;
  QPointer<QMenuBar> menuBarWidget;
  Ref<MenuBar> menuBar;
  // MenuBarVisible as the design set it; unset, a window's own bar shows.
  std::optional<bool> menuBarVisible;
  std::string title;
  int32_t width = 300, height = 300;
  int32_t minWidth = 0, minHeight = 0, maxWidth = 32000, maxHeight = 32000;
  int32_t frame = 0, placement = 0;
  bool closeButton = true, minimizeButton = true, maximizeButton = true, resizeable = true;
  bool visible = true;
  bool opened = false, closed = false, constructed = false, placed = false;
  bool modalLoopRunning = false;
  std::function<void()> onClosed;  // ends a running ShowModal
  // While this modal window is minimised: the windows minimised with it.
  std::vector<QPointer<QWidget>> minimisedWith;
  void ApplyFlags();
  void ApplySize();
};

// Framework-internal services of the run time.
namespace runtime {
// True while program code runs (within CallProgram).
bool InProgramCode();
// Asks for the held-back repaints of controls whose repaint is still
// pending; called when the outermost program code returns and before the
// event loop waits.
void FlushDeferredUpdates();
// The pointer's last position on the screen and the buttons held.
QPointF LastGlobalMouse();
bool ButtonsDown();
// Brings the window to the front of the window list.
void WindowToFront(Window* w);
// Builds the Qt menu bar of a menu tree for a window; opening one of its
// menus brings `owner` to the front of the window list first.
QMenuBar* BuildMenuBar(const Ref<MenuBar>& bar, QWidget* parent, Window* owner);
// Copies the items' texts, marks and enabled states into the shown menus.
void SyncMenus();
// True while a modal window is open.
bool ModalActive();
// Closes the window without asking it: out of the window list, hidden,
// its Close event, its controls released once the current event has run;
// then the application quits if that was its last window.
void CloseWindow(const Ref<Window>& w);
void ReleaseLater(const Ref<Window>& w);
void ReleaseClosedWindows();
// The application's Open, then the Open of the windows made during start-up.
void OpenApplication();
// The exit status that RuntimeExit gives.
void SetExitStatus(int status);
// The program's exception helper; empty until it sets one.
const std::function<std::exception_ptr(const std::function<void()>&)>& ExceptionHelper();
// The Edit command of that item name that the focused text control serves
// now (Copy from a read-only text area with a selection); with `perform`,
// carries it out. False when the control serves no such command.
bool TextCommand(const std::string& itemName, bool perform);
// A Ctrl key press that may be a menu shortcut; true when it was one.
bool HandleShortcut(int qtKey, int modifiers);
}  // namespace runtime

}  // namespace fw

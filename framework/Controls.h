// Controls: the visual ones a window holds (Canvas, Label, TabPanel,
// TextArea) and the non-visual Timer.
#pragma once

#include <climits>
#include <cstdint>
#include <memory>
#include <string>

#include "framework/Design.h"
#include "framework/Graphics.h"
#include "framework/Object.h"

namespace fw {

class Window;
struct ControlWidget;

// A pointer shape with its hot spot.
class MouseCursor : public Object {
 public:
  struct Impl;
  explicit MouseCursor(std::shared_ptr<Impl> impl);
  ~MouseCursor() override;
  const std::shared_ptr<Impl>& Data() const { return impl_; }

 private:
  std::shared_ptr<Impl> impl_;
};

// The index of a control that is not a member of a control array.
constexpr int32_t kNoControlIndex = INT32_MIN;

// What every control of a window has: its name, its index within a control
// array and its window.
class Control : public Object, public Designable {
 public:
  Control();
  ~Control() override;

  const std::string& Name() const { return name_; }
  void Name(const std::string& n) { name_ = n; }
  int32_t Index() const { return index_; }
  void Index(int32_t i) { index_ = i; }
  // The window that holds the control; nil before it is added or after the
  // window has gone.
  Ref<fw::Window> Window() const { return Ref<fw::Window>(window_.lock()); }

  // Raised once when the window opens its controls.
  Event<void()> Open;
  virtual void Event_Open() { Open.Raise(); }

  void SetProperty(const std::string& name, const PropertyValue& value) override;

  // Framework-internal: the window the control was added to.
  virtual void AttachToWindow(const Ref<fw::Window>& w);

 private:
  std::string name_;
  int32_t index_ = kNoControlIndex;
  std::weak_ptr<fw::Window> window_;
};

// A control with a rectangle in its window.
class RectControl : public Control {
 public:
  RectControl();
  ~RectControl() override;

  // Builds the control's platform side; every control class runs it once,
  // before the control is added to its window.
  void Constructor();

  int32_t Left() const { return left_; }
  void Left(int32_t v);
  int32_t Top() const { return top_; }
  void Top(int32_t v);
  int32_t Width() const { return width_; }
  void Width(int32_t v);
  int32_t Height() const { return height_; }
  void Height(int32_t v);
  bool Visible() const { return visible_; }
  void Visible(bool v);
  bool Enabled() const { return enabled_; }
  void Enabled(bool v);

  // The pointer, in the coordinates of the control's window.
  int32_t MouseX() const;
  int32_t MouseY() const;

  // Shown while the pointer is over the control; nil gives the default.
  Ref<fw::MouseCursor> MouseCursor() const { return cursor_; }
  void MouseCursor(const Ref<fw::MouseCursor>& c);

  // Asks for a later repaint; the framework paints at the next occasion or
  // at the window's UpdateNow.
  void Refresh(bool eraseBackground = true);

  void SetProperty(const std::string& name, const PropertyValue& value) override;
  void AttachToWindow(const Ref<fw::Window>& w) override;

  // Framework-internal.
  ControlWidget* Widget() const { return widget_.get(); }

 protected:
  // Makes the platform widget of this class; called by Constructor.
  virtual std::unique_ptr<ControlWidget> MakeWidget();

 private:
  void ApplyGeometry();
  int32_t left_ = 0, top_ = 0, width_ = 100, height_ = 100;
  bool visible_ = true, enabled_ = true;
  Ref<fw::MouseCursor> cursor_;
  std::unique_ptr<ControlWidget> widget_;
};

// A control that the program draws itself, with mouse events.
class Canvas : public RectControl {
 public:
  Canvas();
  ~Canvas() override;

  // Drawn behind whatever the Paint event draws; nil draws nothing.
  Ref<Picture> Backdrop() const { return backdrop_; }
  void Backdrop(const Ref<Picture>& p);

  // The control's own drawing surface; what is drawn on it shows at once.
  Ref<fw::Graphics> Graphics();

  // True when the Paint event covers every pixel of the control with opaque
  // colour: what lies under the control is then neither drawn nor blended.
  // False by default.
  bool Opaque() const { return opaque_; }
  void Opaque(bool on);

  // Events. A subclass that handles one overrides its Event_ method; the
  // default raises the event to the handler that the window attached.
  Event<void(Ref<fw::Graphics>)> Paint;
  Event<bool(int32_t, int32_t)> MouseDown;  // True takes the press
  Event<void(int32_t, int32_t)> MouseDrag;
  Event<void(int32_t, int32_t)> MouseUp;
  Event<void(int32_t, int32_t)> MouseMove;
  Event<void()> MouseEnter;
  Event<void()> MouseExit;

  virtual void Event_Paint(Ref<fw::Graphics> g) { Paint.Raise(g); }
  virtual bool Event_MouseDown(int32_t x, int32_t y) { return MouseDown.Raise(x, y); }
  virtual void Event_MouseDrag(int32_t x, int32_t y) { MouseDrag.Raise(x, y); }
  virtual void Event_MouseUp(int32_t x, int32_t y) { MouseUp.Raise(x, y); }
  virtual void Event_MouseMove(int32_t x, int32_t y) { MouseMove.Raise(x, y); }
  virtual void Event_MouseEnter() { MouseEnter.Raise(); }
  virtual void Event_MouseExit() { MouseExit.Raise(); }

  void SetProperty(const std::string& name, const PropertyValue& value) override;

 protected:
  std::unique_ptr<ControlWidget> MakeWidget() override;

 private:
  Ref<Picture> backdrop_;
  bool opaque_ = false;
};

// A non-visual control that belongs to a window: the framework attaches it
// to its window and queries it through these four operations.
class PaneChild {
 public:
  virtual ~PaneChild() = default;
  virtual void SetWindow(const Ref<fw::Window>& w) = 0;
  virtual Ref<fw::Window> Window() = 0;
  virtual int32_t Index_() = 0;
  virtual void SetIndex(int32_t i) = 0;
};

// Raises Action every Period milliseconds while Mode is 2 (once for Mode 1;
// 0 stops it).
class Timer : public Object, public Designable {
 public:
  Timer();
  ~Timer() override;

  int32_t Period() const { return period_; }
  void Period(int32_t ms);
  int32_t Mode() const { return mode_; }
  void Mode(int32_t m);

  Event<void()> Action;
  virtual void Event_Action() { Action.Raise(); }

  void SetProperty(const std::string& name, const PropertyValue& value) override;

 private:
  struct Impl;
  void Restart();
  void ScheduleNext();
  int32_t period_ = 1000;
  int32_t mode_ = 0;
  std::unique_ptr<Impl> impl_;
};

}  // namespace fw

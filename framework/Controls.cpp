#include "framework/Controls.h"

#include <QAbstractEventDispatcher>
#include <QEnterEvent>
#include <cmath>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <chrono>

#include "framework/Application.h"
#include "framework/TextControls.h"
#include "framework/Window.h"
#include "framework/WidgetsPrivate.h"

namespace fw {

// ---------------------------------------------------------------- cursors

MouseCursor::MouseCursor(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
MouseCursor::~MouseCursor() = default;

// ---------------------------------------------------------------- Control

ControlWidget::~ControlWidget() {
  if (widget) delete widget.data();
}

Control::Control() = default;
Control::~Control() = default;

void Control::AttachToWindow(const Ref<fw::Window>& w) { window_ = w; }

void Control::SetProperty(const std::string& name, const PropertyValue& value) {
  if (name == "Name") {
    Name(PropertyString(name, value));
  } else if (name == "Index") {
    Index(PropertyInt(name, value));
  } else {
    Designable::SetProperty(name, value);
  }
}

// ---------------------------------------------------------------- RectControl

RectControl::RectControl() = default;
RectControl::~RectControl() = default;

void RectControl::Constructor() {
  if (!widget_) {
    widget_ = MakeWidget();
    ApplyGeometry();
  }
}

std::unique_ptr<ControlWidget> RectControl::MakeWidget() { return std::make_unique<ControlWidget>(new QWidget()); }

void RectControl::AttachToWindow(const Ref<fw::Window>& w) {
  Control::AttachToWindow(w);
  Constructor();
  if (w && w->Impl() && w->Impl()->content && widget_ && widget_->widget) {
    widget_->widget->setParent(w->Impl()->content);
    ApplyGeometry();
  }
}

void RectControl::ApplyGeometry() {
  if (!widget_ || !widget_->widget) return;
  QWidget* wd = widget_->widget;
  wd->setGeometry(left_, top_, std::max(0, width_), std::max(0, height_));
  wd->setVisible(visible_ && wd->parentWidget() != nullptr);
  wd->setEnabled(enabled_);
}

void RectControl::Left(int32_t v) {
  left_ = v;
  ApplyGeometry();
}
void RectControl::Top(int32_t v) {
  top_ = v;
  ApplyGeometry();
}
void RectControl::Width(int32_t v) {
  width_ = v;
  ApplyGeometry();
}
void RectControl::Height(int32_t v) {
  height_ = v;
  ApplyGeometry();
}
void RectControl::Visible(bool v) {
  visible_ = v;
  ApplyGeometry();
}
void RectControl::Enabled(bool v) {
  enabled_ = v;
  ApplyGeometry();
}

int32_t RectControl::MouseX() const {
  Ref<fw::Window> w = Window();
  if (!w || !w->Impl()->content) return 0;
  return static_cast<int32_t>(std::floor(w->Impl()->content->mapFromGlobal(runtime::LastGlobalMouse()).x()));
}

int32_t RectControl::MouseY() const {
  Ref<fw::Window> w = Window();
  if (!w || !w->Impl()->content) return 0;
  return static_cast<int32_t>(std::floor(w->Impl()->content->mapFromGlobal(runtime::LastGlobalMouse()).y()));
}

void RectControl::MouseCursor(const Ref<fw::MouseCursor>& c) {
  cursor_ = c;
  if (!widget_ || !widget_->widget) return;
  if (c && c->Data())
    widget_->widget->setCursor(c->Data()->cursor);
  else
    widget_->widget->unsetCursor();
}

namespace {
// Controls whose update() is held back while program code runs.
std::vector<std::weak_ptr<Object>>& DeferredUpdates() {
  static std::vector<std::weak_ptr<Object>> list;
  return list;
}
}  // namespace

void runtime::FlushDeferredUpdates() {
  auto& list = DeferredUpdates();
  if (list.empty()) return;
  std::vector<std::weak_ptr<Object>> due;
  due.swap(list);
  for (const auto& weak : due) {
    auto rc = std::dynamic_pointer_cast<RectControl>(weak.lock());
    ControlWidget* cw = rc ? rc->Widget() : nullptr;
    if (cw == nullptr) continue;
    cw->updateDeferred = false;
    if (cw->repaintPending && cw->widget) cw->widget->update();
  }
}

// Within program code the update is held back until the code returns: a
// window's UpdateNow in the same code paints the control at once, and then
// no later repaint is asked for.
void RectControl::Refresh(bool /*eraseBackground*/) {
  if (!widget_ || !widget_->widget) return;
  widget_->repaintPending = true;
  if (!runtime::InProgramCode()) {
    widget_->widget->update();
    return;
  }
  if (widget_->updateDeferred) return;
  widget_->updateDeferred = true;
  if (DeferredUpdates().empty()) {
    // A nested event loop (a modal window) must not wait with repaints
    // held back.
    static const bool watching = [] {
      if (auto* d = QAbstractEventDispatcher::instance())
        QObject::connect(d, &QAbstractEventDispatcher::aboutToBlock, [] { runtime::FlushDeferredUpdates(); });
      return true;
    }();
    (void)watching;
  }
  DeferredUpdates().push_back(weak_from_this());
}

void RectControl::SetProperty(const std::string& name, const PropertyValue& value) {
  if (name == "Left") {
    Left(PropertyInt(name, value));
  } else if (name == "Top") {
    Top(PropertyInt(name, value));
  } else if (name == "Width") {
    Width(PropertyInt(name, value));
  } else if (name == "Height") {
    Height(PropertyInt(name, value));
  } else if (name == "Visible") {
    Visible(PropertyBool(name, value));
  } else if (name == "Enabled") {
    Enabled(PropertyBool(name, value));
  } else if (name == "HelpTag") {
    if (widget_ && widget_->widget)
      widget_->widget->setToolTip(QString::fromStdString(PropertyString(name, value)));
  } else if (name == "InitialParent" || name == "TabPanelIndex") {
    // Where the control sits: on its window, or on a page of the window's tab
    // panel that InitialParent names (TabPanelIndex counts the pages from 1).
    // The widget keeps both values, so that they may come in either order;
    // a value that cannot be honoured is refused and not kept.
    Constructor();
    QWidget* wd = widget_->widget;
    if (wd == nullptr) return;
    std::string parent = wd->property("fwInitialParent").toString().toStdString();
    int32_t page = wd->property("fwTabPanelIndex").toInt();
    if (name == "InitialParent")
      parent = PropertyString(name, value);
    else
      page = PropertyInt(name, value);
    TabPanel::PlaceOnPage(*this, parent, page);
    wd->setProperty("fwInitialParent", QString::fromStdString(parent));
    wd->setProperty("fwTabPanelIndex", page);
    ApplyGeometry();
  } else if (name == "TabIndex" || name == "TabStop" || name == "AutoDeactivate" || name == "LockLeft" ||
             name == "LockTop" || name == "LockRight" || name == "LockBottom" || name == "AcceptFocus" ||
             name == "AcceptTabs" || name == "UseFocusRing" || name == "EraseBackground" ||
             name == "DoubleBuffer") {
    // Design values that change nothing in a fixed window of this platform:
    // no control is locked to an edge, takes focus by tab or erases itself.
  } else {
    Control::SetProperty(name, value);
  }
}

// ---------------------------------------------------------------- Canvas

Canvas::Canvas() = default;
Canvas::~Canvas() = default;

std::unique_ptr<ControlWidget> Canvas::MakeWidget() {
  return std::make_unique<ControlWidget>(new CanvasWidget(this));
}

void Canvas::Opaque(bool on) {
  opaque_ = on;
  if (auto* cw = static_cast<CanvasWidget*>(Widget() ? Widget()->widget.data() : nullptr)) cw->SetOpaque(on);
}

void Canvas::Backdrop(const Ref<Picture>& p) {
  backdrop_ = p;
  Refresh(false);
}

Ref<fw::Graphics> Canvas::Graphics() {
  Constructor();
  auto* cw = static_cast<CanvasWidget*>(Widget() ? Widget()->widget.data() : nullptr);
  return cw ? cw->SurfaceGraphics() : nullptr;
}

void Canvas::SetProperty(const std::string& name, const PropertyValue& value) {
  if (name == "Backdrop") {
    throw DesignPropertyError("a backdrop is set in code, not as a design property");
  }
  RectControl::SetProperty(name, value);
}

CanvasWidget::CanvasWidget(Canvas* owner) : owner_(owner) {
  setMouseTracking(true);
  SetOpaque(owner->Opaque());
}

// An opaque canvas paints on an opaque surface, which goes to the screen as
// a plain copy; the window's content under it is not painted.
void CanvasWidget::SetOpaque(bool on) {
  if (on == opaque_ && surfaceData_) return;
  opaque_ = on;
  setAttribute(Qt::WA_OpaquePaintEvent, on);
  if (surfaceData_) {
    surface_ = QImage();
    EnsureSurface();
  }
  update();
}

void CanvasWidget::EnsureSurface() {
  const QSize want(std::max(1, width()), std::max(1, height()));
  if (surface_.size() == want && surfaceData_) return;
  // The painter of a running paint draws on the surface.
  if (painting && !surface_.isNull()) return;
  surface_ = QImage(want, opaque_ ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
  surface_.fill(opaque_ ? Qt::white : Qt::transparent);
  if (!surfaceData_) {
    surfaceData_ = std::make_shared<Surface>();
    surfaceData_->image = &surface_;
    QPointer<CanvasWidget> self(this);
    surfaceData_->changed = [self] {
      if (self && !self->painting) self->update();
    };
    graphics_ = New<Graphics>(surfaceData_);
  }
}

Ref<Graphics> CanvasWidget::SurfaceGraphics() {
  EnsureSurface();
  return graphics_;
}

void CanvasWidget::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  EnsureSurface();
}

void CanvasWidget::paintEvent(QPaintEvent* /*e*/) {
  EnsureSurface();
  if (owner_->Widget()) owner_->Widget()->repaintPending = false;
  // An opaque control paints every pixel itself.
  if (!opaque_) surface_.fill(Qt::transparent);
  {
    // One painter for the whole paint: the backdrop, then every drawing
    // operation of the Paint event.
    QPainter p(&surface_);
    if (const QImage* back = ImageOf(owner_->Backdrop())) p.drawImage(QPoint(0, 0), *back);
    // Keep the control alive while its handler runs.
    Ref<Canvas> keep = SelfRef(owner_);
    surfaceData_->painter = &p;
    painting = true;
    CallProgram([&] { keep->Event_Paint(graphics_); });
    painting = false;
    surfaceData_->painter = nullptr;
  }
  QPainter screen(this);
  screen.drawImage(QPoint(0, 0), surface_);
}

void CanvasWidget::mousePressEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  bool taken = false;
  Ref<Canvas> keep = SelfRef(owner_);
  CallProgram([&] { taken = keep->Event_MouseDown(p.x(), p.y()); });
  pressTaken_ = taken;
  if (taken)
    e->accept();
  else
    e->ignore();
}

void CanvasWidget::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  Ref<Canvas> keep = SelfRef(owner_);
  if (e->buttons() != Qt::NoButton) {
    // While a press is held the platform holds back enter and leave until
    // the release; the control is told at once when the pointer crosses its
    // edge.
    SetPointerInside(rect().contains(p));
    if (pressTaken_) CallProgram([&] { keep->Event_MouseDrag(p.x(), p.y()); });
  } else {
    SetPointerInside(true);
    CallProgram([&] { keep->Event_MouseMove(p.x(), p.y()); });
  }
}

void CanvasWidget::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  if (!pressTaken_) {
    e->ignore();
    return;
  }
  pressTaken_ = false;
  Ref<Canvas> keep = SelfRef(owner_);
  CallProgram([&] { keep->Event_MouseUp(p.x(), p.y()); });
}

void CanvasWidget::enterEvent(QEnterEvent* /*e*/) { SetPointerInside(true); }

void CanvasWidget::leaveEvent(QEvent* /*e*/) { SetPointerInside(false); }

void CanvasWidget::SetPointerInside(bool inside) {
  if (inside == pointerInside_) return;
  pointerInside_ = inside;
  Ref<Canvas> keep = SelfRef(owner_);
  if (inside)
    CallProgram([&] { keep->Event_MouseEnter(); });
  else
    CallProgram([&] { keep->Event_MouseExit(); });
}

// ---------------------------------------------------------------- Timer

struct Timer::Impl {
  QTimer timer;
  // A repeating timer fires on the schedule start + k × period: the time
  // the current firing was due.
  std::chrono::steady_clock::time_point due;
};

Timer::Timer() = default;

Timer::~Timer() = default;

void Timer::Period(int32_t ms) {
  period_ = ms;
  Restart();
}

void Timer::Mode(int32_t m) {
  mode_ = m;
  Restart();
}

// A repeating timer is started once per firing, for the time left to the
// next point of its schedule after now: a firing that comes late, even by
// more than a period, leaves the later ones on the schedule, where a
// repeating QTimer would go on from the late firing.
void Timer::ScheduleNext() {
  using namespace std::chrono;
  const auto now = steady_clock::now();
  const auto period = milliseconds(period_);
  impl_->due += period;
  if (impl_->due <= now) impl_->due += (now - impl_->due) / period * period + period;
  // Rounded up: a timer never fires before its time.
  impl_->timer.start(ceil<milliseconds>(impl_->due - now));
}

void Timer::Restart() {
  if (mode_ == 0) {
    if (impl_) impl_->timer.stop();
    return;
  }
  if (!impl_) {
    impl_ = std::make_unique<Impl>();
    impl_->timer.setTimerType(Qt::PreciseTimer);
    impl_->timer.setSingleShot(true);
    QObject::connect(&impl_->timer, &QTimer::timeout, [this] {
      if (mode_ == 1)
        mode_ = 0;
      else if (period_ <= 0)
        impl_->timer.start(0);  // at every pass of the event loop
      else
        ScheduleNext();
      // Keep the timer alive while its handler runs: it may release itself.
      std::shared_ptr<Object> keep = weak_from_this().lock();
      CallProgram([this] { Event_Action(); });
    });
  }
  impl_->due = std::chrono::steady_clock::now();
  if (mode_ == 1 || period_ <= 0) {
    impl_->timer.start(std::max(0, period_));
  } else {
    ScheduleNext();
  }
}

void Timer::SetProperty(const std::string& name, const PropertyValue& value) {
  if (name == "Period") {
    Period(PropertyInt(name, value));
  } else if (name == "Mode") {
    Mode(PropertyInt(name, value));
  } else if (name == "Name" || name == "Index") {
    // The window registers the clock under its name and index itself.
  } else {
    Designable::SetProperty(name, value);
  }
}

}  // namespace fw

#include "framework/Window.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QApplication>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <utility>

#include "framework/Application.h"
#include "framework/Menu.h"
#include "framework/WidgetsPrivate.h"

namespace fw {

namespace {

// The open windows, front first. Holding them here keeps each open window
// alive until it closes.
std::vector<Ref<Window>>& OpenWindows() {
  static std::vector<Ref<Window>> list;
  return list;
}

// The text a key press gives the program: its character, or the control
// character that stands for a key without one.
std::string KeyText(const QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return "\r";
    case Qt::Key_Escape: return "\x1b";
    case Qt::Key_Tab: return "\t";
    case Qt::Key_Backspace: return "\b";
    case Qt::Key_Delete: return "\x7f";
    case Qt::Key_Left: return "\x1c";
    case Qt::Key_Right: return "\x1d";
    case Qt::Key_Up: return "\x1e";
    case Qt::Key_Down: return "\x1f";
    case Qt::Key_Home: return "\x01";
    case Qt::Key_End: return "\x04";
    case Qt::Key_PageUp: return "\x0b";
    case Qt::Key_PageDown: return "\x0c";
    default: break;
  }
  return e->text().toStdString();
}

// The window that was in front before `self`: the first other shown window
// of the list.
Ref<Window> Opener(const Window* self) {
  for (const auto& w : OpenWindows())
    if (w.get() != self && w->Impl()->top && w->Impl()->top->isVisible()) return w;
  return nullptr;
}

// A modal window keeps every other window from answering. A window manager
// may minimise it on request although it asks for no minimise button, and
// may leave the others on the screen, ignoring the player with nothing in
// sight saying why. So the windows it blocks are minimised with it, and they
// come back together: when it returns, or when any of them is brought back.
void FollowModalMinimise(Window* changed) {
  WindowImpl& impl = *changed->Impl();
  if (!impl.top) return;
  // A copy: showing and hiding deliver events whose handlers may reorder the
  // list.
  const std::vector<Ref<Window>> windows = OpenWindows();
  if (impl.modalLoopRunning) {
    if (impl.top->isMinimized()) {
      for (const auto& w : windows) {
        QWidget* top = w->Impl()->top;
        if (w.get() == changed || !top || !top->isVisible() || top->isMinimized()) continue;
        impl.minimisedWith.emplace_back(top);
        top->showMinimized();
      }
    } else {
      // (One closed meanwhile stays closed.)
      for (const auto& top : std::exchange(impl.minimisedWith, {}))
        if (top && top->isVisible() && top->isMinimized()) top->showNormal();
    }
    return;
  }
  if (impl.top->isMinimized()) return;
  for (const auto& w : windows) {
    const WindowImpl& other = *w->Impl();
    if (other.modalLoopRunning && other.top && other.top->isMinimized()) other.top->showNormal();
  }
}

}  // namespace

// ---------------------------------------------------------------- widgets

ContentWidget::ContentWidget(Window* owner) : owner_(owner) {}

void ContentWidget::paintEvent(QPaintEvent* /*e*/) {
  QPainter p(this);
  if (hasBackColor) p.fillRect(rect(), QColor::fromRgb(backColor.Red(), backColor.Green(), backColor.Blue()));
  if (const QImage* img = ImageOf(backdrop)) p.drawImage(QPoint(0, 0), *img);
}

void ContentWidget::mousePressEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  Ref<Window> keep = SelfRef(owner_);
  CallProgram([&] { keep->Event_MouseDown(p.x(), p.y()); });
  e->accept();
}

TopWidget::TopWidget(Window* owner) : owner_(owner) { setFocusPolicy(Qt::StrongFocus); }

void TopWidget::closeEvent(QCloseEvent* e) {
  // The window's own Close decides (CancelClose may keep it open).
  e->ignore();
  Ref<Window> keep = SelfRef(owner_);
  CallProgram([&] { keep->Close(); });
}

void TopWidget::keyPressEvent(QKeyEvent* e) {
  const std::string key = KeyText(e);
  if (key.empty()) {
    QWidget::keyPressEvent(e);
    return;
  }
  bool handled = false;
  Ref<Window> keep = SelfRef(owner_);
  CallProgram([&] { handled = keep->Event_KeyDown(key); });
  if (!handled) e->ignore();
}

bool TopWidget::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) runtime::WindowToFront(owner_);
  const bool done = QWidget::event(e);
  if (e->type() == QEvent::WindowStateChange) FollowModalMinimise(owner_);
  return done;
}

void WindowImpl::ApplyFlags() {
  if (!top) return;
  Qt::WindowFlags f = (frame == 2 ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (closeButton) f |= Qt::WindowCloseButtonHint;
  if (minimizeButton) f |= Qt::WindowMinimizeButtonHint;
  if (maximizeButton && resizeable) f |= Qt::WindowMaximizeButtonHint;
  const bool wasVisible = top->isVisible();
  top->setWindowFlags(f);
  if (wasVisible) top->show();
}

void WindowImpl::ApplySize() {
  if (!content || !layout) return;
  const bool fixed = !resizeable || (minWidth == maxWidth && minHeight == maxHeight);
  if (fixed) {
    content->setFixedSize(width, height);
    layout->setSizeConstraint(QLayout::SetFixedSize);
  } else {
    content->setMinimumSize(std::max(0, minWidth), std::max(0, minHeight));
    content->setMaximumSize(std::max(minWidth, maxWidth), std::max(minHeight, maxHeight));
    layout->setSizeConstraint(QLayout::SetDefaultConstraint);
    if (top) top->resize(width, height + (menuBarWidget ? menuBarWidget->sizeHint().height() : 0));
  }
  layout->activate();
}

namespace {

// Chooses a window's first position: Placement 1 centred over the window
// that was in front (a dialog is also kept above that window by the window
// manager), otherwise centred on the screen; wholly on the screen either way.
// The window manager's frame is not known before the window is mapped, so
// the opener's frame stands in for it.
void Place(Window& w, const Ref<Window>& opener) {
  WindowImpl& impl = *w.Impl();
  QWidget* over = opener ? opener->Impl()->top.data() : nullptr;
  QScreen* screen = over ? over->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  QRect r = impl.top->frameGeometry();
  if (over) {
    const QRect f = over->frameGeometry(), g = over->geometry();
    r = r.marginsAdded(
        QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()));
  }
  r.moveCenter(impl.placement == 1 && over ? over->frameGeometry().center() : area.center());
  r.moveLeft(std::clamp(r.left(), area.left(), std::max(area.left(), area.right() + 1 - r.width())));
  r.moveTop(std::clamp(r.top(), area.top(), std::max(area.top(), area.bottom() + 1 - r.height())));
  // Moved before its platform window exists, the position is the frame's.
  impl.top->move(r.topLeft());
  if (over && impl.frame == 2) {
    impl.top->winId();
    impl.top->windowHandle()->setTransientParent(over->windowHandle());
  }
}

}  // namespace

// ---------------------------------------------------------------- Window

Window::Window(std::string className) : className_(std::move(className)), impl_(std::make_unique<WindowImpl>()) {
  impl_->top = new TopWidget(this);
  impl_->layout = new QVBoxLayout(impl_->top);
  impl_->layout->setContentsMargins(0, 0, 0, 0);
  impl_->layout->setSpacing(0);
  impl_->content = new ContentWidget(this);
  impl_->layout->addWidget(impl_->content);
  impl_->ApplyFlags();
  impl_->ApplySize();
}

Window::~Window() {
  if (impl_->top) delete impl_->top.data();
}

Ref<Window> Window::GetImplicitWindow(const std::string& className) {
  for (const auto& w : OpenWindows())
    if (w->className_ == className) return w;
  return nullptr;
}

void Window::Constructor() {
  if (impl_->constructed) return;
  impl_->constructed = true;
  Ref<Window> self = SelfRef(this);
  OpenWindows().insert(OpenWindows().begin(), self);
  Layout();
  CreateControls();
  AddMenuHandlers(self);
  Ref<Application> app = GetAppObject();
  if (!app || app->IsOpened()) OpenControlsAndWindow();
}

void Window::OpenControlsAndWindow() {
  if (impl_->opened || impl_->closed) return;
  impl_->opened = true;
  // Held while the Open handlers run: one may close and release the window.
  Ref<Window> self = SelfRef(this);
  // Controls open in creation order, then the window itself.
  const auto entries = controls_;
  for (const auto& e : entries) {
    if (auto c = RefCast<Control>(e.control)) c->Event_Open();
  }
  Event_Open();
  if (impl_->visible && !impl_->closed) Show();
}

bool Window::IsOpen() const { return impl_->constructed && !impl_->closed; }

void Window::Show() {
  if (impl_->closed) return;
  impl_->visible = true;
  if (!impl_->opened || !impl_->top) return;  // shown once the window opens
  // Held while showing delivers events: a handler may release the window.
  Ref<Window> self = SelfRef(this);
  if (!impl_->placed) {
    impl_->placed = true;
    // A window that asks for a menu bar and has none of its own shows the
    // application's one bar; a modal dialog shows none.
    Ref<Application> app = GetAppObject();
    if (!impl_->menuBarWidget && impl_->menuBarVisible.value_or(false) && impl_->frame != 2 && app &&
        app->MenuBar()) {
      impl_->menuBarWidget = runtime::BuildMenuBar(app->MenuBar(), impl_->top, this);
      impl_->layout->setMenuBar(impl_->menuBarWidget);
    }
    impl_->ApplySize();
    impl_->top->adjustSize();
    if (impl_->resizeable && !(impl_->minWidth == impl_->maxWidth && impl_->minHeight == impl_->maxHeight))
      impl_->top->resize(impl_->width,
                         impl_->height + (impl_->menuBarWidget ? impl_->menuBarWidget->sizeHint().height() : 0));
    Place(*this, Opener(this));
  }
  impl_->top->show();
  // A headless platform has no stacking to change.
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) impl_->top->raise();
  impl_->top->activateWindow();
  runtime::WindowToFront(this);
}

void Window::ShowModal() {
  if (impl_->closed) return;
  // Held through the modal loop, whose handlers may close and release it.
  Ref<Window> self = SelfRef(this);
  if (impl_->top && impl_->top->windowModality() != Qt::ApplicationModal) {
    const bool wasVisible = impl_->top->isVisible();
    if (wasVisible) impl_->top->hide();
    impl_->top->setWindowModality(Qt::ApplicationModal);
  }
  Show();
  if (impl_->closed) return;
  QEventLoop loop;
  impl_->onClosed = [&loop] { loop.quit(); };
  impl_->modalLoopRunning = true;
  loop.exec();
  impl_->modalLoopRunning = false;
  impl_->onClosed = nullptr;
}

bool Window::Close() {
  if (!impl_->constructed || impl_->closed) return true;
  Ref<Window> self = SelfRef(this);
  if (Event_CancelClose(false)) return false;
  runtime::CloseWindow(self);
  return true;
}

void Window::UpdateNow() {
  for (const auto& e : controls_) {
    auto rc = RefCast<RectControl>(e.control);
    if (rc && rc->Widget() && rc->Widget()->repaintPending && rc->Widget()->widget) {
      rc->Widget()->repaintPending = false;
      rc->Widget()->widget->repaint();
    }
  }
}

int32_t Window::Width() const { return impl_->width; }
int32_t Window::Height() const { return impl_->height; }
int32_t Window::Left() const { return impl_->top ? impl_->top->geometry().x() : 0; }
int32_t Window::Top() const { return impl_->top ? impl_->top->geometry().y() : 0; }
std::string Window::Title() const { return impl_->title; }

void Window::Title(const std::string& t) {
  impl_->title = t;
  if (impl_->top) impl_->top->setWindowTitle(QString::fromStdString(t));
}

Ref<Picture> Window::Backdrop() const { return impl_->content ? impl_->content->backdrop : nullptr; }

void Window::Backdrop(const Ref<Picture>& p) {
  if (!impl_->content) return;
  impl_->content->backdrop = p;
  impl_->content->update();
}

Ref<fw::MenuBar> Window::MenuBar() const { return impl_->menuBar; }

void Window::MenuBar(const Ref<fw::MenuBar>& m) {
  impl_->menuBar = m;
  if (impl_->menuBarWidget) {
    impl_->layout->setMenuBar(nullptr);
    delete impl_->menuBarWidget.data();
  }
  if (m && impl_->top) {
    impl_->menuBarWidget = runtime::BuildMenuBar(m, impl_->top, this);
    impl_->layout->setMenuBar(impl_->menuBarWidget);
  }
  impl_->ApplySize();
}

void Window::SetProperty(const std::string& name, const PropertyValue& value) {
  WindowImpl& w = *impl_;
  if (name == "Width") {
    w.width = PropertyInt(name, value);
    w.ApplySize();
  } else if (name == "Height") {
    w.height = PropertyInt(name, value);
    w.ApplySize();
  } else if (name == "MinWidth") {
    w.minWidth = PropertyInt(name, value);
    w.ApplySize();
  } else if (name == "MinHeight") {
    w.minHeight = PropertyInt(name, value);
    w.ApplySize();
  } else if (name == "MaxWidth") {
    w.maxWidth = PropertyInt(name, value);
    w.ApplySize();
  } else if (name == "MaxHeight") {
    w.maxHeight = PropertyInt(name, value);
    w.ApplySize();
  } else if (name == "Resizeable") {
    w.resizeable = PropertyBool(name, value);
    w.ApplyFlags();
    w.ApplySize();
  } else if (name == "Frame") {
    w.frame = PropertyInt(name, value);
    w.ApplyFlags();
  } else if (name == "CloseButton") {
    w.closeButton = PropertyBool(name, value);
    w.ApplyFlags();
  } else if (name == "MinimizeButton") {
    w.minimizeButton = PropertyBool(name, value);
    w.ApplyFlags();
  } else if (name == "MaximizeButton") {
    w.maximizeButton = PropertyBool(name, value);
    w.ApplyFlags();
  } else if (name == "Title") {
    Title(PropertyString(name, value));
  } else if (name == "Visible") {
    w.visible = PropertyBool(name, value);
  } else if (name == "Placement") {
    w.placement = PropertyInt(name, value);
  } else if (name == "HasBackColor") {
    if (w.content) w.content->hasBackColor = PropertyBool(name, value);
  } else if (name == "BackColor") {
    if (w.content) w.content->backColor = PropertyColor(name, value);
  } else if (name == "MenuBarVisible") {
    w.menuBarVisible = PropertyBool(name, value);
    if (w.menuBarWidget) w.menuBarWidget->setVisible(*w.menuBarVisible);
  } else if (name == "Composite" || name == "FullScreen" || name == "LiveResize" || name == "MacProcID") {
    // Accepted and ignored, as this platform has nothing to set: windows are
    // never composited specially, never full screen, and have one frame kind
    // per Frame code.
  } else {
    Designable::SetProperty(name, value);
  }
}

void Window::AddControl(const std::string& name, const Ref<Object>& control) {
  if (!control) throw NilObjectException();
  Ref<Window> self = SelfRef(this);
  controls_.push_back(Entry{name, control});
  if (auto c = RefCast<Control>(control)) {
    c->Name(name);
    c->AttachToWindow(self);
  } else if (auto* pc = dynamic_cast<PaneChild*>(control.get())) {
    pc->SetWindow(self);
  }
}

int32_t Window::IndexOf(const Ref<Object>& control) const {
  if (auto c = RefCast<Control>(control)) return c->Index();
  if (auto* pc = dynamic_cast<PaneChild*>(control.get())) return pc->Index_();
  return kNoControlIndex;
}

Ref<Object> Window::ControlByName(const std::string& name) const {
  for (const auto& e : controls_)
    if (e.name == name) return e.control;
  return nullptr;
}

Ref<Object> Window::ControlByNameIndex(const std::string& name, int32_t index) const {
  for (const auto& e : controls_)
    if (e.name == name && IndexOf(e.control) == index) return e.control;
  return nullptr;
}

void Window::AddMenuHandler(const std::string& itemName, std::function<bool()> handler) {
  menuHandlers_.Add(itemName, std::move(handler));
}

void Window::AddMenuHandler(const std::string& itemName, std::function<bool(int32_t)> handler) {
  menuHandlers_.Add(itemName, std::move(handler));
}

bool Window::HandleMenuCommand(const std::string& itemName, int32_t index) {
  // Held while the handler runs: it may close and release the window.
  Ref<Window> keep = SelfRef(this);
  return menuHandlers_.Handle(itemName, index);
}

void Window::ReleaseAfterClose() {
  for (const auto& o : owned_) {
    if (auto t = RefCast<Timer>(o)) t->Mode(0);
  }
  controls_.clear();
  owned_.clear();
  if (impl_->top) {
    impl_->top->hide();
    impl_->top->deleteLater();
  }
}

// ---------------------------------------------------------------- window list

int32_t WindowCount() { return static_cast<int32_t>(OpenWindows().size()); }

Ref<Window> WindowAt(int32_t i) {
  if (i < 0 || i >= WindowCount()) return nullptr;
  return OpenWindows()[static_cast<size_t>(i)];
}

Ref<Window> FrontWindow() { return OpenWindows().empty() ? nullptr : OpenWindows().front(); }

namespace runtime {

namespace {
std::vector<Ref<Window>>& ClosedWindows() {
  static std::vector<Ref<Window>> list;
  return list;
}
}  // namespace

void ReleaseLater(const Ref<Window>& w) {
  const bool first = ClosedWindows().empty();
  ClosedWindows().push_back(w);
  if (first && qApp)
    QMetaObject::invokeMethod(
        qApp, [] { ReleaseClosedWindows(); }, Qt::QueuedConnection);
}

void ReleaseClosedWindows() {
  std::vector<Ref<Window>> list;
  list.swap(ClosedWindows());
  for (const auto& w : list) w->ReleaseAfterClose();
}

void WindowToFront(Window* w) {
  auto& list = OpenWindows();
  auto it = std::find_if(list.begin(), list.end(), [w](const Ref<Window>& r) { return r.get() == w; });
  if (it == list.end() || it == list.begin()) return;
  Ref<Window> keep = *it;
  list.erase(it);
  list.insert(list.begin(), keep);
}

void CloseWindow(const Ref<Window>& w) {
  WindowImpl& impl = *w->Impl();
  if (impl.closed) return;
  impl.closed = true;
  auto& list = OpenWindows();
  list.erase(std::remove(list.begin(), list.end(), w), list.end());
  if (impl.top) impl.top->hide();
  w->Event_Close();
  if (impl.onClosed) impl.onClosed();
  // Controls go once the event that closed the window has run to its end.
  ReleaseLater(w);
  Ref<Application> app = GetAppObject();
  if (app && app->AutoQuit() && list.empty()) app->Quit();
}

}  // namespace runtime

}  // namespace fw

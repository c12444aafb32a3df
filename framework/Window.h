// Windows: one implicit instance per window class, built from design
// properties and controls, holding a menu bar and a backdrop.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/Controls.h"
#include "framework/Design.h"
#include "framework/MenuHandlers.h"
#include "framework/Object.h"

namespace fw {

class MenuBar;
struct WindowImpl;

class Window : public Object, public Designable {
 public:
  // `className` is the name under which the window's single open instance
  // is found ("MainWindow.MainWindow").
  explicit Window(std::string className);
  ~Window() override;

  const std::string& ClassName() const { return className_; }

  // Builds the window: Layout, CreateControls, AddMenuHandlers; then, once
  // the application has opened (at once when it has), each control's Open
  // in creation order and the window's own Open.
  void Constructor();

  // The open instance of a window class; nil when none is open.
  static Ref<Window> GetImplicitWindow(const std::string& className);

  // Construction hooks and window events.
  virtual void Layout() {}
  virtual void CreateControls() {}
  virtual void AddMenuHandlers(Ref<Window> /*w*/) {}
  virtual void Event_Open() {}
  virtual void Event_Close() {}
  // True keeps the window open. `appQuitting` is True when the application
  // is quitting.
  virtual bool Event_CancelClose(bool /*appQuitting*/) { return false; }
  // A key that reached the window; True when handled.
  virtual bool Event_KeyDown(const std::string& /*key*/) { return false; }
  // A press on the window outside any control that took it.
  virtual bool Event_MouseDown(int32_t /*x*/, int32_t /*y*/) { return false; }
  // Raised while the window is in front, whenever the menus are brought up
  // to date.
  virtual void Event_EnableMenuItems() {}

  // Showing and closing.
  void Show();
  // Shows the window and returns once it has closed; timers and other
  // windows' events keep running meanwhile.
  void ShowModal();
  // Asks the window to close (CancelClose may keep it open); true when closed.
  bool Close();
  bool IsOpen() const;
  // Performs the pending repaints of the window's controls at once.
  void UpdateNow();

  // Properties.
  int32_t Width() const;
  int32_t Height() const;
  int32_t Left() const;
  int32_t Top() const;
  std::string Title() const;
  void Title(const std::string& t);
  Ref<Picture> Backdrop() const;
  void Backdrop(const Ref<Picture>& p);
  Ref<fw::MenuBar> MenuBar() const;
  void MenuBar(const Ref<fw::MenuBar>& m);
  void SetProperty(const std::string& name, const PropertyValue& value) override;

  // Controls: made by the window, registered by name and array index.
  template <class C>
  Ref<C> New() {
    auto c = fw::New<C>();
    owned_.push_back(c);
    return c;
  }
  void AddControl(const std::string& name, const Ref<Object>& control);
  // Makes a control of class C, runs its Constructor with `args`, adds it
  // under `name` and returns it as found again under its name and index.
  template <class C, class... A>
  Ref<C> MakeControl(const std::string& name, A&&... args) {
    Ref<C> c = New<C>();
    c->Constructor(std::forward<A>(args)...);
    AddControl(name, c);
    return RefCast<C>(ControlByNameIndex(name, IndexOf(c)));
  }
  Ref<Object> ControlByName(const std::string& name) const;
  Ref<Object> ControlByNameIndex(const std::string& name, int32_t index) const;
  template <class C>
  Ref<C> ControlAs(const std::string& name) const {
    return RefCast<C>(ControlByName(name));
  }
  template <class C>
  Ref<C> ControlAs(const std::string& name, int32_t index) const {
    return RefCast<C>(ControlByNameIndex(name, index));
  }

  // Menu handlers of this window, bound by menu item name.
  void AddMenuHandler(const std::string& itemName, std::function<bool()> handler);
  void AddMenuHandler(const std::string& itemName, std::function<bool(int32_t)> handler);
  // Runs this window's handler for the item; false when it has none or it
  // did not handle the command.
  bool HandleMenuCommand(const std::string& itemName, int32_t index);

  // Framework-internal.
  WindowImpl* Impl() const { return impl_.get(); }
  void OpenControlsAndWindow();
  // Stops the window's timers and lets its controls and widgets go.
  void ReleaseAfterClose();

 private:
  struct Entry {
    std::string name;
    Ref<Object> control;
  };
  int32_t IndexOf(const Ref<Object>& control) const;

  std::string className_;
  std::unique_ptr<WindowImpl> impl_;
  std::vector<Ref<Object>> owned_;
  std::vector<Entry> controls_;
  MenuHandlers menuHandlers_;
};

// The open instance of window class W, registered under `className`; made
// and constructed when none is open.
template <class W>
Ref<W> ImplicitInstance(const std::string& className) {
  Ref<W> w = RefCast<W>(Window::GetImplicitWindow(className));
  if (!w) {
    w = New<W>();
    w->Constructor();
  }
  return w;
}

// The open windows, front to back.
int32_t WindowCount();
Ref<Window> WindowAt(int32_t i);
// The front window; nil when none is open.
Ref<Window> FrontWindow();

}  // namespace fw

// Menus: one tree of menu items, shown as the main window's menu bar.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/Object.h"

namespace fw {

class MenuItem : public Object {
 public:
  MenuItem();
  ~MenuItem() override;

  // The binding key: menu commands reach the handler of this name.
  const std::string& Name() const { return name_; }
  void Name(const std::string& n) { name_ = n; }
  // The text shown; "-" makes a separator line.
  const std::string& Text() const { return text_; }
  void Text(const std::string& t) { text_ = t; }
  // "Cmd+" and a key ("Cmd+W"): the platform's primary modifier, Ctrl here.
  const std::string& KeyboardShortcut() const { return shortcut_; }
  void KeyboardShortcut(const std::string& s) { shortcut_ = s; }
  // True: the framework enables the item at every menu update; False: it is
  // disabled unless an EnableMenuItems handler enables it.
  bool AutoEnable() const { return autoEnable_; }
  void AutoEnable(bool on) { autoEnable_ = on; }
  // The position within an item array; kNoControlIndex for other items.
  int32_t Index() const { return index_; }
  void Index(int32_t i) { index_ = i; }
  bool Checked() const { return checked_; }
  void Checked(bool on) { checked_ = on; }
  bool Enabled() const { return enabled_; }
  void Enabled(bool on) { enabled_ = on; }
  void Enable() { Enabled(true); }

  bool IsSeparator() const { return text_ == "-"; }
  virtual bool IsQuitItem() const { return false; }

  void Append(const Ref<MenuItem>& item);
  int32_t Count() const { return static_cast<int32_t>(children_.size()); }
  Ref<MenuItem> Item(int32_t i) const;
  // The direct child of that name; nil when there is none.
  Ref<MenuItem> Child(const std::string& name) const;
  // The item of that name (and index) anywhere below this one, depth first
  // in menu order; nil when there is none.
  Ref<MenuItem> Lookup(const std::string& name) const;
  Ref<MenuItem> Lookup(const std::string& name, int32_t index) const;

  // Visits this item and every item below it, in menu order.
  void ForEach(const std::function<void(const Ref<MenuItem>&)>& visit);

 private:
  std::string name_, text_, shortcut_;
  bool autoEnable_ = true, checked_ = false, enabled_ = true;
  int32_t index_ = kNoControlIndex;
  std::vector<Ref<MenuItem>> children_;
  MenuItem* parent_ = nullptr;
};

// The root of a menu tree; its children are the menus.
class MenuBar : public MenuItem {};

// The item of the application's About command.
class AppleMenuItem : public MenuItem {};

// The framework's own quit item: choosing it quits the application, unless
// a handler of its name handled the command first.
class QuitMenuItem : public MenuItem {
 public:
  bool IsQuitItem() const override { return true; }
};

// Brings the menus up to date: disables every item whose AutoEnable is
// False, except an Edit item that the focused text control serves now
// (EditCopy with a selection in a read-only text area), enables the others,
// then raises EnableMenuItems on the application and on the front window.
// Done before a menu opens and before a shortcut's command runs.
void UpdateMenus();

// Carries out the command of an item: the focused text control's own Edit
// command first, then the front window's handler of its name, then the
// application's, then the quit item's own action.
// Returns true when something handled it.
bool DispatchMenuCommand(const Ref<MenuItem>& item);

}  // namespace fw

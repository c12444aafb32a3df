// The program's one menu bar: File, Edit, Game (with the sound-effect
// submenu) and help, built once when it is first asked for. It handles no
// command itself: the application object and the windows bind handlers to
// the items' names, and enable and mark the items in their EnableMenuItems.
#pragma once

#include "framework/Menu.h"
#include "framework/Object.h"

class Menu : public fw::MenuBar {
 public:
  // Builds the whole tree.
  Menu();

  // The single menu bar, made on the first call.
  static fw::Ref<Menu> Instance();
  // Shut-down: lets the single menu bar go; a later Instance() builds anew.
  static void ReleaseInstance();

  // The builders of the File, Edit, Game and help menus, in bar order.
  void Untitled1();
  void Untitled2();
  void Untitled3();
  void Untitled4();
};

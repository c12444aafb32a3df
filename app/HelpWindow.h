// The Help window: the game's Japanese help on six tabs, each a read-only
// text area. While it is the front window it enables File > Close and closes
// itself on that command.
#pragma once

#include "framework/Menu.h"
#include "framework/TextControls.h"
#include "framework/Window.h"

class HelpWindow : public fw::Window {
 public:
  HelpWindow();

  // The open Help window, or a new one when none is open.
  static fw::Ref<HelpWindow> Instance();

  void Layout() override;
  void CreateControls() override;
  void CreateControls0();

  fw::Ref<fw::TabPanel> TabPanel1() const;
  fw::Ref<fw::TextArea> EditField1() const;
  fw::Ref<fw::TextArea> EditField2() const;
  fw::Ref<fw::TextArea> EditField3() const;
  fw::Ref<fw::TextArea> EditField4() const;
  fw::Ref<fw::TextArea> EditField5() const;
  fw::Ref<fw::TextArea> EditField6() const;

  void AddMenuHandlers(fw::Ref<fw::Window> w) override;
  void Event_EnableMenuItems() override;
  bool FileClose_Action();
};

// The File > Close item of the application's menu bar, looked up anew on
// every call; nil when the menu bar has no such item.
fw::Ref<fw::MenuItem> FileClose();

// The application object without its start-up work, for tests of a window
// on its own: no preferences file, no sound player, so neither the volume
// marks nor the save at quit.
#pragma once

#include "app/App.h"
#include "framework/Menu.h"

class QuietAppl : public Appl {
 public:
  void Event_Open() override {}
  void Event_EnableMenuItems() override {}
  void Event_Close() override {}
};

// The menu bar of such a test: only the File menu with its Close item
// (Cmd+W, enabled by hand), which the Help window answers to.
inline fw::Ref<fw::MenuBar> FileCloseMenuBar() {
  auto bar = fw::New<fw::MenuBar>();
  auto file = fw::New<fw::MenuItem>();
  file->Name("UntitledMenu6");
  file->Text("ファイル");
  auto close = fw::New<fw::MenuItem>();
  close->Name("FileClose");
  close->Text("閉じる");
  close->KeyboardShortcut("Cmd+W");
  close->AutoEnable(false);
  file->Append(close);
  bar->Append(file);
  return bar;
}

// The application object without its start-up work, for tests of a window
// on its own: no preferences file, no sound player, so neither the volume
// marks nor the save at quit.
#pragma once

#include "app/App.h"

class QuietAppl : public Appl {
 public:
  void Event_Open() override {}
  void Event_EnableMenuItems() override {}
  void Event_Close() override {}
};

#include "app/App.h"


Appl::Appl() = default;

// The store goes first, then the player.
Appl::~Appl() {
  ItsPrefs = nullptr;
  ItsSoundPlayer = nullptr;
}

fw::Ref<Appl> App() { return fw::RefCast<Appl>(fw::GetAppObject()); }

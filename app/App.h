// The application object and its accessor. The board and the game window
// use only its two fields.
#pragma once

#include <cstdint>

#include "framework/Application.h"

class ApplPreferences;
class SoundPlayer;

class Appl : public fw::Application {
 public:
  Appl();
  ~Appl() override;

  // The settings record, from the Open event to the end of the run.
  fw::Ref<ApplPreferences> ItsPrefs;
  // The sound-effect player, from the Open event to the end of the run.
  fw::Ref<SoundPlayer> ItsSoundPlayer;

  void Event_Close() override;
  void Event_Open() override;
  void Event_EnableMenuItems() override;
  virtual bool AppleAbout_Action();
  virtual bool HelpApp_Action();
  virtual bool GameMenuSoundVol_Action(int32_t index);
  virtual void Constructor() {}
};

// The registered application object; nil when there is none or it is not an Appl.
fw::Ref<Appl> App();

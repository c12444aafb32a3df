#include "app/App.h"

#include "app/AboutWindow.h"
#include "app/AppMenuItems.h"
#include "app/ApplPreferences.h"
#include "app/HelpWindow.h"
#include "app/Menu.h"
#include "app/PrefsFile.h"
#include "engine/Media.h"
#include "engine/SoundPlayer.h"
#include "framework/Menu.h"

Appl::Appl() = default;

// The store goes first, then the player.
Appl::~Appl() {
  ItsPrefs = nullptr;
  ItsSoundPlayer = nullptr;
}

fw::Ref<Appl> App() { return fw::RefCast<Appl>(fw::GetAppObject()); }

fw::Ref<fw::MenuItem> GameMenuSoundVol(int32_t index) {
  return App()->MenuBar()->Lookup("GameMenuSoundVol", index);
}

void Appl::Event_Open() {
  // The automatic wait cursor stays off for the whole event, however it ends.
  fw::DisableAutoWaitCursor();
  struct WaitCursorBack {
    ~WaitCursorBack() { fw::EnableAutoWaitCursor(); }
  } back;

  ItsPrefs = fw::New<ApplPreferences>(kPrefsFileName, kAppCreator);
  ItsPrefs->Restore();
  ItsPrefs->DefaultData("1");
  ItsSoundPlayer = fw::New<SoundPlayer>();
  ItsSoundPlayer->RestoreData(ItsPrefs->GetPartData(kPrefsSoundLevelPos, kPrefsFieldBytes));
  ItsSoundPlayer->SetSacrifice(SilenceSnd(), 10);
  AutoQuit(true);
}

void Appl::Event_Close() { ItsPrefs->Save(); }

void Appl::Event_EnableMenuItems() {
  const int32_t v = ItsSoundPlayer->RefVolume();
  for (int32_t i = 0; i <= SoundPlayer::kMuteIndex; ++i) {
    if (i == v) {
      GameMenuSoundVol(i)->Checked(true);
    } else {
      GameMenuSoundVol(i)->Checked(false);
      GameMenuSoundVol(i)->Enabled(true);
    }
  }
}

bool Appl::AppleAbout_Action() {
  AboutWindow::Instance()->ShowModal();
  return true;
}

bool Appl::HelpApp_Action() {
  HelpWindow::Instance()->Show();
  return true;
}

bool Appl::GameMenuSoundVol_Action(int32_t index) {
  ItsSoundPlayer->SetVolume(index);
  ItsSoundPlayer->Play(SoundVolSnd());
  ItsPrefs->SetPartData(ItsSoundPlayer->SaveData(), kPrefsSoundLevelPos);
  return true;
}

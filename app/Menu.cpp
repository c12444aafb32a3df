#include "app/Menu.h"

#include <cstdint>
#include <iterator>
#include <string>

#include "engine/GameField.h"
#include "engine/SoundPlayer.h"

using namespace fw;

namespace {

Ref<Menu>& ImplicitInstance() {
  static Ref<Menu> instance;
  return instance;
}

// One item, its properties set in a fixed order: name, automatic enabling,
// the index within an item array (only for array members), text, shortcut
// (not for separators and submenus).
template <class T = MenuItem>
Ref<MenuItem> Make(const std::string& name, bool autoEnable, const std::string& text) {
  Ref<MenuItem> item = New<T>();
  item->Name(name);
  item->AutoEnable(autoEnable);
  item->Text(text);
  return item;
}

template <class T = MenuItem>
Ref<MenuItem> Make(const std::string& name, bool autoEnable, const std::string& text,
                   const std::string& shortcut) {
  Ref<MenuItem> item = Make<T>(name, autoEnable, text);
  item->KeyboardShortcut(shortcut);
  return item;
}

Ref<MenuItem> MakeMember(const std::string& name, int32_t index, const std::string& text,
                         const std::string& shortcut) {
  Ref<MenuItem> item = New<MenuItem>();
  item->Name(name);
  item->AutoEnable(false);
  item->Index(index);
  item->Text(text);
  item->KeyboardShortcut(shortcut);
  return item;
}

}  // namespace

Menu::Menu() {
  Untitled1();
  Untitled2();
  Untitled3();
  Untitled4();
}

Ref<Menu> Menu::Instance() {
  Ref<Menu>& instance = ImplicitInstance();
  if (!instance) instance = New<Menu>();
  return instance;
}

void Menu::ReleaseInstance() { ImplicitInstance() = nullptr; }

void Menu::Untitled1() {
  Append(Make("UntitledMenu6", true, "ファイル", ""));
  Child("UntitledMenu6")->Append(Make("FileClose", false, "閉じる", "Cmd+W"));
  Child("UntitledMenu6")->Append(Make("UntitledMenu7", true, "-"));
  Child("UntitledMenu6")->Append(Make<QuitMenuItem>("FileQuit", true, "終了", "Cmd+Q"));
}

void Menu::Untitled2() {
  Append(Make("UntitledMenu4", true, "編集", ""));
  Child("UntitledMenu4")->Append(Make("EditUndo", false, "取り消し", "Cmd+Z"));
  Child("UntitledMenu4")->Append(Make("UntitledMenu5", true, "-"));
  Child("UntitledMenu4")->Append(Make("EditCut", false, "カット", "Cmd+X"));
  Child("UntitledMenu4")->Append(Make("EditCopy", false, "コピー", "Cmd+C"));
  Child("UntitledMenu4")->Append(Make("EditPaste", false, "ペースト", "Cmd+V"));
  Child("UntitledMenu4")->Append(Make("EditClear", false, "消去", ""));
}

void Menu::Untitled3() {
  Append(Make("UntitledMenu1", true, "ゲーム", ""));
  Child("UntitledMenu1")->Append(Make("GameMenuStart", false, "混ぜる", "Cmd+T"));
  Child("UntitledMenu1")->Append(Make("GameMenuReset", false, "揃える", "Cmd+R"));
  Child("UntitledMenu1")->Append(Make("UntitledMenu3", true, "-"));
  // The pattern index of the board: ring, numbers, flower, ribbon.
  const char* const patterns[] = {"図柄：環", "図柄：数字", "図柄：花", "図柄：リボン"};
  static_assert(std::size(patterns) == GameField::kPatterns);
  for (int32_t i = 0; i < GameField::kPatterns; ++i)
    Child("UntitledMenu1")->Append(MakeMember("GameMenuBlock", i, patterns[i], "Cmd+" + std::to_string(i)));
  Child("UntitledMenu1")->Append(Make("UntitledMenu2", true, "-"));
  Child("UntitledMenu1")->Append(Make("GameMenuSound", true, "効果音"));
  // The volume index of the sound player: as many squares as there are
  // levels for the loudest, one for the quietest, then mute.
  for (int32_t i = 0; i <= SoundPlayer::kMuteIndex; ++i) {
    std::string text;
    if (i < SoundPlayer::kLevels) {
      for (int32_t k = 0; k < SoundPlayer::kLevels - i; ++k) text += "■";
    } else {
      text = "消音";
    }
    Child("UntitledMenu1")->Child("GameMenuSound")->Append(MakeMember("GameMenuSoundVol", i, text, ""));
  }
}

void Menu::Untitled4() {
  Append(Make("UntitledMenu0", true, "help", ""));
  Child("UntitledMenu0")->Append(Make<AppleMenuItem>("AppleAbout", true, "Pandriskについて...", ""));
  Child("UntitledMenu0")->Append(Make("HelpApp", true, "Pandriskの説明...", ""));
}

// The About window: a small fixed modal box with the program's name and
// version, the maker's notice, the program icon (the maker's logo while the
// pointer is over it) and the target-system badge. Any key or click closes it.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Controls.h"
#include "framework/TextControls.h"
#include "framework/Window.h"

// The badge in the About window's top-right corner: a 16 x 8 piece of
// TargetSystemPict.
class TargetSystemDisplay : public fw::Canvas {
 public:
  void Event_Paint(fw::Ref<fw::Graphics> g) override;
  std::string VersionInfo() const;
};

class AboutWindow : public fw::Window {
 public:
  AboutWindow();

  // The open About window, or a new one when none is open.
  static fw::Ref<AboutWindow> Instance();

  void Layout() override;
  void CreateControls() override;
  void CreateControls0();

  fw::Ref<fw::Label> AppName() const;
  fw::Ref<fw::Label> AppCopy() const;
  fw::Ref<fw::Canvas> AppIcon() const;
  fw::Ref<::TargetSystemDisplay> TheTargetSystemDisplay() const;

  void AppIcon_MouseExit(fw::Ref<fw::Canvas> c);
  void AppIcon_MouseEnter(fw::Ref<fw::Canvas> c);
  bool Event_KeyDown(const std::string& key) override;
  bool Event_MouseDown(int32_t x, int32_t y) override;
};

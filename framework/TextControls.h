// Controls that show text: Label, TabPanel and TextArea, with the font
// properties they share.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Controls.h"
#include "framework/Design.h"
#include "framework/Graphics.h"

namespace fw {

// A control that draws its text in a font of its own. The font "System" is
// the desktop's user-interface font; every font falls back on a Japanese
// one for the characters it lacks.
class TextControl : public RectControl {
 public:
  TextControl();
  ~TextControl() override;

  const std::string& TextFont() const { return font_; }
  void TextFont(const std::string& name);
  // The size in TextUnit; 0 is the font's default size.
  double TextSize() const { return size_; }
  void TextSize(double size);
  // 0 (the default) and 2: points; 1: pixels.
  int32_t TextUnit() const { return unit_; }
  void TextUnit(int32_t unit);
  bool Bold() const { return bold_; }
  void Bold(bool on);
  bool Italic() const { return italic_; }
  void Italic(bool on);
  bool Underline() const { return underline_; }
  void Underline(bool on);

  void SetProperty(const std::string& name, const PropertyValue& value) override;

 protected:
  // Gives the control's widget the font of the properties above.
  void ApplyFont();

 private:
  std::string font_ = "System";
  double size_ = 0;
  int32_t unit_ = 0;
  bool bold_ = false, italic_ = false, underline_ = false;
};

// One line (or, with Multiline, several) of text the user cannot change.
class Label : public TextControl {
 public:
  Label();
  ~Label() override;

  const std::string& Text() const { return text_; }
  void Text(const std::string& t);
  Color TextColor() const { return color_; }
  void TextColor(Color c);
  // 0: left, 1: centre, 2: right.
  int32_t TextAlign() const { return align_; }
  void TextAlign(int32_t a);
  // True wraps the text into several lines.
  bool Multiline() const { return multiline_; }
  void Multiline(bool on);
  // True lets the user select the text with the mouse.
  bool Selectable() const { return selectable_; }
  void Selectable(bool on);

  void SetProperty(const std::string& name, const PropertyValue& value) override;

 protected:
  std::unique_ptr<ControlWidget> MakeWidget() override;

 private:
  void ApplyText();
  std::string text_;
  Color color_{0x000000};
  int32_t align_ = 0;
  bool multiline_ = false, selectable_ = false;
};

// A row of tabs over a framed area. Each tab has a page; a control placed on
// a page (design properties InitialParent and TabPanelIndex) shows only
// while its tab is selected.
class TabPanel : public TextControl {
 public:
  TabPanel();
  ~TabPanel() override;

  // The tab titles, separated by CR (U+000D).
  const std::string& TabDefinition() const { return definition_; }
  void TabDefinition(const std::string& d);
  int32_t PanelCount() const;
  // The title of tab `i` (from 0); empty outside 0..PanelCount()-1.
  std::string Caption(int32_t i) const;
  // The selected tab, from 0. A value outside the tabs changes nothing.
  int32_t Value() const { return value_; }
  void Value(int32_t v);
  // True: tabs of the text's height, without the usual padding.
  bool SmallTabs() const { return small_; }
  void SmallTabs(bool on);

  void SetProperty(const std::string& name, const PropertyValue& value) override;

  // Framework-internal: the user picked tab `i`.
  void TabPicked(int32_t i);
  // Framework-internal: puts the control on page `page` (from 1; 0 the
  // panel itself, shown with every tab) of the window's tab panel named
  // `panelName`, or back on its window when the name is empty. Throws
  // DesignPropertyError when the window has no tab panel of that name.
  static void PlaceOnPage(RectControl& c, const std::string& panelName, int32_t page);

 protected:
  std::unique_ptr<ControlWidget> MakeWidget() override;

 private:
  void ShowSelectedPage();
  std::string definition_;
  int32_t value_ = 0;
  bool small_ = false;
};

// Text in a scrolling box. The text's line ends are CR (U+000D); a CR LF
// pair or a lone LF also ends a line.
class TextArea : public TextControl {
 public:
  TextArea();
  ~TextArea() override;

  // The text as it was set, or as the user edited it (with CR line ends).
  const std::string& Text() const { return text_; }
  void Text(const std::string& t);
  // True: the user can select and copy the text, but not change it.
  bool ReadOnly() const { return readOnly_; }
  void ReadOnly(bool on);
  // True wraps long lines; False keeps each line on one line.
  bool Multiline() const { return multiline_; }
  void Multiline(bool on);
  bool Border() const { return border_; }
  void Border(bool on);
  bool ScrollbarVertical() const { return vScroll_; }
  void ScrollbarVertical(bool on);
  bool ScrollbarHorizontal() const { return hScroll_; }
  void ScrollbarHorizontal(bool on);
  Color TextColor() const { return color_; }
  void TextColor(Color c);
  Color BackColor() const { return back_; }
  void BackColor(Color c);
  // 0 (the default) and 1: left, 2: centre, 3: right.
  int32_t Alignment() const { return align_; }
  void Alignment(int32_t a);
  // The first line shown, from 0; setting it scrolls as far as the text allows.
  int32_t ScrollPosition() const;
  void ScrollPosition(int32_t line);

  void SetProperty(const std::string& name, const PropertyValue& value) override;

  // Framework-internal: the user changed the text.
  void TextEdited(const std::string& shown);

 protected:
  std::unique_ptr<ControlWidget> MakeWidget() override;

 private:
  void ApplyText();
  void ApplyLook();
  std::string text_;
  bool readOnly_ = false, multiline_ = true, border_ = true, vScroll_ = true, hScroll_ = false;
  bool acceptTabs_ = false;
  Color color_{0x000000}, back_{0xFFFFFF};
  int32_t align_ = 0;
};

}  // namespace fw

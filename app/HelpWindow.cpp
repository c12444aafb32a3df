#include "app/HelpWindow.h"

#include <memory>

#include "app/App.h"
#include "app/HelpTexts.h"

using namespace fw;

namespace {
constexpr const char* kClassName = "HelpWindow.HelpWindow";
}

HelpWindow::HelpWindow() : Window(kClassName) {}

Ref<HelpWindow> HelpWindow::Instance() { return ImplicitInstance<HelpWindow>(kClassName); }

void HelpWindow::Layout() {
  SetProperties(
      *this,
      {
          {"Placement", int32_t{1}},   {"Width", int32_t{400}},        {"Height", int32_t{370}},
          {"MinWidth", int32_t{400}},  {"MinHeight", int32_t{370}},    {"MaxWidth", int32_t{400}},
          {"MaxHeight", int32_t{370}}, {"Frame", int32_t{0}},          {"Composite", false},
          {"HasBackColor", true},      {"BackColor", Color{0xFFFFFF}}, {"Title", std::string("Pandriskの説明")},
          {"Visible", true},           {"FullScreen", false},          {"MenuBarVisible", true},
          {"CloseButton", true},       {"Resizeable", false},          {"LiveResize", true},
          {"MaximizeButton", false},   {"MinimizeButton", true},       {"MacProcID", int32_t{0}},
      });
}

void HelpWindow::CreateControls() { CreateControls0(); }

namespace {

// What every control of the window shares.
PropertyList Common(int32_t left, int32_t top, int32_t width, int32_t height) {
  return {
      {"Left", left},
      {"Top", top},
      {"Width", width},
      {"Height", height},
      {"LockLeft", false},
      {"LockTop", false},
      {"LockRight", false},
      {"LockBottom", false},
      {"TabIndex", int32_t{0}},
      {"TabStop", true},
      {"Visible", true},
      {"Enabled", true},
      {"AutoDeactivate", true},
      {"HelpTag", std::string()},
      {"TextFont", std::string("System")},
      {"Bold", false},
      {"Italic", false},
      {"Underline", false},
  };
}

}  // namespace

void HelpWindow::CreateControls0() {
  {
    Ref<TabPanel> c = MakeControl<TabPanel>("TabPanel1");
    c->TextUnit(0);
    c->TextSize(9);
    SetProperties(*c, Join(Common(0, 1, 400, 369),
                           {
                               {"InitialParent", std::string()},
                               {"TabPanelIndex", int32_t{0}},
                               {"SmallTabs", true},
                               {"TabDefinition", std::string("目的\r操作\r解説\r履歴\r使用条件\r感謝")},
                               {"Value", int32_t{0}},
                           }));
  }
  for (int32_t page = 1; page <= kHelpTextCount; ++page) {
    const std::string name = "EditField" + std::to_string(page);
    Ref<TextArea> c = MakeControl<TextArea>(name);
    c->TextUnit(0);
    c->TextSize(12);
    SetProperties(*c, Join(Common(6, 23, 388, 342), {
                                                        {"InitialParent", std::string("TabPanel1")},
                                                        {"TabPanelIndex", page},
                                                        {"ReadOnly", true},
                                                        {"Multiline", true},
                                                        {"Border", true},
                                                        {"ScrollbarVertical", true},
                                                        {"ScrollbarHorizontal", false},
                                                        {"HideSelection", true},
                                                        {"Styled", false},
                                                        {"UseFocusRing", false},
                                                        {"AcceptTabs", false},
                                                        {"AutomaticallyCheckSpelling", false},
                                                        {"Alignment", int32_t{0}},
                                                        {"LimitText", int32_t{0}},
                                                        {"TextColor", Color{0x000000}},
                                                        {"BackColor", Color{0xFFFFFF}},
                                                        {"Mask", std::string()},
                                                        {"Format", std::string()},
                                                        {"DataField", std::string()},
                                                        {"DataSource", std::string()},
                                                        {"Text", HelpText(page)},
                                                    }));
  }
}

Ref<TabPanel> HelpWindow::TabPanel1() const { return ControlAs<TabPanel>("TabPanel1"); }
Ref<TextArea> HelpWindow::EditField1() const { return ControlAs<TextArea>("EditField1"); }
Ref<TextArea> HelpWindow::EditField2() const { return ControlAs<TextArea>("EditField2"); }
Ref<TextArea> HelpWindow::EditField3() const { return ControlAs<TextArea>("EditField3"); }
Ref<TextArea> HelpWindow::EditField4() const { return ControlAs<TextArea>("EditField4"); }
Ref<TextArea> HelpWindow::EditField5() const { return ControlAs<TextArea>("EditField5"); }
Ref<TextArea> HelpWindow::EditField6() const { return ControlAs<TextArea>("EditField6"); }

void HelpWindow::AddMenuHandlers(Ref<Window> w) {
  // Held weakly: the window owns its handlers.
  std::weak_ptr<HelpWindow> help = RefCast<HelpWindow>(w);
  AddMenuHandler("FileClose", [help]() -> bool {
    Ref<HelpWindow> h(help.lock());
    return h->FileClose_Action();
  });
}

void HelpWindow::Event_EnableMenuItems() { FileClose()->Enabled(true); }

bool HelpWindow::FileClose_Action() {
  Close();
  return true;
}

Ref<MenuItem> FileClose() { return App()->MenuBar()->Lookup("FileClose"); }

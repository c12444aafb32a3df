#include "app/AboutWindow.h"

#include "app/Version.h"
#include "engine/Media.h"

using namespace fw;

namespace {

constexpr const char* kClassName = "AboutWindow.AboutWindow";

// What every control of the window shares.
PropertyList Common(int32_t left, int32_t top, int32_t width, int32_t height, int32_t tabIndex) {
  return {
      {"Left", left},
      {"Top", top},
      {"Width", width},
      {"Height", height},
      {"TabIndex", tabIndex},
      {"Enabled", true},
      {"Visible", true},
      {"AutoDeactivate", true},
      {"TabStop", true},
      {"HelpTag", std::string()},
      {"InitialParent", std::string()},
      {"TabPanelIndex", int32_t{0}},
      {"LockLeft", false},
      {"LockTop", false},
      {"LockRight", false},
      {"LockBottom", false},
  };
}

PropertyList LabelProperties(int32_t left, int32_t top, int32_t width, int32_t height, int32_t tabIndex,
                             const std::string& text) {
  return Join(Common(left, top, width, height, tabIndex), {
                                                              {"TextFont", std::string("System")},
                                                              {"Bold", false},
                                                              {"Italic", false},
                                                              {"Underline", false},
                                                              {"TextColor", Color{0x000000}},
                                                              {"TextAlign", int32_t{0}},
                                                              {"Multiline", false},
                                                              {"Selectable", false},
                                                              {"Transparent", false},
                                                              {"DataField", std::string()},
                                                              {"DataSource", std::string()},
                                                              {"Text", text},
                                                          });
}

PropertyList CanvasProperties(int32_t left, int32_t top, int32_t width, int32_t height, int32_t tabIndex) {
  return Join(Common(left, top, width, height, tabIndex), {
                                                              {"EraseBackground", true},
                                                              {"DoubleBuffer", false},
                                                              {"AcceptTabs", false},
                                                              {"AcceptFocus", false},
                                                              {"UseFocusRing", true},
                                                          });
}

}  // namespace

// ---------------------------------------------------------------- TargetSystemDisplay

void TargetSystemDisplay::Event_Paint(Ref<fw::Graphics> g) {
  // A missing picture draws nothing.
  g->DrawPicture(TargetSystemPict(), 0, 0, 16, 8, 0, 32, 16, 8);
}

std::string TargetSystemDisplay::VersionInfo() const { return "2011-12-22,1"; }

// ---------------------------------------------------------------- AboutWindow

AboutWindow::AboutWindow() : Window(kClassName) {}

Ref<AboutWindow> AboutWindow::Instance() { return ImplicitInstance<AboutWindow>(kClassName); }

void AboutWindow::Layout() {
  SetProperties(
      *this,
      {
          {"Placement", int32_t{1}},  {"Width", int32_t{200}},        {"Height", int32_t{80}},
          {"MinWidth", int32_t{200}}, {"MaxWidth", int32_t{200}},     {"MinHeight", int32_t{80}},
          {"MaxHeight", int32_t{80}}, {"Frame", int32_t{2}},          {"Composite", false},
          {"HasBackColor", true},     {"BackColor", Color{0xFFFFFF}}, {"Title", std::string("Pandriskについて")},
          {"Visible", true},          {"FullScreen", false},          {"MenuBarVisible", true},
          {"CloseButton", false},     {"MaximizeButton", false},      {"MinimizeButton", false},
          {"Resizeable", false},      {"LiveResize", true},           {"MacProcID", int32_t{0}},
      });
}

void AboutWindow::CreateControls() { CreateControls0(); }

void AboutWindow::CreateControls0() {
  // A label: made, added under its name, looked up again, sized 12 points in
  // the default unit, then given its design.
  auto label = [this](const std::string& name, const PropertyList& design) {
    Ref<Label> l = MakeControl<Label>(name);
    l->TextUnit(0);
    l->TextSize(12);
    SetProperties(*l, design);
  };
  label("AppName", LabelProperties(64, 24, 130, 16, 0, "Pandrisk " PANDRISK_VERSION));
  label("AppCopy", LabelProperties(16, 56, 180, 16, 1, "© 2026 Drevakon"));
  {
    Ref<Canvas> icon = MakeControl<Canvas>("AppIcon");
    icon->Backdrop(IconPict());
    SetProperties(*icon, CanvasProperties(16, 16, 32, 32, 2));
    AttachMethod(icon->MouseExit, *this, &AboutWindow::AppIcon_MouseExit, *icon);
    AttachMethod(icon->MouseEnter, *this, &AboutWindow::AppIcon_MouseEnter, *icon);
  }
  SetProperties(*MakeControl<TargetSystemDisplay>("TheTargetSystemDisplay"), CanvasProperties(180, 3, 16, 8, 3));
}

Ref<Label> AboutWindow::AppName() const { return ControlAs<Label>("AppName"); }
Ref<Label> AboutWindow::AppCopy() const { return ControlAs<Label>("AppCopy"); }
Ref<Canvas> AboutWindow::AppIcon() const { return ControlAs<Canvas>("AppIcon"); }
Ref<TargetSystemDisplay> AboutWindow::TheTargetSystemDisplay() const {
  return ControlAs<TargetSystemDisplay>("TheTargetSystemDisplay");
}

void AboutWindow::AppIcon_MouseExit(Ref<Canvas> c) { c->Backdrop(IconPict()); }

void AboutWindow::AppIcon_MouseEnter(Ref<Canvas> c) { c->Backdrop(DrevakonPict()); }

bool AboutWindow::Event_KeyDown(const std::string& /*key*/) {
  Close();
  return false;
}

bool AboutWindow::Event_MouseDown(int32_t /*x*/, int32_t /*y*/) {
  Close();
  return false;
}

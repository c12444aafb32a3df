#include "framework/TextControls.h"

#include <QLabel>

#include "framework/Application.h"
#include "framework/TextControlsPrivate.h"
#include "framework/Window.h"
#include "framework/WidgetsPrivate.h"

namespace fw {

using namespace textcontrols;

// ---------------------------------------------------------------- Label

namespace {

// A QLabel leaves presses it has no use for to its parent, so a click on a
// label reaches the window.
class LabelWidget : public QLabel {
 public:
  LabelWidget() { setTextFormat(Qt::PlainText); }
};

}  // namespace

Label::Label() = default;
Label::~Label() = default;

std::unique_ptr<ControlWidget> Label::MakeWidget() {
  auto cw = std::make_unique<ControlWidget>(new LabelWidget());
  return cw;
}

void Label::Text(const std::string& t) {
  text_ = t;
  ApplyText();
}

void Label::TextColor(Color c) {
  color_ = c;
  ApplyText();
}

void Label::TextAlign(int32_t a) {
  align_ = a;
  ApplyText();
}

void Label::Multiline(bool on) {
  multiline_ = on;
  ApplyText();
}

void Label::Selectable(bool on) {
  selectable_ = on;
  ApplyText();
}

void Label::ApplyText() {
  Constructor();
  auto* label = static_cast<QLabel*>(Widget()->widget.data());
  if (label == nullptr) return;
  label->setText(Shown(text_));
  // The text hangs from the top, as a label's text does on a window.
  Qt::Alignment h = Qt::AlignLeft;
  if (align_ == 1) h = Qt::AlignHCenter;
  if (align_ == 2) h = Qt::AlignRight;
  label->setAlignment(h | Qt::AlignTop);
  label->setWordWrap(multiline_);
  label->setTextInteractionFlags(selectable_ ? Qt::TextSelectableByMouse : Qt::NoTextInteraction);
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, ToQColor(color_));
  label->setPalette(pal);
  ApplyFont();
}

void Label::SetProperty(const std::string& name, const PropertyValue& value) {
  if (name == "Text") {
    Text(PropertyString(name, value));
  } else if (name == "TextColor") {
    TextColor(PropertyColor(name, value));
  } else if (name == "TextAlign") {
    TextAlign(PropertyInt(name, value));
  } else if (name == "Multiline") {
    Multiline(PropertyBool(name, value));
  } else if (name == "Selectable") {
    Selectable(PropertyBool(name, value));
  } else if (name == "Transparent") {
    // Either way the label shows the window's background behind its text:
    // an opaque label would be filled with that same colour.
    PropertyBool(name, value);
  } else {
    TextControl::SetProperty(name, value);
  }
}

}  // namespace fw

#include "framework/TextControls.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QScrollBar>
#include <QTextEdit>
#include <algorithm>

#include "framework/Application.h"
#include "framework/TextControlsPrivate.h"
#include "framework/Window.h"
#include "framework/WidgetsPrivate.h"

namespace fw {

using namespace textcontrols;

// ---------------------------------------------------------------- TextArea

namespace {

class TextAreaWidget : public QTextEdit {
 public:
  explicit TextAreaWidget(TextArea* owner) : owner_(owner) {
    setAcceptRichText(false);
    setUndoRedoEnabled(true);
    QObject::connect(this, &QTextEdit::textChanged, [this] {
      if (owner_ == nullptr || settingText || isReadOnly()) return;
      Ref<TextArea> keep = SelfRef(owner_);
      std::string shown = toPlainText().toStdString();
      CallProgram([&] { keep->TextEdited(shown); });
    });
  }
  ~TextAreaWidget() override { QObject::disconnect(this, &QTextEdit::textChanged, nullptr, nullptr); }

  void Forget() { owner_ = nullptr; }
  bool settingText = false;

 protected:
  // A click on the window's menu bar hands the focus to the window itself;
  // the text area keeps it, so that its selection still serves Copy.
  void focusOutEvent(QFocusEvent* e) override {
    if (e->reason() == Qt::MouseFocusReason && QApplication::focusWidget() == window()) {
      setFocus(Qt::OtherFocusReason);
      return;
    }
    QTextEdit::focusOutEvent(e);
  }

 private:
  TextArea* owner_;
};

TextAreaWidget* AreaWidgetOf(const TextArea& t) {
  return t.Widget() ? static_cast<TextAreaWidget*>(t.Widget()->widget.data()) : nullptr;
}

}  // namespace

bool runtime::TextCommand(const std::string& itemName, bool perform) {
  // The front window's focus, which stays with the text area while a menu
  // of its bar has the keyboard.
  Ref<Window> front = FrontWindow();
  QWidget* focus = front && front->Impl()->top ? front->Impl()->top->focusWidget() : nullptr;
  auto* w = dynamic_cast<TextAreaWidget*>(focus);
  if (itemName != "EditCopy" || w == nullptr || !w->isReadOnly() || !w->textCursor().hasSelection()) return false;
  if (perform) w->copy();
  return true;
}

TextArea::TextArea() = default;

TextArea::~TextArea() {
  if (TextAreaWidget* w = AreaWidgetOf(*this)) w->Forget();
}

std::unique_ptr<ControlWidget> TextArea::MakeWidget() {
  auto cw = std::make_unique<ControlWidget>(new TextAreaWidget(this));
  return cw;
}

void TextArea::Text(const std::string& t) {
  text_ = t;
  ApplyText();
}

void TextArea::TextEdited(const std::string& shown) {
  std::string t = shown;
  std::replace(t.begin(), t.end(), '\n', '\r');
  text_ = t;
}

void TextArea::ApplyText() {
  Constructor();
  TextAreaWidget* w = AreaWidgetOf(*this);
  if (w == nullptr) return;
  w->settingText = true;
  w->setPlainText(Shown(text_));
  w->settingText = false;
  ApplyLook();
}

void TextArea::ReadOnly(bool on) {
  readOnly_ = on;
  ApplyLook();
}

void TextArea::Multiline(bool on) {
  multiline_ = on;
  ApplyLook();
}

void TextArea::Border(bool on) {
  border_ = on;
  ApplyLook();
}

void TextArea::ScrollbarVertical(bool on) {
  vScroll_ = on;
  ApplyLook();
}

void TextArea::ScrollbarHorizontal(bool on) {
  hScroll_ = on;
  ApplyLook();
}

void TextArea::TextColor(Color c) {
  color_ = c;
  ApplyLook();
}

void TextArea::BackColor(Color c) {
  back_ = c;
  ApplyLook();
}

void TextArea::Alignment(int32_t a) {
  align_ = a;
  ApplyLook();
}

void TextArea::ApplyLook() {
  Constructor();
  TextAreaWidget* w = AreaWidgetOf(*this);
  if (w == nullptr) return;
  w->setReadOnly(readOnly_);
  if (readOnly_) w->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  w->setFrameShape(border_ ? QFrame::StyledPanel : QFrame::NoFrame);
  w->setVerticalScrollBarPolicy(vScroll_ ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  w->setHorizontalScrollBarPolicy(hScroll_ ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  w->setTabChangesFocus(!acceptTabs_);
  // Lines wrap at the edge; Japanese text has no spaces, so anywhere will do.
  w->setLineWrapMode(multiline_ && !hScroll_ ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
  w->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  Qt::Alignment h = Qt::AlignLeft;
  if (align_ == 2) h = Qt::AlignHCenter;
  if (align_ == 3) h = Qt::AlignRight;
  QTextOption opt = w->document()->defaultTextOption();
  opt.setAlignment(h);
  opt.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  w->document()->setDefaultTextOption(opt);
  QPalette pal = w->palette();
  pal.setColor(QPalette::Text, ToQColor(color_));
  pal.setColor(QPalette::Base, ToQColor(back_));
  w->setPalette(pal);
}

int32_t TextArea::ScrollPosition() const {
  TextAreaWidget* w = AreaWidgetOf(*this);
  if (w == nullptr) return 0;
  const int line = std::max(1, w->fontMetrics().lineSpacing());
  return w->verticalScrollBar()->value() / line;
}

void TextArea::ScrollPosition(int32_t line) {
  TextAreaWidget* w = AreaWidgetOf(*this);
  if (w == nullptr) return;
  w->verticalScrollBar()->setValue(std::max(0, line) * std::max(1, w->fontMetrics().lineSpacing()));
}

void TextArea::SetProperty(const std::string& name, const PropertyValue& value) {
  if (name == "Text") {
    Text(PropertyString(name, value));
  } else if (name == "ReadOnly") {
    ReadOnly(PropertyBool(name, value));
  } else if (name == "Multiline") {
    Multiline(PropertyBool(name, value));
  } else if (name == "Border") {
    Border(PropertyBool(name, value));
  } else if (name == "ScrollbarVertical") {
    ScrollbarVertical(PropertyBool(name, value));
  } else if (name == "ScrollbarHorizontal") {
    ScrollbarHorizontal(PropertyBool(name, value));
  } else if (name == "TextColor") {
    TextColor(PropertyColor(name, value));
  } else if (name == "BackColor") {
    BackColor(PropertyColor(name, value));
  } else if (name == "Alignment") {
    Alignment(PropertyInt(name, value));
  } else if (name == "AcceptTabs") {
    acceptTabs_ = PropertyBool(name, value);
    ApplyLook();
  } else if (name == "HideSelection") {
    // The platform keeps a selection visible, in its inactive colour.
    PropertyBool(name, value);
  } else if (name == "LimitText") {
    if (PropertyInt(name, value) != 0) throw DesignPropertyError("LimitText is not supported; it must be 0");
  } else if (name == "Styled" || name == "AutomaticallyCheckSpelling") {
    RequireFalse(name, value);
  } else if (name == "Mask" || name == "Format") {
    RequireEmpty(name, value);
  } else {
    TextControl::SetProperty(name, value);
  }
}

}  // namespace fw

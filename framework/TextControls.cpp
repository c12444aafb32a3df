#include "framework/TextControls.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QTextEdit>
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "framework/Application.h"
#include "framework/Window.h"
#include "framework/WidgetsPrivate.h"

namespace fw {

namespace {

// The fonts that hold the Japanese characters that a Latin user-interface
// font lacks (Debian's fonts-vlgothic).
const char* const kJapaneseFallbacks[] = {"VL Gothic", "VL PGothic"};

QFont FontFor(const std::string& name, double size, int32_t unit, bool bold, bool italic, bool underline) {
  QFont f = (name.empty() || name == "System") ? QFontDatabase::systemFont(QFontDatabase::GeneralFont)
                                               : QFont(QString::fromStdString(name));
  // The family that the name resolves to: the desktop's font is often an
  // alias ("Sans Serif"), which would lose to the fallback in a family list.
  QStringList families{QFontInfo(f).family()};
  for (const char* jp : kJapaneseFallbacks)
    if (!families.contains(QString::fromLatin1(jp))) families << QString::fromLatin1(jp);
  f.setFamilies(families);
  if (size > 0) {
    if (unit == 1)
      f.setPixelSize(std::max(1, static_cast<int>(std::lround(size))));
    else
      f.setPointSizeF(size);
  }
  f.setBold(bold);
  f.setItalic(italic);
  f.setUnderline(underline);
  return f;
}

// A text with CR, CR LF or LF line ends as the platform shows it (LF).
QString Shown(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar('\n'));
  return s;
}

QColor ToQColor(Color c) { return QColor::fromRgb(c.Red(), c.Green(), c.Blue()); }

double PropertyNumber(const std::string& name, const PropertyValue& v) {
  if (const double* d = std::get_if<double>(&v)) return *d;
  return PropertyInt(name, v);
}

// Design values that this platform has no use for are accepted only at the
// value that asks for nothing, so that a table asking for more fails loudly.
void RequireEmpty(const std::string& name, const PropertyValue& v) {
  if (!PropertyString(name, v).empty())
    throw DesignPropertyError("design property \"" + name + "\" is not supported; it must be empty");
}

void RequireFalse(const std::string& name, const PropertyValue& v) {
  if (PropertyBool(name, v)) throw DesignPropertyError("design property \"" + name + "\" is not supported; it must be False");
}

}  // namespace

// ---------------------------------------------------------------- TextControl

TextControl::TextControl() = default;
TextControl::~TextControl() = default;

void TextControl::TextFont(const std::string& name) {
  font_ = name;
  ApplyFont();
}

void TextControl::TextSize(double size) {
  size_ = std::max(0.0, size);
  ApplyFont();
}

void TextControl::TextUnit(int32_t unit) {
  if (unit < 0 || unit > 2) throw DesignPropertyError("TextUnit " + std::to_string(unit) + " is not supported");
  unit_ = unit;
  ApplyFont();
}

void TextControl::Bold(bool on) {
  bold_ = on;
  ApplyFont();
}

void TextControl::Italic(bool on) {
  italic_ = on;
  ApplyFont();
}

void TextControl::Underline(bool on) {
  underline_ = on;
  ApplyFont();
}

void TextControl::ApplyFont() {
  Constructor();
  if (Widget() && Widget()->widget) Widget()->widget->setFont(FontFor(font_, size_, unit_, bold_, italic_, underline_));
}

void TextControl::SetProperty(const std::string& name, const PropertyValue& value) {
  if (name == "TextFont") {
    TextFont(PropertyString(name, value));
  } else if (name == "TextSize") {
    TextSize(PropertyNumber(name, value));
  } else if (name == "TextUnit") {
    TextUnit(PropertyInt(name, value));
  } else if (name == "Bold") {
    Bold(PropertyBool(name, value));
  } else if (name == "Italic") {
    Italic(PropertyBool(name, value));
  } else if (name == "Underline") {
    Underline(PropertyBool(name, value));
  } else if (name == "DataField" || name == "DataSource") {
    RequireEmpty(name, value);  // no database binding here
  } else {
    RectControl::SetProperty(name, value);
  }
}

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

// ---------------------------------------------------------------- TabPanel

namespace {

// A tab bar whose tabs can be made as low as their text.
class PanelTabBar : public QTabBar {
 public:
  explicit PanelTabBar(QWidget* parent) : QTabBar(parent) {}
  bool small = false;

 protected:
  QSize tabSizeHint(int i) const override {
    QSize s = QTabBar::tabSizeHint(i);
    if (small) s.setHeight(fontMetrics().height() + 6);
    return s;
  }
  QSize minimumTabSizeHint(int i) const override {
    QSize s = QTabBar::minimumTabSizeHint(i);
    if (small) s.setHeight(tabSizeHint(i).height());
    return s;
  }
};

// The panel: its tab bar on top, its frame, and one page per tab. A page is
// an empty widget that lies at the window's origin, so that the controls on
// it keep their window coordinates; the panel clips it to its own area, and
// the tab bar stays above every page.
class TabPanelWidget : public QWidget {
 public:
  explicit TabPanelWidget(TabPanel* owner) : owner_(owner) {
    bar_ = new PanelTabBar(this);
    bar_->setDrawBase(false);
    bar_->setUsesScrollButtons(false);
    bar_->setExpanding(false);
    bar_->setElideMode(Qt::ElideNone);
    QObject::connect(bar_, &QTabBar::currentChanged, [this](int i) {
      if (owner_ != nullptr && i >= 0) {
        Ref<TabPanel> keep = SelfRef(owner_);
        CallProgram([&] { keep->TabPicked(i); });
      }
    });
  }

  ~TabPanelWidget() override { QObject::disconnect(bar_, nullptr, nullptr, nullptr); }

  void Forget() { owner_ = nullptr; }
  PanelTabBar* Bar() const { return bar_; }

  QWidget* Page(int32_t k) {
    QPointer<QWidget>& p = pages_[k];
    if (!p) {
      p = new QWidget(this);
      Relayout();
    }
    return p;
  }

  void ShowPage(int32_t selected) {
    for (auto& [k, p] : pages_)
      if (p) p->setVisible(k == 0 || k == selected);
  }

  void Relayout() {
    QStyleOptionTabWidgetFrame opt = FrameOption();
    bar_->setGeometry(style()->subElementRect(QStyle::SE_TabWidgetTabBar, &opt, this));
    pane_ = style()->subElementRect(QStyle::SE_TabWidgetTabPane, &opt, this);
    for (auto& [k, p] : pages_)
      if (p) p->setGeometry(-x(), -y(), x() + width(), y() + height());
    bar_->raise();
    update();
  }

 protected:
  void paintEvent(QPaintEvent* /*e*/) override {
    QPainter p(this);
    QStyleOptionTabWidgetFrame opt = FrameOption();
    opt.rect = pane_;
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &opt, &p, this);
  }
  void moveEvent(QMoveEvent* e) override {
    QWidget::moveEvent(e);
    Relayout();
  }
  void resizeEvent(QResizeEvent* e) override {
    QWidget::resizeEvent(e);
    Relayout();
  }
  void changeEvent(QEvent* e) override {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) Relayout();
  }

 private:
  QStyleOptionTabWidgetFrame FrameOption() const {
    QStyleOptionTabWidgetFrame opt;
    opt.initFrom(this);
    opt.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    opt.shape = QTabBar::RoundedNorth;
    const QSize hint = bar_->sizeHint();
    opt.tabBarSize = QSize(std::min(hint.width(), width()), hint.height());
    opt.tabBarRect = bar_->geometry();
    const int current = bar_->currentIndex();
    if (current >= 0) opt.selectedTabRect = bar_->tabRect(current).translated(bar_->pos());
    return opt;
  }

  TabPanel* owner_;
  PanelTabBar* bar_;
  QRect pane_;
  std::map<int32_t, QPointer<QWidget>> pages_;
};

TabPanelWidget* PanelWidgetOf(const TabPanel& t) {
  return t.Widget() ? static_cast<TabPanelWidget*>(t.Widget()->widget.data()) : nullptr;
}

}  // namespace

TabPanel::TabPanel() = default;

TabPanel::~TabPanel() {
  if (TabPanelWidget* w = PanelWidgetOf(*this)) w->Forget();
}

std::unique_ptr<ControlWidget> TabPanel::MakeWidget() {
  return std::make_unique<ControlWidget>(new TabPanelWidget(this));
}

void TabPanel::TabDefinition(const std::string& d) {
  definition_ = d;
  Constructor();
  TabPanelWidget* w = PanelWidgetOf(*this);
  if (w == nullptr) return;
  PanelTabBar* bar = w->Bar();
  {
    const QSignalBlocker block(bar);
    while (bar->count() > 0) bar->removeTab(bar->count() - 1);
    if (!d.empty()) {
      for (const QString& title : QString::fromStdString(d).split(QChar('\r'))) bar->addTab(title);
    }
  }
  if (bar->count() > 0) {
    value_ = std::clamp(value_, 0, bar->count() - 1);
    const QSignalBlocker block(bar);
    bar->setCurrentIndex(value_);
  }
  w->Relayout();
  ShowSelectedPage();
}

int32_t TabPanel::PanelCount() const {
  TabPanelWidget* w = PanelWidgetOf(*this);
  return w ? w->Bar()->count() : 0;
}

std::string TabPanel::Caption(int32_t i) const {
  TabPanelWidget* w = PanelWidgetOf(*this);
  if (w == nullptr || i < 0 || i >= w->Bar()->count()) return {};
  return w->Bar()->tabText(i).toStdString();
}

void TabPanel::Value(int32_t v) {
  const int32_t count = PanelCount();
  if (count == 0) {
    value_ = std::max(0, v);  // takes effect once there are tabs
    return;
  }
  if (v < 0 || v >= count) return;
  value_ = v;
  if (TabPanelWidget* w = PanelWidgetOf(*this)) {
    const QSignalBlocker block(w->Bar());
    w->Bar()->setCurrentIndex(v);
    w->Relayout();
  }
  ShowSelectedPage();
}

void TabPanel::TabPicked(int32_t i) {
  value_ = i;
  if (TabPanelWidget* w = PanelWidgetOf(*this)) w->Relayout();
  ShowSelectedPage();
}

void TabPanel::SmallTabs(bool on) {
  small_ = on;
  Constructor();
  if (TabPanelWidget* w = PanelWidgetOf(*this)) {
    w->Bar()->small = on;
    TabDefinition(definition_);  // lays the tabs out anew at their new height
  }
}

void TabPanel::ShowSelectedPage() {
  if (TabPanelWidget* w = PanelWidgetOf(*this)) w->ShowPage(PanelCount() > 0 ? value_ + 1 : -1);
}

void TabPanel::SetProperty(const std::string& name, const PropertyValue& value) {
  if (name == "TabDefinition") {
    TabDefinition(PropertyString(name, value));
  } else if (name == "Value") {
    Value(PropertyInt(name, value));
  } else if (name == "SmallTabs") {
    SmallTabs(PropertyBool(name, value));
  } else {
    TextControl::SetProperty(name, value);
  }
}

void TabPanel::PlaceOnPage(RectControl& c, const std::string& panelName, int32_t page) {
  c.Constructor();
  QWidget* wd = c.Widget() ? c.Widget()->widget.data() : nullptr;
  if (wd == nullptr) return;
  Ref<fw::Window> w = c.Window();
  if (panelName.empty()) {
    // On the window itself; a control not yet added goes there when it is.
    if (w && w->Impl()->content && wd->parentWidget() != w->Impl()->content) wd->setParent(w->Impl()->content);
    return;
  }
  if (!w) throw DesignPropertyError("InitialParent \"" + panelName + "\" is set before the control is in a window");
  Ref<TabPanel> panel = RefCast<TabPanel>(w->ControlByName(panelName));
  if (!panel || panel.get() == &c)
    throw DesignPropertyError("InitialParent \"" + panelName + "\" is not a tab panel of the window");
  if (page < 0) throw DesignPropertyError("TabPanelIndex " + std::to_string(page) + " is below 0");
  TabPanelWidget* pw = PanelWidgetOf(*panel);
  if (pw == nullptr) return;
  QWidget* host = pw->Page(page);
  if (wd->parentWidget() != host) wd->setParent(host);
  panel->ShowSelectedPage();
}

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

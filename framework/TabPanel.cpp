#include "framework/TextControls.h"

#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QSignalBlocker>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <algorithm>
#include <map>
#include <vector>

#include "framework/Application.h"
#include "framework/TextControlsPrivate.h"
#include "framework/Window.h"
#include "framework/WidgetsPrivate.h"

namespace fw {

using namespace textcontrols;

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
  if (!w)
    throw DesignPropertyError("InitialParent \"" + panelName + "\" is set before the control is in a window");
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

}  // namespace fw

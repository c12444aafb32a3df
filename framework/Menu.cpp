#include "framework/Menu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <vector>

#include "framework/Application.h"
#include "framework/Window.h"
#include "framework/WidgetsPrivate.h"

namespace fw {

// ---------------------------------------------------------------- MenuItem

MenuItem::MenuItem() = default;
MenuItem::~MenuItem() = default;

void MenuItem::Append(const Ref<MenuItem>& item) {
  if (!item) throw NilObjectException();
  item->parent_ = this;
  children_.push_back(item);
}

Ref<MenuItem> MenuItem::Item(int32_t i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return children_[static_cast<size_t>(i)];
}

Ref<MenuItem> MenuItem::Child(const std::string& name) const {
  for (const auto& c : children_)
    if (c->Name() == name) return c;
  return nullptr;
}

Ref<MenuItem> MenuItem::Lookup(const std::string& name) const {
  for (const auto& c : children_) {
    if (c->Name() == name) return c;
    if (auto found = c->Lookup(name)) return found;
  }
  return nullptr;
}

Ref<MenuItem> MenuItem::Lookup(const std::string& name, int32_t index) const {
  for (const auto& c : children_) {
    if (c->Name() == name && c->Index() == index) return c;
    if (auto found = c->Lookup(name, index)) return found;
  }
  return nullptr;
}

void MenuItem::ForEach(const std::function<void(const Ref<MenuItem>&)>& visit) {
  visit(SelfRef(this));
  for (const auto& c : children_) c->ForEach(visit);
}

// ---------------------------------------------------------------- the menus on screen

namespace {

// One shown action per menu item.
struct Binding {
  std::weak_ptr<MenuItem> item;
  QPointer<QAction> action;
};

std::vector<Binding>& Bindings() {
  static std::vector<Binding> list;
  return list;
}

// "Cmd+W" is Ctrl+W on this platform.
QString ShortcutText(const std::string& shortcut) {
  const std::string prefix = "Cmd+";
  if (shortcut.rfind(prefix, 0) != 0 || shortcut.size() == prefix.size()) return {};
  return QStringLiteral("Ctrl+") + QString::fromStdString(shortcut.substr(prefix.size()));
}

QString ActionText(const MenuItem& item) {
  // Mnemonics are not used: an "&" in a text is shown as it is.
  QString text = QString::fromStdString(item.Text()).replace('&', QStringLiteral("&&"));
  const QString keys = ShortcutText(item.KeyboardShortcut());
  if (!keys.isEmpty()) text += '\t' + keys;
  return text;
}

void Populate(QMenu* menu, const Ref<MenuItem>& parent) {
  for (int32_t i = 0; i < parent->Count(); ++i) {
    Ref<MenuItem> item = parent->Item(i);
    if (item->IsSeparator()) {
      menu->addSeparator();
      continue;
    }
    QAction* action = nullptr;
    if (item->Count() > 0) {
      QMenu* sub = menu->addMenu(QString::fromStdString(item->Text()));
      Populate(sub, item);
      action = sub->menuAction();
    } else {
      action = menu->addAction(ActionText(*item));
      std::weak_ptr<MenuItem> weak = item;
      QObject::connect(action, &QAction::triggered, [weak] {
        if (auto it = weak.lock()) CallProgram([&] { DispatchMenuCommand(Ref<MenuItem>(it)); });
      });
    }
    Bindings().push_back(Binding{item, action});
  }
}

}  // namespace

namespace runtime {

QMenuBar* BuildMenuBar(const Ref<MenuBar>& bar, QWidget* parent, Window* owner) {
  auto* qbar = new QMenuBar(parent);
  qbar->setNativeMenuBar(false);
  for (int32_t i = 0; i < bar->Count(); ++i) {
    Ref<MenuItem> title = bar->Item(i);
    QMenu* menu = qbar->addMenu(QString::fromStdString(title->Text()));
    // The window whose bar was clicked is the front window for the update
    // and the command, whatever the platform's activation order. The bar is
    // part of the owner's widgets, so the owner outlives it.
    QObject::connect(menu, &QMenu::aboutToShow, [owner] {
      WindowToFront(owner);
      CallProgram([] { UpdateMenus(); });
    });
    Populate(menu, title);
    Bindings().push_back(Binding{title, menu->menuAction()});
  }
  SyncMenus();
  return qbar;
}

void SyncMenus() {
  auto& list = Bindings();
  list.erase(
      std::remove_if(list.begin(), list.end(), [](const Binding& b) { return b.item.expired() || !b.action; }),
      list.end());
  for (const auto& b : list) {
    auto item = b.item.lock();
    QAction* a = b.action;
    a->setEnabled(item->Enabled());
    if (a->menu() == nullptr) {
      a->setText(ActionText(*item));
      a->setCheckable(item->Checked());
      a->setChecked(item->Checked());
    }
  }
}

bool ModalActive() {
  for (int32_t i = 0; i < WindowCount(); ++i) {
    Ref<Window> w = WindowAt(i);
    if (w && w->Impl()->modalLoopRunning) return true;
  }
  return false;
}

bool HandleShortcut(int qtKey, int modifiers) {
  const auto mods = Qt::KeyboardModifiers(modifiers);
  if (!(mods & Qt::ControlModifier) || (mods & (Qt::AltModifier | Qt::MetaModifier | Qt::ShiftModifier)))
    return false;
  if (ModalActive()) return false;
  Ref<Application> app = GetAppObject();
  Ref<MenuBar> bar = app ? app->MenuBar() : nullptr;
  if (!bar) {
    Ref<Window> front = FrontWindow();
    bar = front ? front->MenuBar() : nullptr;
  }
  if (!bar) return false;
  const std::string key = QKeySequence(qtKey).toString().toStdString();
  if (key.empty()) return false;
  Ref<MenuItem> match;
  bar->ForEach([&](const Ref<MenuItem>& item) {
    if (!match && item->Count() == 0 &&
        QString::fromStdString(item->KeyboardShortcut())
                .compare(QString::fromStdString("Cmd+" + key), Qt::CaseInsensitive) == 0)
      match = item;
  });
  if (!match) return false;
  CallProgram([&] {
    UpdateMenus();
    if (match->Enabled()) DispatchMenuCommand(match);
  });
  return true;
}

}  // namespace runtime

void UpdateMenus() {
  Ref<Application> app = GetAppObject();
  Ref<Window> front = FrontWindow();
  Ref<MenuBar> bars[2] = {app ? app->MenuBar() : nullptr, front ? front->MenuBar() : nullptr};
  for (int i = 0; i < 2; ++i) {
    if (!bars[i] || (i == 1 && bars[1] == bars[0])) continue;
    MenuItem* root = bars[i].get();
    bars[i]->ForEach([root](const Ref<MenuItem>& item) {
      if (item.get() != root) item->Enabled(item->AutoEnable() || runtime::TextCommand(item->Name(), false));
    });
  }
  if (app) app->Event_EnableMenuItems();
  if (front) front->Event_EnableMenuItems();
  runtime::SyncMenus();
}

bool DispatchMenuCommand(const Ref<MenuItem>& item) {
  if (!item) return false;
  // Held while the handler runs: it may remove the item from its menu.
  Ref<MenuItem> keep = item;
  const std::string name = item->Name();
  const int32_t index = item->Index();
  if (runtime::TextCommand(name, true)) return true;
  if (Ref<Window> front = FrontWindow(); front && front->HandleMenuCommand(name, index)) return true;
  Ref<Application> app = GetAppObject();
  if (app && app->HandleMenuCommand(name, index)) return true;
  if (item->IsQuitItem() && app) {
    app->Quit();
    return true;
  }
  return false;
}

}  // namespace fw

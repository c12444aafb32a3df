// The run time's class records, plug-in table and exception helper.
#include <map>
#include <vector>

#include "framework/Application.h"
#include "framework/Window.h"
#include "framework/WidgetsPrivate.h"

namespace fw {

namespace {

struct Records {
  std::map<std::string, std::string> parents;
  std::vector<std::string> order;
  std::vector<void*> pluginTable;
  std::function<std::exception_ptr(const std::function<void()>&)> helper;
};

Records& R() {
  static Records r;
  return r;
}

void Record(const std::string& name, const std::string& parent) {
  R().parents.emplace(name, parent);
  R().order.push_back(name);
}

}  // namespace

void RuntimeRegisterFrameworkClasses() {
  static const std::pair<const char*, const char*> kClasses[] = {
      {"Object", ""},
      {"Application", "Object"},
      {"Window", "Object"},
      {"Control", "Object"},
      {"RectControl", "Control"},
      {"Canvas", "RectControl"},
      {"Label", "RectControl"},
      {"TabPanel", "RectControl"},
      {"TextArea", "RectControl"},
      {"Timer", "Object"},
      {"Thread", "Object"},
      {"MenuItem", "Object"},
      {"MenuBar", "MenuItem"},
      {"AppleMenuItem", "MenuItem"},
      {"QuitMenuItem", "MenuItem"},
      {"Picture", "Object"},
      {"Graphics", "Object"},
      {"Sound", "Object"},
      {"MouseCursor", "Object"},
      {"FolderItem", "Object"},
      {"TextInputStream", "Object"},
      {"TextOutputStream", "Object"},
      {"MemoryBlock", "Object"},
      {"ResourceFork", "Object"},
  };
  for (const auto& [name, parent] : kClasses) RuntimeRegisterClass({name, parent});
}

void RuntimeRegisterClass(const ClassInfo& info) {
  const std::string name = info.name;
  if (RuntimeIsClassRegistered(name)) return;
  const std::string parent = info.parent ? info.parent : "";
  if (!parent.empty() && !RuntimeIsClassRegistered(parent)) {
    if (info.parentInfo != nullptr)
      RuntimeRegisterClass(*info.parentInfo);
    else
      Record(parent, "");
  }
  Record(name, parent);
}

bool RuntimeIsClassRegistered(const std::string& name) { return R().parents.count(name) > 0; }

std::vector<std::string> RuntimeRegisteredClasses() { return R().order; }

void RuntimeInitExternalClasses() {}

void RuntimeAllocatePluginEntrypointsTable(int32_t count) {
  R().pluginTable.assign(static_cast<size_t>(count > 0 ? count : 0), nullptr);
}

void RuntimeSetExceptionHelper(std::function<std::exception_ptr(const std::function<void()>&)> helper) {
  R().helper = std::move(helper);
}

namespace runtime {
const std::function<std::exception_ptr(const std::function<void()>&)>& ExceptionHelper() { return R().helper; }
}  // namespace runtime

void RuntimeReleaseStatics() {
  runtime::ReleaseClosedWindows();
  while (WindowCount() > 0) runtime::CloseWindow(WindowAt(0));
  runtime::ReleaseClosedWindows();
  R().parents.clear();
  R().order.clear();
  R().pluginTable.clear();
}

}  // namespace fw

#include "framework/Application.h"

#include "framework/FolderItem.h"
#include "framework/Menu.h"

#include <fstream>
#include <sstream>

namespace fw {

namespace {
Ref<Application>& AppObject() {
  static Ref<Application> app;
  return app;
}

constexpr const char* kResourceFileName = "Application.rsrc";
}  // namespace

Application::Application() = default;
Application::~Application() = default;

void Application::AddMenuHandler(const std::string& itemName, std::function<bool()> handler) {
  menuHandlers_.Add(itemName, std::move(handler));
}

void Application::AddMenuHandler(const std::string& itemName, std::function<bool(int32_t)> handler) {
  menuHandlers_.Add(itemName, std::move(handler));
}

bool Application::HandleMenuCommand(const std::string& itemName, int32_t index) {
  return menuHandlers_.Handle(itemName, index);
}

Ref<fw::ResourceFork> Application::ResourceFork() {
  if (resourceFork_) return resourceFork_;
  Ref<FolderItem> folder = ApplicationResourcesFolder();
  if (!folder) return nullptr;
  Ref<FolderItem> file = folder->Child(kResourceFileName);
  if (!file || !file->Exists() || file->Directory()) return nullptr;
  std::ifstream in(file->NativePath(), std::ios::binary);
  if (!in) return nullptr;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  auto fork = New<fw::ResourceFork>(bytes.str());
  if (!fork->Valid()) return nullptr;
  resourceFork_ = fork;
  return resourceFork_;
}

void Application::OpenOnce() {
  if (opened_) return;
  opened_ = true;
  Event_Open();
}

void RuntimeRegisterAppObject(const Ref<Application>& app) { AppObject() = app; }
Ref<Application> GetAppObject() { return AppObject(); }

}  // namespace fw

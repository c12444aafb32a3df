#include "framework/Application.h"

#include "framework/FolderItem.h"
#include "framework/Menu.h"

#include <cstdint>

#include "framework/FilesPrivate.h"

namespace fw {

namespace {
Ref<Application>& AppObject() {
  static Ref<Application> app;
  return app;
}

constexpr const char* kResourceFileName = "Application.rsrc";
// Far above what a resource file of cursors and small resources needs.
constexpr uint64_t kMaxResourceFileBytes = uint64_t{16} << 20;
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
  std::string bytes;
  if (!file || !files::ReadRegularFile(file->NativePath(), kMaxResourceFileBytes, bytes)) return nullptr;
  auto fork = New<fw::ResourceFork>(std::move(bytes));
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

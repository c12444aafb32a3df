#include "framework/FolderItem.h"

#include <QCoreApplication>
#include <filesystem>
#include <system_error>

#include "framework/Graphics.h"
#include "framework/Sound.h"

namespace fs = std::filesystem;

namespace fw {

namespace {
std::string& ResourcesOverride() {
  static std::string path;
  return path;
}
}  // namespace

FolderItem::FolderItem(std::string path) : path_(std::move(path)) {}
FolderItem::~FolderItem() = default;

std::string FolderItem::Name() const { return fs::path(path_).filename().string(); }

Ref<FolderItem> FolderItem::Parent() const {
  const fs::path p(path_);
  if (!p.has_parent_path() || p.parent_path() == p) return nullptr;
  return New<FolderItem>(p.parent_path().string());
}

Ref<FolderItem> FolderItem::Child(const std::string& name) const {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\0') != std::string::npos)
    return nullptr;
  return New<FolderItem>((fs::path(path_) / name).string());
}

bool FolderItem::Exists() const {
  std::error_code ec;
  return fs::exists(fs::path(path_), ec);
}

bool FolderItem::Directory() const {
  std::error_code ec;
  return fs::is_directory(fs::path(path_), ec);
}

Ref<Picture> FolderItem::OpenAsPicture() const {
  std::error_code ec;
  if (!fs::is_regular_file(fs::path(path_), ec)) return nullptr;
  return LoadPicture(path_);
}

Ref<Sound> FolderItem::OpenAsSound() const {
  std::error_code ec;
  if (!fs::is_regular_file(fs::path(path_), ec)) return nullptr;
  return LoadSound(path_);
}

Ref<FolderItem> ApplicationResourcesFolder() {
  std::string path = ResourcesOverride();
  if (path.empty()) {
    const QString dir = QCoreApplication::applicationDirPath();
    if (dir.isEmpty()) return nullptr;
    path = (fs::path(dir.toStdString()) / "resources").string();
  }
  auto item = New<FolderItem>(path);
  return item->Directory() ? item : nullptr;
}

void SetResourcesFolder(const std::string& path) { ResourcesOverride() = path; }

}  // namespace fw

#include "framework/FolderItem.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "framework/FilesPrivate.h"
#include "framework/Graphics.h"
#include "framework/Sound.h"

namespace fs = std::filesystem;

namespace fw {

namespace {
std::string& ResourcesOverride() {
  static std::string path;
  return path;
}
std::string& PreferencesOverride() {
  static std::string path;
  return path;
}

constexpr const char* kTypeAttribute = "user.mac.type";
constexpr const char* kCreatorAttribute = "user.mac.creator";
constexpr const char* kHiddenTemporaryFolder = ".TemporaryItems";
// Links followed before a chain counts as a loop, as the kernel does.
constexpr int kMaxLinks = 40;

// The attribute's value; false when the file has none or it cannot be read.
bool ReadAttribute(const std::string& path, const char* name, std::string& value) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t size = ::getxattr(path.c_str(), name, nullptr, 0);
    if (size < 0) return false;
    value.assign(static_cast<size_t>(size), '\0');
    const ssize_t n = ::getxattr(path.c_str(), name, value.data(), value.size());
    if (n >= 0) {
      value.resize(static_cast<size_t>(n));
      return true;
    }
    if (errno != ERANGE) return false;  // ERANGE: it grew in between
  }
  return false;
}

// The folder part of a path, for an item that may not exist.
std::string FolderOf(const std::string& path) {
  const fs::path p(path);
  return p.has_parent_path() ? p.parent_path().string() : std::string(".");
}

// True when the folders of an absolute path that are missing can all be
// made: the whole path within the system's bound on a path, each missing
// part within the bound on a name, both as the filesystem where the
// existing part of the path lies tells them.
bool FoldersCanBeMade(const fs::path& path) {
  if (path.native().size() >= PATH_MAX) return false;
  fs::path existing = path;
  struct stat st;
  while (::stat(existing.c_str(), &st) != 0 && existing.has_relative_path()) existing = existing.parent_path();
  const long pathMax = ::pathconf(existing.c_str(), _PC_PATH_MAX);
  const long nameMax = ::pathconf(existing.c_str(), _PC_NAME_MAX);
  if (path.native().size() >= static_cast<size_t>(pathMax > 0 ? pathMax : PATH_MAX)) return false;
  const size_t nameBound = static_cast<size_t>(nameMax > 0 ? nameMax : NAME_MAX);
  auto part = path.begin();
  for (auto have = existing.begin(); have != existing.end() && part != path.end(); ++have) ++part;
  for (; part != path.end(); ++part)
    if (part->native().size() > nameBound) return false;
  return true;
}

// Makes a folder with its missing parents; the last one gets `mode`.
bool MakeFolders(const fs::path& path, mode_t mode) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  if (path.has_parent_path() && path.parent_path() != path && !MakeFolders(path.parent_path(), 0700)) return false;
  if (const int32_t e = files::Step(FileStep::MakeFolder, path.string())) {
    errno = e;
    return false;
  }
  return ::mkdir(path.c_str(), mode) == 0 || errno == EEXIST;
}

// A type or creator code (`attribute`): the one stored on the file; none
// when only the other one (`other`) is stored; else, for a plain file, the
// code its name declares.
std::string Code(const std::string& path, const char* attribute, const char* other, bool type) {
  std::string code, otherCode;
  if (ReadAttribute(path, attribute, code)) return code;
  if (ReadAttribute(path, other, otherCode)) return {};
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  std::string declaredType, declaredCreator;
  files::DeclaredCodes(fs::path(path).filename().string(), declaredType, declaredCreator);
  return type ? declaredType : declaredCreator;
}

// Stores a type or creator code; the error number, 0 on success.
int32_t WriteCode(const std::string& path, const char* attribute, const std::string& code) {
  if (const int32_t e = files::Step(FileStep::SetAttribute, path)) return e;
  return ::setxattr(path.c_str(), attribute, code.data(), code.size(), 0) == 0 ? 0 : errno;
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
  if (files::Step(FileStep::Exists, path_) != 0) return true;
  std::error_code ec;
  return fs::exists(fs::path(path_), ec);
}

bool FolderItem::EntryExists() const {
  if (files::Step(FileStep::Exists, path_) != 0) return true;
  struct stat st;
  return ::lstat(path_.c_str(), &st) == 0;
}

bool FolderItem::Directory() const {
  std::error_code ec;
  return fs::is_directory(fs::path(path_), ec);
}

bool FolderItem::IsWriteable() const { return ::faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS) == 0; }

bool FolderItem::Fail(int32_t error) {
  lastError_ = error;
  return error == 0;
}

bool FolderItem::Delete() {
  if (const int32_t e = files::Step(FileStep::Delete, path_)) return Fail(e);
  struct stat st;
  if (::lstat(path_.c_str(), &st) != 0) return Fail(errno);
  const int r = S_ISDIR(st.st_mode) ? ::rmdir(path_.c_str()) : ::unlink(path_.c_str());
  return Fail(r == 0 ? 0 : errno);
}

bool FolderItem::MoveFileTo(const Ref<FolderItem>& target) {
  if (!target) return Fail(EINVAL);
  const std::string to = target->NativePath();
  struct stat st;
  if (::lstat(path_.c_str(), &st) != 0) return Fail(errno);
  // The contents reach the disk before the new name does, so that a crash
  // cannot leave the name on an empty file.
  if (S_ISREG(st.st_mode)) {
    if (const int32_t e = files::SyncPath(path_, FileStep::Sync)) return Fail(e);
  }
  if (const int32_t e = files::Step(FileStep::Rename, path_)) return Fail(e);
  if (::rename(path_.c_str(), to.c_str()) != 0) return Fail(errno);
  const std::string from = FolderOf(path_);
  path_ = to;
  // The rename has happened; a folder that cannot be flushed is no reason
  // to report it as undone.
  files::SyncPath(FolderOf(to), FileStep::SyncFolder);
  if (from != FolderOf(to)) files::SyncPath(from, FileStep::SyncFolder);
  return Fail(0);
}

bool FolderItem::CopyAccessFrom(const Ref<FolderItem>& model) {
  if (!model) return Fail(EINVAL);
  struct stat want;
  if (::stat(model->NativePath().c_str(), &want) != 0) return Fail(errno);
  if (const int32_t e = files::Step(FileStep::ChangeAccess, path_)) return Fail(e);
  const int fd = ::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return Fail(errno);
  struct stat have;
  int32_t error = 0;
  if (::fstat(fd, &have) != 0) {
    error = errno;
  } else {
    if ((have.st_uid != want.st_uid || have.st_gid != want.st_gid) &&
        ::fchown(fd, want.st_uid, want.st_gid) != 0) {
      // Without the right to give the owner, at least the group may be ours
      // to give.
      if (have.st_uid != want.st_uid)
        error = errno;
      else if (::fchown(fd, static_cast<uid_t>(-1), want.st_gid) != 0)
        lastError_ = errno;
    }
    // Changing the owner clears set-ID bits, so the mode comes last. A
    // filesystem that keeps no modes decides them itself.
    if (error == 0 && ::fchmod(fd, want.st_mode & 07777) != 0) lastError_ = errno;
  }
  ::close(fd);
  if (error != 0) return Fail(error);
  return true;
}

Ref<FolderItem> FolderItem::TemporaryFolder() const {
  const std::string folder = FolderOf(path_);
  files::Place home;
  if (!files::Locate(folder, true, home) || !S_ISDIR(home.mode)) return nullptr;

  std::error_code ec;
  const fs::path system = fs::temp_directory_path(ec);
  files::Place tmp;
  if (!ec && files::Locate(system.string(), true, tmp) && S_ISDIR(tmp.mode) && files::SameMount(tmp, home) &&
      ::faccessat(AT_FDCWD, system.c_str(), W_OK | X_OK, AT_EACCESS) == 0)
    return New<FolderItem>(system.string());

  // A folder of our own beside the item: on its mount by construction, and
  // nobody else's to watch or to plant links in.
  const std::string hidden = (fs::path(folder) / kHiddenTemporaryFolder).string();
  files::Place place;
  if (!files::Locate(hidden, false, place)) {
    if (files::Step(FileStep::MakeFolder, hidden) != 0) return nullptr;
    if (::mkdir(hidden.c_str(), 0700) != 0 && errno != EEXIST) return nullptr;
    if (!files::Locate(hidden, false, place)) return nullptr;
  }
  struct stat st;
  if (!S_ISDIR(place.mode) || !files::SameMount(place, home) || ::lstat(hidden.c_str(), &st) != 0 ||
      st.st_uid != ::geteuid() || ::faccessat(AT_FDCWD, hidden.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    return nullptr;
  return New<FolderItem>(hidden);
}

void FolderItem::ReleaseTemporaryFolder() const {
  // Only an empty folder can be removed, so a file another save has just
  // made there keeps it.
  if (Name() == kHiddenTemporaryFolder) ::rmdir(path_.c_str());
}

Ref<FolderItem> FolderItem::Resolved() const {
  std::string p = path_;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return New<FolderItem>(p);
    std::string target(PATH_MAX + 1, '\0');
    const ssize_t n = ::readlink(p.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<size_t>(n) == target.size()) return New<FolderItem>(p);
    target.resize(static_cast<size_t>(n));
    while (target.size() > 1 && target.back() == '/') target.pop_back();
    // A relative target counts from the link's folder. The path is not
    // normalised: ".." after a linked folder means that folder's parent.
    p = target.front() == '/' ? target : (fs::path(FolderOf(p)) / target).string();
  }
  return nullptr;
}

std::string FolderItem::MacType() const { return Code(path_, kTypeAttribute, kCreatorAttribute, true); }

std::string FolderItem::MacCreator() const { return Code(path_, kCreatorAttribute, kTypeAttribute, false); }

bool FolderItem::HasOwnMacCodes() const {
  std::string code;
  return ReadAttribute(path_, kTypeAttribute, code) || ReadAttribute(path_, kCreatorAttribute, code);
}

void FolderItem::MacType(const std::string& code) { Fail(WriteCode(path_, kTypeAttribute, code)); }

void FolderItem::MacCreator(const std::string& code) { Fail(WriteCode(path_, kCreatorAttribute, code)); }

int16_t FolderItem::MacVRefNum() const {
  files::Place place;
  if (files::Locate(path_, false, place) || files::Locate(FolderOf(path_), true, place))
    return files::VolumeNumber(place);
  return 0;
}

int32_t FolderItem::MacDirID() const {
  const std::string folder = FolderOf(path_);
  files::Place place;
  if (!files::Locate(folder, true, place) || !S_ISDIR(place.mode)) return 0;
  return files::FolderNumber(place, folder);
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

namespace {
// The folder of the running executable, as the bytes the filesystem holds:
// a name need not be valid UTF-8. From the kernel's link to the executable,
// else from the platform's path in its own encoding of file names.
std::string ExecutableFolder() {
  std::string target(PATH_MAX + 1, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", target.data(), target.size());
  if (n > 0 && static_cast<size_t>(n) < target.size() && target.front() == '/') {
    target.resize(static_cast<size_t>(n));
    return FolderOf(target);
  }
  const QString dir = QCoreApplication::applicationDirPath();
  return dir.isEmpty() ? std::string() : QFile::encodeName(dir).toStdString();
}
}  // namespace

Ref<FolderItem> ApplicationResourcesFolder() {
  std::string path = ResourcesOverride();
  if (path.empty()) {
    const std::string dir = ExecutableFolder();
    if (dir.empty()) return nullptr;
    path = (fs::path(dir) / "resources").string();
  }
  auto item = New<FolderItem>(path);
  return item->Directory() ? item : nullptr;
}

void SetResourcesFolder(const std::string& path) { ResourcesOverride() = path; }

Ref<FolderItem> SpecialFolder::Preferences() {
  fs::path path = PreferencesOverride();
  if (path.empty()) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
      path = config;
    } else {
      const char* home = std::getenv("HOME");
      if (home == nullptr || home[0] != '/') {
        const struct passwd* pw = ::getpwuid(::geteuid());
        home = pw != nullptr ? pw->pw_dir : nullptr;
      }
      if (home == nullptr || home[0] != '/') return nullptr;
      path = fs::path(home) / ".config";
    }
  }
  // A path that cannot be had whole gets no folder at all.
  if (!FoldersCanBeMade(path) || !MakeFolders(path, 0700)) return nullptr;
  return New<FolderItem>(path.string());
}

void SetPreferencesFolder(const std::string& path) { PreferencesOverride() = path; }

}  // namespace fw

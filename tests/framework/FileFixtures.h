// Fixtures of the file tests: a preferences folder and a system temporary
// folder of the test's own, small filesystems mounted for the test alone,
// and direct looks at what lies on the disk.
#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "framework/Files.h"
#include "framework/FolderItem.h"
#include "tests/support/TestSupport.h"

namespace filefixtures {

// A temporary folder with "prefs" as the preferences folder and "tmp" as
// the system's temporary folder (TMPDIR), so that parallel tests never meet
// in /tmp. Everything is put back when it goes.
class Folders {
 public:
  Folders() {
    std::filesystem::create_directory(dir.File("prefs"));
    std::filesystem::create_directory(dir.File("tmp"));
    const char* old = std::getenv("TMPDIR");
    if (old != nullptr) oldTmp_ = old;
    setenv("TMPDIR", dir.File("tmp").c_str(), 1);
    fw::SetPreferencesFolder(dir.File("prefs"));
  }
  ~Folders() {
    fw::SetFileStepHook(nullptr);
    fw::SetPreferencesFolder("");
    if (oldTmp_)
      setenv("TMPDIR", oldTmp_->c_str(), 1);
    else
      unsetenv("TMPDIR");
    // A mount leaves before the folders are removed.
    for (auto it = mounts_.rbegin(); it != mounts_.rend(); ++it) umount2(it->c_str(), MNT_DETACH);
  }
  Folders(const Folders&) = delete;
  Folders& operator=(const Folders&) = delete;

  std::string Prefs(const std::string& name = "") const {
    return name.empty() ? dir.File("prefs") : dir.File("prefs/" + name);
  }
  std::string Tmp(const std::string& name = "") const {
    return name.empty() ? dir.File("tmp") : dir.File("tmp/" + name);
  }

  // Mounts a filesystem of that type at the folder (made when missing), in
  // a mount namespace of this test process only, so that nothing outlives
  // the test. Gives the reason when that is not allowed here.
  std::string Mount(const std::string& where, const char* type, const char* options) {
    std::filesystem::create_directories(where);
    if (!privateNamespace_) {
      if (unshare(CLONE_NEWNS) != 0) return std::string("unshare(CLONE_NEWNS): ") + std::strerror(errno);
      if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("making / private: ") + std::strerror(errno);
      privateNamespace_ = true;
    }
    if (mount(type, where.c_str(), type, 0, options) != 0)
      return std::string("mount -t ") + type + ": " + std::strerror(errno);
    mounts_.push_back(where);
    return {};
  }

  testsupport::TempDir dir;

 private:
  std::optional<std::string> oldTmp_;
  std::vector<std::string> mounts_;
  bool privateNamespace_ = false;
};

// The attribute's value as it lies on the disk; nullopt when there is none.
inline std::optional<std::string> Attribute(const std::string& path, const char* name) {
  char buf[256];
  const ssize_t n = getxattr(path.c_str(), name, buf, sizeof buf);
  if (n < 0) return std::nullopt;
  return std::string(buf, static_cast<size_t>(n));
}

inline bool FilesystemKeepsAttributes(const std::string& folder) {
  const std::string probe = folder + "/.attribute-probe";
  testsupport::WriteFile(probe, "");
  const bool ok = setxattr(probe.c_str(), "user.probe", "1", 1, 0) == 0;
  unlink(probe.c_str());
  return ok;
}

inline mode_t Mode(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

inline std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace filefixtures

// Fixtures of the file tests: a preferences folder and a system temporary
// folder of the test's own, small filesystems mounted for the test alone,
// and direct looks at what lies on the disk.
#pragma once

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
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
  }
  Folders(const Folders&) = delete;
  Folders& operator=(const Folders&) = delete;

  std::string Prefs(const std::string& name = "") const {
    return name.empty() ? dir.File("prefs") : dir.File("prefs/" + name);
  }
  std::string Tmp(const std::string& name = "") const {
    return name.empty() ? dir.File("tmp") : dir.File("tmp/" + name);
  }

  // Mounts a filesystem of that type at the folder (made when missing), for
  // this test alone (see testsupport::Mounts). Gives the reason when that
  // is not allowed here.
  std::string Mount(const std::string& where, const char* type, const char* options) {
    return mounts_.Mount(where, type, options);
  }

  testsupport::TempDir dir;

 private:
  std::optional<std::string> oldTmp_;
  // After the folders, so that a mount leaves before they are removed.
  testsupport::Mounts mounts_;
};

// How flock answers: 0 where the file system gives locks, then the answers
// of file systems that give none (a network home without a lock manager,
// and others).
inline constexpr int32_t kLockAnswers[] = {0, ENOLCK, EOPNOTSUPP, ENOSYS, EINVAL};

// From now on every lock gets that answer (0: locks as usual).
inline void LocksAnswer(int32_t answer) {
  fw::SetFileStepHook(
      [answer](fw::FileStep step, const std::string&) { return step == fw::FileStep::Lock ? answer : 0; });
}

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

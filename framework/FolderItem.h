// Files and folders on the real filesystem, the application's resources
// folder and the user's preferences folder.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Object.h"

namespace fw {

class Picture;
class Sound;

// An item in the filesystem, named by its absolute path; the item need not
// exist. Names and paths are UTF-8 byte strings.
class FolderItem : public Object {
 public:
  explicit FolderItem(std::string path);
  ~FolderItem() override;

  const std::string& NativePath() const { return path_; }
  // The last component of the path.
  std::string Name() const;
  // The folder that holds the item; nil at the root.
  Ref<FolderItem> Parent() const;
  // The item of that name in this folder, whether or not it exists; nil for
  // a name that cannot be one component (empty, ".", "..", or with a "/").
  Ref<FolderItem> Child(const std::string& name) const;

  bool Exists() const;
  bool Directory() const;

  // Removes the file or empty folder; false (and LastErrorCode) on failure.
  bool Delete();
  // The item leaves its folder and takes the target's folder and name; an
  // existing target file is replaced in one atomic step. Afterwards this
  // item names the new place.
  bool MoveFileTo(const Ref<FolderItem>& target);
  // errno of the last failed operation on this item; 0 after a success.
  int32_t LastErrorCode() const { return lastError_; }

  // A folder on the same filesystem as the item, where a file can be made
  // and then renamed or exchanged with the item; nil when there is none.
  Ref<FolderItem> TemporaryFolder() const;

  // The item a symbolic link finally points to; the item itself otherwise.
  Ref<FolderItem> Resolved() const;

  // Four-character type and creator codes, kept with the file.
  std::string MacType() const;
  void MacType(const std::string& code);
  std::string MacCreator() const;
  void MacCreator(const std::string& code);

  // The volume and the parent folder, as numbers stable for the run.
  int16_t MacVRefNum() const;
  int32_t MacDirID() const;

  Ref<Picture> OpenAsPicture() const;
  Ref<Sound> OpenAsSound() const;

 private:
  std::string path_;
  int32_t lastError_ = 0;
};

// The application's resources folder: "resources" beside the executable;
// nil when it does not exist.
Ref<FolderItem> ApplicationResourcesFolder();
// Test seam: another resources folder; an empty path restores the default.
void SetResourcesFolder(const std::string& path);

}  // namespace fw

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
// exist. Names and paths are the filesystem's bytes as they are: usually
// UTF-8, but not necessarily.
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
  // True when any entry has the item's name: a symbolic link counts
  // itself, whether or not it leads anywhere.
  bool EntryExists() const;
  bool Directory() const;
  // True when the program may write the existing item.
  bool IsWriteable() const;

  // Removes the file or empty folder (a symbolic link itself, not what it
  // points to); false (and LastErrorCode) on failure.
  bool Delete();
  // The item leaves its folder and takes the target's folder and name; an
  // existing target file is replaced in one atomic step. Both stay on their
  // filesystem: a move to another one fails (EXDEV). A file is flushed to
  // the disk before, the folders after. Afterwards this item names the new
  // place.
  bool MoveFileTo(const Ref<FolderItem>& target);
  // Gives this file the permission bits, owner and group of the model, so
  // that it can take the model's place unnoticed; false when the model's
  // owner cannot be given (a group that cannot be given is left).
  bool CopyAccessFrom(const Ref<FolderItem>& model);
  // errno of the last failed operation on this item; 0 after a success.
  int32_t LastErrorCode() const { return lastError_; }

  // A folder on the same mount as the item, where a file can be made and
  // then renamed or exchanged with the item: the system's temporary folder
  // when it lies on the item's mount and may be written, otherwise the
  // hidden folder ".TemporaryItems" beside the item, made (0700) when
  // missing; nil when there is none.
  Ref<FolderItem> TemporaryFolder() const;
  // For a folder TemporaryFolder gave, once the files made there are gone:
  // the hidden folder goes again when it is empty; the system's stays.
  void ReleaseTemporaryFolder() const;

  // The item a symbolic link finally points to (which need not exist); the
  // item itself otherwise; nil for a loop of links.
  Ref<FolderItem> Resolved() const;

  // Four-character type and creator codes, kept with the file as the
  // extended attributes user.mac.type and user.mac.creator. A regular file
  // that carries neither has those of the declared FileType its name
  // matches (see FileType); otherwise a missing code reads as empty.
  // Setting a code where the filesystem keeps none sets LastErrorCode.
  std::string MacType() const;
  void MacType(const std::string& code);
  std::string MacCreator() const;
  void MacCreator(const std::string& code);
  // True when the item carries a type or a creator code of its own, not
  // one that only its declared file type gives it.
  bool HasOwnMacCodes() const;

  // The volume (negative) and the parent folder (positive), as numbers
  // stable for the run; 0 when the item's folder does not exist.
  int16_t MacVRefNum() const;
  int32_t MacDirID() const;

  Ref<Picture> OpenAsPicture() const;
  Ref<Sound> OpenAsSound() const;

 private:
  bool Fail(int32_t error);

  std::string path_;
  int32_t lastError_ = 0;
};

// The application's resources folder: "resources" beside the executable;
// nil when it does not exist.
Ref<FolderItem> ApplicationResourcesFolder();
// Test seam: another resources folder; an empty path restores the default.
void SetResourcesFolder(const std::string& path);

namespace SpecialFolder {
// The user's preferences folder: $XDG_CONFIG_HOME when it is an absolute
// path, otherwise ~/.config; made (0700) when missing; nil when it is no
// folder and cannot be made one. No folder of it is made unless the whole
// path can be: no longer than the system's bound on a path, each missing
// part within the bound on a name.
Ref<FolderItem> Preferences();
}  // namespace SpecialFolder
// Test seam: another preferences folder; an empty path restores the default.
void SetPreferencesFolder(const std::string& path);

}  // namespace fw

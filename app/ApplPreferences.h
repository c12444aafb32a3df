// The application's settings: one short record of bytes, addressed by
// 1-based byte positions, read from a file in the user's preferences folder
// and written back through a shadow file.
//
// The file holds the header "00" and then the record, with nothing after
// it; its type is "PREF" and its creator the application's own. Comparisons
// of the record, the header and the codes are byte for byte (case-sensitive).
#pragma once

#include <cstdint>
#include <string>

#include "framework/FolderItem.h"
#include "framework/Graphics.h"

class ApplPreferences {
 public:
  ApplPreferences() = default;
  ApplPreferences(const std::string& fileName, const std::string& creator);
  virtual ~ApplPreferences() = default;
  ApplPreferences(const ApplPreferences&) = delete;
  ApplPreferences& operator=(const ApplPreferences&) = delete;

  virtual void Constructor(const std::string& fileName, const std::string& creator);
  // Writes the file when the record differs from what Restore read, or
  // every time when the save mode is above 0.
  virtual void Save();
  // Reads the record from the file; empty when there is none of the
  // application's own or it cannot be read.
  virtual void Restore();
  virtual void SetData(const std::string& data);
  virtual std::string GetData();
  virtual std::string VersionInfo();

  // Bytes start .. start + length - 1 (fewer where the record ends sooner).
  virtual std::string GetPartData(int32_t start, int32_t length);
  // Overwrites bytes in place; a part that would reach past the end of the
  // record, or start before it, is dropped whole.
  virtual void SetPartData(const std::string& data, int32_t start);
  // Appends what the record lacks of the default; true when it did.
  virtual bool DefaultData(const std::string& defaultData);
  // The rightmost `width` digits of the value (zero-filled to ten).
  virtual void SetPartInteger(int32_t value, int32_t start, int32_t width);
  // The number in those bytes; 0 for text that is no number.
  virtual int32_t GetPartInteger(int32_t start, int32_t width);
  virtual void SetPartBoolean(bool value, int32_t pos);
  // False only for the byte "0".
  virtual bool GetPartBoolean(int32_t pos);
  virtual std::string GetTailData(int32_t pos);
  // Replaces the record from pos on; nothing when pos lies past its end + 1
  // or before its start.
  virtual void SetTailData(const std::string& data, int32_t pos);
  // Six hexadecimal digits RRGGBB at pos; black when fewer bytes are there.
  virtual fw::Color GetPartColor(int32_t pos);
  virtual void SetPartColor(fw::Color colour, int32_t pos);
  virtual void SetSaveMode(int32_t mode);

 protected:
  virtual void MacRestore();
  virtual void MacSave();
  // The preferences file: FileName, or FileName_1, _2, ... past items of
  // that name that belong to something else. When none of the
  // application's own exists: the first free name when `create`, else nil.
  // A file of the application's own carries its creator and type; one
  // without codes of its own counts only when it begins with the header.
  // Folders, loops of links and links into missing folders belong to
  // something else.
  virtual fw::Ref<fw::FolderItem> MacFileMake(bool create);
  // Stubs that do nothing, never called by the game; kept whole on purpose
  // (docs/ARCHITECTURE.md).
  virtual fw::Ref<fw::FolderItem> WinFileMake(bool create);
  virtual void WinSave();
  virtual void WinRestore();

  std::string FileName;
  std::string FileCreator;
  std::string ItsData;
  std::string SavedData;
  int32_t SaveMode = 0;

 private:
  enum class Entry { Free, Own, Other };
  // What lies at a candidate name.
  Entry Kind(const fw::Ref<fw::FolderItem>& item);
};

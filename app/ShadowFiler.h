// Safe replacement of a file's contents: the caller writes the new contents
// to a shadow file on the same volume, and CleanUp puts them in the base
// file's place in one step, so that the base file is never half written.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Files.h"
#include "framework/FolderItem.h"

class ShadowFiler {
 public:
  // Status codes (RefStatus).
  static constexpr int32_t kReady = 1;          // shadow chosen, both buffers present
  static constexpr int32_t kRefused = 0;        // the base is a folder (or before Constructor)
  static constexpr int32_t kNoBuffers = -1;     // shadow chosen, no exchange possible
  static constexpr int32_t kNoTemporary = -2;   // no temporary folder: write the base itself
  static constexpr int32_t kNoShadowName = -3;  // every shadow name taken: write the base itself
  static constexpr int32_t kCommitted = 2;      // after CleanUp
  static constexpr int32_t kAborted = 3;        // after Abort

  // The highest shadow number that the name search gives up after.
  static constexpr int32_t kMaxShadowNumber = 900000;
  // A shadow name keeps at most this many bytes of the base file's name.
  static constexpr int32_t kMaxNameBytes = 25;

  ShadowFiler() = default;
  explicit ShadowFiler(const fw::Ref<fw::FolderItem>& base);
  virtual ~ShadowFiler();
  ShadowFiler(const ShadowFiler&) = delete;
  ShadowFiler& operator=(const ShadowFiler&) = delete;

  // Chooses the shadow file for the base file and makes the exchange
  // buffers; creates no file. A base reached through symbolic links is
  // followed to the file they point to, so that the links stay links.
  virtual void Constructor(const fw::Ref<fw::FolderItem>& base);
  virtual std::string VersionInfo();
  // The file the caller is to write: the shadow file, or the base file
  // itself when there is no shadow file; nil for a refused base.
  virtual fw::Ref<fw::FolderItem> RefShadowFile();
  // Makes the file RefShadowFile names and opens it for writing; `header`
  // and `maxBytes` say what the caller writes there: bytes that begin with
  // the header, at most that many. The shadow file is made new, never over
  // an entry already there (the next number is taken then), and stays
  // locked until CleanUp or Abort, so that no other save removes it. Once
  // it is made and locked, the shadow files of this name that nobody holds
  // locked and that hold nothing or such bytes, left by saves that ended
  // midway, are removed; where the file system gives no locks the shadow
  // file is made unlocked and nothing is removed, since nothing there can
  // be told from a live save's file. Without a shadow file the base file
  // is written where it lies, its old bytes kept until the new ones are
  // all written. Nil when neither can be had (and for a refused base).
  virtual fw::Ref<fw::TextOutputStream> CreateShadowFile(const std::string& header, int64_t maxBytes);
  virtual bool RefShadowAvail();
  // Puts the written shadow file in the base file's place: by exchanging
  // the two files' contents, otherwise by one atomic rename over the base
  // file. A base file that may not be written, or whose owner could not be
  // kept, stays as it was. The filer then refers to no file.
  virtual void CleanUp();
  // Gives the new contents up: deletes the shadow file; the base file is
  // not touched.
  virtual void Abort();
  virtual int32_t RefStatus();

 protected:
  virtual bool TbExchangeFiles(const fw::Ref<fw::FolderItem>& file1, const fw::Ref<fw::FolderItem>& file2);

  fw::Ref<fw::FolderItem> ItsBaseFile;
  fw::Ref<fw::FolderItem> ItsShadowFile;
  bool IsShadowAvail = false;
  int32_t ItsStatus = 0;
  fw::Ref<fw::MemoryBlock> TheFSSP1;
  fw::Ref<fw::MemoryBlock> TheFSSP2;
  bool IsFsspAvail = false;

 private:
  void FillFileRecord(const fw::Ref<fw::MemoryBlock>& record, const fw::Ref<fw::FolderItem>& file);
  void CommitByMove();
  // Drops the shadow file's lock and, when the save made it, the hidden
  // temporary folder left empty.
  void Release();

  std::string ShadowPrefix;  // the base name, cut, that the six digits follow
  int32_t ShadowNumber = 0;
  // The folder of the shadow file, kept apart from the file, which names
  // the base file once it is moved there.
  fw::Ref<fw::FolderItem> ShadowFolder;
  fw::Ref<fw::LockedFile> ShadowLock;
};

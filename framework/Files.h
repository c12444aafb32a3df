// The file layer beside FolderItem: byte streams on files, memory blocks,
// declared file types, the platform's exchange of two files' contents and
// the seam through which a test watches or breaks each step on disk.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/Object.h"

namespace fw {

class FolderItem;

// Reads a file's bytes, unconverted.
class TextInputStream : public Object {
 public:
  // A stream on an existing regular file; nil when the item is nil, is no
  // regular file (a folder, a pipe, a device) or cannot be opened.
  static Ref<TextInputStream> Open(const Ref<FolderItem>& item);

  struct Opened;
  TextInputStream(const Opened&, int fd, std::string path);
  ~TextInputStream() override;

  // Every byte from the current position to the end. On a read error it
  // gives what it read and sets LastErrorCode.
  std::string ReadAll();
  // At most `count` bytes from the current position (fewer at the end), so
  // that a huge file costs no more than that.
  std::string Read(int32_t count);
  void Close();
  // errno of the first failure; 0 while everything went well.
  int32_t LastErrorCode() const { return lastError_; }

 private:
  int fd_ = -1;
  std::string path_;
  int32_t lastError_ = 0;
};

// Writes bytes to a file, unconverted and with nothing added.
class TextOutputStream : public Object {
 public:
  // A stream on a new, empty file for the item (an existing file of that
  // name is emptied and keeps its permissions); nil when the item is nil or
  // no regular file can be created there. In a folder that everyone may
  // write (sticky, like /tmp) a link is not followed and another user's
  // file is not opened.
  static Ref<TextOutputStream> Create(const Ref<FolderItem>& item);
  // A stream that replaces the file's bytes where it lies, for a file that
  // can only be written itself: the file (made when missing) keeps its old
  // bytes while the text is written, and Close puts the new ones over them
  // from the start, flushes them and cuts the file to their length. When
  // any of that fails, the old bytes are put back. Links are followed and
  // shared folders treated as by Create.
  static Ref<TextOutputStream> Overwrite(const Ref<FolderItem>& item);

  struct Opened;
  TextOutputStream(const Opened&, int fd, std::string path, bool inPlace = false);
  ~TextOutputStream() override;

  // After a failure, further writes do nothing.
  void Write(const std::string& text);
  // Flushes the file to the disk and closes it.
  void Close();
  // errno of the first failed write, flush or close; 0 when every byte
  // written so far is on the disk (after Close) or handed to the system.
  int32_t LastErrorCode() const { return lastError_; }

 private:
  int32_t CommitInPlace();

  int fd_ = -1;
  std::string path_;
  int32_t lastError_ = 0;
  bool inPlace_ = false;
  std::string pending_;  // what Overwrite's stream puts in place at Close
};

// A new file that this process holds locked (flock) for as long as the
// object lives, so that other processes can tell it from one whose maker
// has gone. Where the file system gives no locks (a network home without a
// lock manager), the file is made all the same and stays unlocked.
class LockedFile : public Object {
 public:
  // Makes an empty regular file under the item's name, locked from its
  // first moment where locks can be had, and only where no entry of any
  // kind has that name (not even a link that leads nowhere, which is never
  // followed); nil and `error` otherwise (EEXIST for a taken name, and for
  // a new file that another process's RemoveUnlocked holds and removes).
  static Ref<LockedFile> Create(const Ref<FolderItem>& item, int32_t& error);
  // Removes the files in the folder named `prefix` followed by `digits`
  // decimal digits that are this user's regular files, that no process
  // holds locked and that hold what their maker writes: nothing at all, or
  // at most `maxBytes` bytes that begin with `header`. Links, other
  // contents and everything else stay, and so does every file where no
  // lock can be had, since none of them can be told from a live one.
  static void RemoveUnlocked(const Ref<FolderItem>& folder, const std::string& prefix, int digits,
                             const std::string& header, int64_t maxBytes);
  // A shared lock on an existing regular file, so that RemoveUnlocked
  // passes it over while it lies under such a name; nil when it cannot be
  // had at once.
  static Ref<LockedFile> Hold(const Ref<FolderItem>& item);

  LockedFile(int fd, bool locked);
  ~LockedFile() override;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;

  // False for a file made where the file system gives no locks.
  bool Locked() const { return locked_; }

 private:
  int fd_ = -1;
  bool locked_ = false;
};

class OutOfBoundsException : public RuntimeException {
 public:
  OutOfBoundsException() : RuntimeException("access outside the memory block") {}
  const char* Name() const noexcept override { return "OutOfBoundsException"; }
};

// A block of bytes, zero-filled when made. Numbers are stored in the
// host's byte order; an access outside the block raises
// OutOfBoundsException.
class MemoryBlock : public Object {
 public:
  // A new block; nil when the size is negative or the memory cannot be had.
  static Ref<MemoryBlock> New(int32_t size);

  explicit MemoryBlock(int32_t size);

  int32_t Size() const { return static_cast<int32_t>(bytes_.size()); }

  uint8_t Byte(int32_t offset) const;
  void Byte(int32_t offset, uint8_t value);
  int16_t Int16Value(int32_t offset) const;
  void Int16Value(int32_t offset, int16_t value);
  int32_t Int32Value(int32_t offset) const;
  void Int32Value(int32_t offset, int32_t value);
  // A length byte followed by that many bytes. Setting writes at most 255
  // bytes of the text.
  std::string PString(int32_t offset) const;
  void PString(int32_t offset, const std::string& value);
  std::string StringValue(int32_t offset, int32_t length) const;

  // The address of the first byte.
  const uint8_t* Ptr() const { return bytes_.data(); }
  uint8_t* Ptr() { return bytes_.data(); }

 private:
  void Check(int32_t offset, int32_t length) const;
  std::vector<uint8_t> bytes_;
};

// A file type the program declares. While it exists, a file that carries
// neither a type nor a creator code, because its filesystem keeps none or a
// copy dropped them, counts as being of the first declared type whose
// extensions match its name.
class FileType : public Object {
 public:
  FileType();
  ~FileType() override;

  const std::string& Name() const { return name_; }
  void Name(const std::string& v) { name_ = v; }
  // Extensions separated by ";", each with or without its leading "."; an
  // empty text matches names without an extension.
  const std::string& Extensions() const { return extensions_; }
  void Extensions(const std::string& v) { extensions_ = v; }
  const std::string& MacType() const { return macType_; }
  void MacType(const std::string& v) { macType_ = v; }
  const std::string& MacCreator() const { return macCreator_; }
  void MacCreator(const std::string& v) { macCreator_ = v; }

  // True when a file of that name belongs to this type by its extension.
  bool MatchesName(const std::string& fileName) const;

 private:
  std::string name_, extensions_, macType_, macCreator_;
};

// Exchanges the contents of two files named by file records
// (framework/FileRecord.h: volume, parent folder and FileRecordName of the
// name). The two names swap their files in one atomic step; whatever
// travels with a file (its attributes, type and creator, permissions)
// travels with its contents. Both files are flushed
// to the disk before the exchange and both folders after it. Result 0 on success; otherwise an errno value and nothing was
// exchanged: ENOENT for a record that names no file (an unknown folder
// number, no name or more than one name that gives the record), EXDEV for
// files on different volumes, EINVAL for a record that is no file record or
// names no regular file, or the failure of the system's exchange.
int32_t ExchangeFiles(const void* fileRecord1, const void* fileRecord2);

// The steps of the file layer that a test can watch or break.
enum class FileStep {
  Exists,        // FolderItem::Exists asks about the path
  Create,        // TextOutputStream::Create opens the path for writing
  Write,         // TextOutputStream::Write writes to the path
  Sync,          // the file's contents are flushed to the disk
  Close,         // TextOutputStream::Close closes the path
  SetAttribute,  // a type or creator code is set
  ChangeAccess,  // permissions or the owner are set
  Exchange,      // ExchangeFiles swaps two files (the path is the first)
  Rename,        // FolderItem::MoveFileTo renames the path
  SyncFolder,    // a folder's entries are flushed to the disk
  Delete,        // FolderItem::Delete removes the path
  MakeFolder,    // a folder is made
  Lock,          // a file is locked (flock)
};

// Test seam: the hook is called before each step with its path. A result
// other than 0 makes the step fail with that errno, without touching the
// disk; for FileStep::Exists it makes the path count as existing. An empty
// function removes the hook.
void SetFileStepHook(std::function<int32_t(FileStep step, const std::string& path)> hook);

}  // namespace fw

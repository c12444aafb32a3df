#include "framework/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <utility>

#include "framework/FileRecord.h"
#include "framework/FilesPrivate.h"
#include "framework/FolderItem.h"
#include "framework/Strings.h"

#ifndef RENAME_EXCHANGE
#define RENAME_EXCHANGE (1 << 1)
#endif

namespace fw {

namespace files {

namespace {

std::function<int32_t(FileStep, const std::string&)>& Hook() {
  static std::function<int32_t(FileStep, const std::string&)> hook;
  return hook;
}

struct Volumes {
  std::map<std::pair<dev_t, uint64_t>, int16_t> byPlace;
  std::map<int16_t, Place> byNumber;
  int16_t next = -100;
};
Volumes& TheVolumes() {
  static Volumes v;
  return v;
}

struct Folder {
  std::string path;
  Place place;
};
struct Folders {
  std::map<std::pair<dev_t, ino_t>, int32_t> byPlace;
  std::map<int32_t, Folder> byNumber;
  int32_t next = 1000;
};
Folders& TheFolders() {
  static Folders f;
  return f;
}

std::vector<const FileType*>& DeclaredTypes() {
  // Never destroyed: a FileType held in a static may outlive any other
  // static and still leave the list when it goes.
  static auto* types = new std::vector<const FileType*>();
  return *types;
}

int SyncFd(int fd, const std::string& path, FileStep step) {
  if (const int32_t e = Step(step, path)) return e;
  return ::fsync(fd) == 0 ? 0 : errno;
}

}  // namespace

int32_t Step(FileStep step, const std::string& path) {
  const auto& hook = Hook();
  return hook ? hook(step, path) : 0;
}

bool Locate(const std::string& path, bool follow, Place& place) {
  struct statx sx;
  if (::statx(AT_FDCWD, path.c_str(), follow ? 0 : AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_MNT_ID, &sx) !=
      0)
    return false;
  place.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
  place.ino = sx.stx_ino;
  place.mode = sx.stx_mode;
  place.hasMount = (sx.stx_mask & STATX_MNT_ID) != 0;
  place.mount = place.hasMount ? sx.stx_mnt_id : 0;
  return true;
}

bool SameMount(const Place& a, const Place& b) {
  if (a.dev != b.dev) return false;
  return !(a.hasMount && b.hasMount) || a.mount == b.mount;
}

int16_t VolumeNumber(const Place& p) {
  Volumes& v = TheVolumes();
  const auto key = std::make_pair(p.dev, p.hasMount ? p.mount : 0);
  const auto it = v.byPlace.find(key);
  if (it != v.byPlace.end()) return it->second;
  if (v.next == INT16_MIN) return 0;
  const int16_t n = v.next--;
  v.byPlace.emplace(key, n);
  v.byNumber.emplace(n, p);
  return n;
}

int32_t FolderNumber(const Place& folder, const std::string& path) {
  Folders& f = TheFolders();
  const auto key = std::make_pair(folder.dev, folder.ino);
  auto it = f.byPlace.find(key);
  if (it == f.byPlace.end()) it = f.byPlace.emplace(key, f.next++).first;
  // The latest path by which the folder was reached is the one kept.
  f.byNumber[it->second] = Folder{path, folder};
  return it->second;
}

bool FolderOfNumber(int32_t id, std::string& path, Place& place) {
  const Folders& f = TheFolders();
  const auto it = f.byNumber.find(id);
  if (it == f.byNumber.end()) return false;
  Place now;
  if (!Locate(it->second.path, true, now) || now.dev != it->second.place.dev || now.ino != it->second.place.ino ||
      !S_ISDIR(now.mode))
    return false;
  path = it->second.path;
  place = now;
  return true;
}

bool VolumeOfNumber(int16_t id, Place& place) {
  const Volumes& v = TheVolumes();
  const auto it = v.byNumber.find(id);
  if (it == v.byNumber.end()) return false;
  place = it->second;
  return true;
}

bool DeclaredCodes(const std::string& fileName, std::string& type, std::string& creator) {
  for (const FileType* t : DeclaredTypes()) {
    if (t->MatchesName(fileName)) {
      type = t->MacType();
      creator = t->MacCreator();
      return true;
    }
  }
  return false;
}

int32_t SyncPath(const std::string& path, FileStep step) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errno;
  const int32_t e = SyncFd(fd, path, step);
  ::close(fd);
  return e;
}

}  // namespace files

void SetFileStepHook(std::function<int32_t(FileStep step, const std::string& path)> hook) {
  files::Hook() = std::move(hook);
}

// ---- Streams

namespace {

// Opens a regular file; a pipe or a device is refused before it could
// block or stream without end.
int OpenRegular(const std::string& path, int flags, int32_t& error) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    error = errno;
    ::close(fd);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace

struct TextInputStream::Opened {};
struct TextOutputStream::Opened {};

Ref<TextInputStream> TextInputStream::Open(const Ref<FolderItem>& item) {
  if (!item) return nullptr;
  int32_t error = 0;
  const int fd = OpenRegular(item->NativePath(), O_RDONLY, error);
  if (fd < 0) return nullptr;
  return New<TextInputStream>(Opened{}, fd, item->NativePath());
}

TextInputStream::TextInputStream(const Opened&, int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

TextInputStream::~TextInputStream() { Close(); }

std::string TextInputStream::ReadAll() {
  std::string out;
  if (fd_ < 0) return out;
  try {
    char buf[65536];
    for (;;) {
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n == 0) break;
      if (n < 0) {
        if (errno == EINTR) continue;
        if (lastError_ == 0) lastError_ = errno;
        break;
      }
      out.append(buf, static_cast<size_t>(n));
    }
  } catch (const std::bad_alloc&) {
    // A file larger than the memory: nothing of it, and the error.
    if (lastError_ == 0) lastError_ = ENOMEM;
    return {};
  }
  return out;
}

std::string TextInputStream::Read(int32_t count) {
  std::string out;
  if (fd_ < 0 || count <= 0) return out;
  out.resize(static_cast<size_t>(count));
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = ::read(fd_, out.data() + done, out.size() - done);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      if (lastError_ == 0) lastError_ = errno;
      break;
    }
    done += static_cast<size_t>(n);
  }
  out.resize(done);
  return out;
}

void TextInputStream::Close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

namespace {
// A folder that everyone may write and only owners may clean, such as /tmp.
bool SharedFolder(const std::string& path) {
  struct stat st;
  const std::string folder = std::filesystem::path(path).parent_path().string();
  return ::stat(folder.empty() ? "." : folder.c_str(), &st) == 0 && (st.st_mode & S_ISVTX) != 0 &&
         (st.st_mode & S_IWOTH) != 0;
}

// Opens the item's regular file for writing, made when missing; -1 when
// there is none to be had.
int OpenForWriting(const Ref<FolderItem>& item, int access) {
  if (!item) return -1;
  const std::string& path = item->NativePath();
  if (files::Step(FileStep::Create, path) != 0) return -1;
  // In a shared folder another user could have put a link or a file of
  // theirs under the name just found free: neither is followed or written.
  const bool shared = SharedFolder(path);
  int32_t error = 0;
  const int fd = OpenRegular(path, access | O_CREAT | (shared ? O_NOFOLLOW : 0), error);
  if (fd < 0) return -1;
  struct stat st;
  if (shared && (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid())) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Writes all the bytes at the offset; 0 or the errno of the failure.
int32_t WriteAt(int fd, const char* data, size_t size, off_t offset) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd, data + done, size - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}
}  // namespace

Ref<TextOutputStream> TextOutputStream::Create(const Ref<FolderItem>& item) {
  const int fd = OpenForWriting(item, O_WRONLY);
  if (fd < 0) return nullptr;
  // Emptied only once it is known to be a file we may replace.
  if (::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return nullptr;
  }
  return New<TextOutputStream>(Opened{}, fd, item->NativePath());
}

Ref<TextOutputStream> TextOutputStream::Overwrite(const Ref<FolderItem>& item) {
  // Read access too: the old bytes are kept to be put back.
  const int fd = OpenForWriting(item, O_RDWR);
  if (fd < 0) return nullptr;
  return New<TextOutputStream>(Opened{}, fd, item->NativePath(), true);
}

TextOutputStream::TextOutputStream(const Opened&, int fd, std::string path, bool inPlace)
    : fd_(fd), path_(std::move(path)), inPlace_(inPlace) {}

TextOutputStream::~TextOutputStream() { Close(); }

void TextOutputStream::Write(const std::string& text) {
  if (fd_ < 0 || lastError_ != 0) return;
  if (const int32_t e = files::Step(FileStep::Write, path_)) {
    lastError_ = e;
    return;
  }
  if (inPlace_) {
    pending_ += text;
    return;
  }
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      lastError_ = errno;
      return;
    }
    done += static_cast<size_t>(n);
  }
}

int32_t TextOutputStream::CommitInPlace() {
  struct stat st;
  if (::fstat(fd_, &st) != 0) return errno;
  const std::string& fresh = pending_;
  const size_t oldSize = static_cast<size_t>(st.st_size);
  // Only the bytes about to be written over are kept, however long the
  // file is.
  std::string old(std::min(oldSize, fresh.size()), '\0');
  size_t got = 0;
  while (got < old.size()) {
    const ssize_t n = ::pread(fd_, old.data() + got, old.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    got += static_cast<size_t>(n);
  }
  const auto putBack = [&] {
    WriteAt(fd_, old.data(), old.size(), 0);
    if (::ftruncate(fd_, static_cast<off_t>(oldSize)) == 0) ::fsync(fd_);
  };
  // What lies past the old end comes first: when the disk is full that is
  // where it shows, before an old byte has changed.
  if (fresh.size() > oldSize) {
    if (const int32_t e = WriteAt(fd_, fresh.data() + oldSize, fresh.size() - oldSize,
                                  static_cast<off_t>(oldSize))) {
      putBack();
      return e;
    }
  }
  if (const int32_t e = WriteAt(fd_, fresh.data(), old.size(), 0)) {
    putBack();
    return e;
  }
  if (const int32_t e = files::SyncFd(fd_, path_, FileStep::Sync)) {
    putBack();
    return e;
  }
  if (fresh.size() < oldSize) {
    if (::ftruncate(fd_, static_cast<off_t>(fresh.size())) != 0) {
      const int32_t e = errno;
      putBack();
      return e;
    }
    if (const int32_t e = files::SyncFd(fd_, path_, FileStep::Sync)) return e;
  }
  return 0;
}

void TextOutputStream::Close() {
  if (fd_ < 0) return;
  // A full disk or a failing device may show itself only at the flush or
  // the close; either counts as a failed write. Bytes to be put in place
  // after a failed write are not put there at all.
  int32_t e = 0;
  if (!inPlace_)
    e = files::SyncFd(fd_, path_, FileStep::Sync);
  else if (lastError_ == 0)
    e = CommitInPlace();
  pending_.clear();
  if (e != 0 && lastError_ == 0) lastError_ = e;
  if (const int32_t c = files::Step(FileStep::Close, path_)) {
    if (lastError_ == 0) lastError_ = c;
  }
  if (::close(fd_) != 0 && lastError_ == 0) lastError_ = errno;
  fd_ = -1;
}

// ---- Locked files

namespace {
// The folder and the name of a path.
std::pair<std::string, std::string> Split(const std::string& path) {
  const std::filesystem::path p(path);
  return {p.has_parent_path() ? p.parent_path().string() : std::string("."), p.filename().string()};
}

// Gives the open unnamed file the name; 0 or the errno.
int32_t LinkUnnamed(int fd, int dirfd, const std::string& name) {
  if (::linkat(fd, "", dirfd, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
  if (errno == EEXIST) return EEXIST;
  // Without the right to link by descriptor, the link through /proc serves.
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), dirfd, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

// Locks the open file (the path after the hook's say) without waiting; 0
// or the errno.
int32_t Lock(int fd, int operation, const std::string& path) {
  if (const int32_t e = files::Step(FileStep::Lock, path)) return e;
  return ::flock(fd, operation | LOCK_NB) == 0 ? 0 : errno;
}

// The answers of a file system that gives no locks at all, as against
// EWOULDBLOCK, which is a lock another process holds.
bool NoLocksHere(int32_t error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

// True when the open file holds what the maker of such a file writes:
// nothing, or at most `maxBytes` bytes that begin with `header`.
bool HoldsOnly(int fd, const std::string& header, int64_t maxBytes) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  if (st.st_size == 0) return true;
  if (st.st_size > maxBytes || st.st_size < static_cast<off_t>(header.size())) return false;
  std::string start(header.size(), '\0');
  return ::pread(fd, start.data(), start.size(), 0) == static_cast<ssize_t>(start.size()) && start == header;
}
}  // namespace

LockedFile::LockedFile(int fd, bool locked) : fd_(fd), locked_(locked) {}

LockedFile::~LockedFile() {
  if (fd_ >= 0) ::close(fd_);
}

Ref<LockedFile> LockedFile::Create(const Ref<FolderItem>& item, int32_t& error) {
  error = 0;
  if (!item) {
    error = EINVAL;
    return nullptr;
  }
  const std::string& path = item->NativePath();
  if (const int32_t e = files::Step(FileStep::Create, path)) {
    error = e;
    return nullptr;
  }
  const auto [folder, name] = Split(path);
  const int dirfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirfd < 0) {
    error = errno;
    return nullptr;
  }
  // Made without a name, locked, then given the name: no other process can
  // meet it unlocked, and the link fails on an entry of any kind there.
  // Where the file system gives no locks it stays unlocked; the name, which
  // only one file can be given, still keeps two makers apart.
  bool locked = false;
  int fd = ::openat(dirfd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd >= 0) {
    int32_t e = Lock(fd, LOCK_EX, path);
    locked = e == 0;
    if (NoLocksHere(e)) e = 0;
    if (e == 0) e = LinkUnnamed(fd, dirfd, name);
    if (e != 0) {
      ::close(fd);
      fd = -1;
      if (e == EEXIST || e == ENOSPC || e == EDQUOT || e == EROFS || e == EACCES || e == EPERM) {
        ::close(dirfd);
        error = e;
        return nullptr;
      }
    }
  }
  // Where files without a name cannot be made, the exclusive create serves,
  // locked straight after. Another save's clean-up can have taken the lock
  // in between: it removes the new file, whose name then counts as taken.
  if (fd < 0) {
    fd = ::openat(dirfd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    int32_t e = fd < 0 ? errno : Lock(fd, LOCK_EX, path);
    locked = fd >= 0 && e == 0;
    if (fd >= 0 && NoLocksHere(e)) e = 0;
    if (fd >= 0 && e == EWOULDBLOCK) {
      ::close(fd);
      ::close(dirfd);
      error = EEXIST;
      return nullptr;
    }
    if (e != 0) {
      if (fd >= 0) {
        ::unlinkat(dirfd, name.c_str(), 0);
        ::close(fd);
      }
      ::close(dirfd);
      error = e;
      return nullptr;
    }
  }
  ::close(dirfd);
  return New<LockedFile>(fd, locked);
}

Ref<LockedFile> LockedFile::Hold(const Ref<FolderItem>& item) {
  if (!item) return nullptr;
  const std::string& path = item->NativePath();
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || Lock(fd, LOCK_SH, path) != 0) {
    ::close(fd);
    return nullptr;
  }
  return New<LockedFile>(fd, true);
}

void LockedFile::RemoveUnlocked(const Ref<FolderItem>& folder, const std::string& prefix, int digits,
                                const std::string& header, int64_t maxBytes) {
  if (!folder || prefix.empty()) return;
  const int dirfd = ::open(folder->NativePath().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirfd < 0) return;
  std::vector<std::string> names;
  const int scan = ::dup(dirfd);
  DIR* d = scan >= 0 ? ::fdopendir(scan) : nullptr;
  if (d == nullptr) {
    if (scan >= 0) ::close(scan);
    ::close(dirfd);
    return;
  }
  while (const dirent* e = ::readdir(d)) {
    const std::string entry = e->d_name;
    if (entry.size() != prefix.size() + static_cast<size_t>(digits) ||
        entry.compare(0, prefix.size(), prefix) != 0)
      continue;
    if (std::all_of(entry.begin() + static_cast<std::ptrdiff_t>(prefix.size()), entry.end(),
                    [](char c) { return c >= '0' && c <= '9'; }))
      names.push_back(entry);
  }
  ::closedir(d);
  for (const std::string& name : names) {
    struct stat before;
    if (::fstatat(dirfd, name.c_str(), &before, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(before.st_mode) ||
        before.st_uid != ::geteuid())
      continue;
    const int fd = ::openat(dirfd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    const std::string path = folder->NativePath() + "/" + name;
    struct stat opened, now;
    // Removed only while this process holds the lock, only while the name
    // still names the file locked, and only when it holds what a maker
    // writes; a live maker holds the lock to the end. Where no lock can be
    // had, nothing is removed.
    if (::fstat(fd, &opened) == 0 && opened.st_ino == before.st_ino && opened.st_dev == before.st_dev &&
        Lock(fd, LOCK_EX, path) == 0 && ::fstatat(dirfd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        now.st_ino == opened.st_ino && now.st_dev == opened.st_dev && HoldsOnly(fd, header, maxBytes) &&
        files::Step(FileStep::Delete, path) == 0)
      ::unlinkat(dirfd, name.c_str(), 0);
    ::close(fd);
  }
  ::close(dirfd);
}

// ---- Memory blocks

Ref<MemoryBlock> MemoryBlock::New(int32_t size) {
  if (size < 0) return nullptr;
  try {
    return fw::New<MemoryBlock>(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

MemoryBlock::MemoryBlock(int32_t size) : bytes_(static_cast<size_t>(std::max(size, 0)), 0) {}

void MemoryBlock::Check(int32_t offset, int32_t length) const {
  if (offset < 0 || length < 0 || static_cast<int64_t>(offset) + length > static_cast<int64_t>(bytes_.size()))
    throw OutOfBoundsException();
}

uint8_t MemoryBlock::Byte(int32_t offset) const {
  Check(offset, 1);
  return bytes_[static_cast<size_t>(offset)];
}

void MemoryBlock::Byte(int32_t offset, uint8_t value) {
  Check(offset, 1);
  bytes_[static_cast<size_t>(offset)] = value;
}

int16_t MemoryBlock::Int16Value(int32_t offset) const {
  Check(offset, 2);
  int16_t v;
  std::memcpy(&v, bytes_.data() + offset, sizeof v);
  return v;
}

void MemoryBlock::Int16Value(int32_t offset, int16_t value) {
  Check(offset, 2);
  std::memcpy(bytes_.data() + offset, &value, sizeof value);
}

int32_t MemoryBlock::Int32Value(int32_t offset) const {
  Check(offset, 4);
  int32_t v;
  std::memcpy(&v, bytes_.data() + offset, sizeof v);
  return v;
}

void MemoryBlock::Int32Value(int32_t offset, int32_t value) {
  Check(offset, 4);
  std::memcpy(bytes_.data() + offset, &value, sizeof value);
}

std::string MemoryBlock::PString(int32_t offset) const {
  const int32_t n = Byte(offset);
  return StringValue(offset + 1, n);
}

void MemoryBlock::PString(int32_t offset, const std::string& value) {
  const int32_t n = static_cast<int32_t>(std::min<size_t>(value.size(), 255));
  Check(offset, n + 1);
  bytes_[static_cast<size_t>(offset)] = static_cast<uint8_t>(n);
  std::memcpy(bytes_.data() + offset + 1, value.data(), static_cast<size_t>(n));
}

std::string MemoryBlock::StringValue(int32_t offset, int32_t length) const {
  Check(offset, length);
  return std::string(reinterpret_cast<const char*>(bytes_.data()) + offset, static_cast<size_t>(length));
}

// ---- File types

FileType::FileType() { files::DeclaredTypes().push_back(this); }

FileType::~FileType() {
  auto& types = files::DeclaredTypes();
  types.erase(std::remove(types.begin(), types.end(), this), types.end());
}

bool FileType::MatchesName(const std::string& fileName) const {
  // The extension follows the last "."; a leading "." marks a hidden name,
  // not an extension.
  const size_t dot = fileName.rfind('.');
  const std::string ext = dot == std::string::npos || dot == 0 ? std::string() : fileName.substr(dot + 1);
  const auto lower = [](std::string s) {
    for (char& c : s)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
  };
  bool any = false;
  size_t start = 0;
  while (start <= extensions_.size()) {
    const size_t end = std::min(extensions_.find(';', start), extensions_.size());
    std::string item = extensions_.substr(start, end - start);
    item.erase(0, item.find_first_not_of(" \t"));
    item.erase(item.find_last_not_of(" \t") + 1);
    if (!item.empty() && item.front() == '.') item.erase(0, 1);
    if (!item.empty()) {
      any = true;
      if (!ext.empty() && lower(item) == lower(ext)) return true;
    }
    start = end + 1;
  }
  return !any && ext.empty();
}

// ---- The exchange of two files

std::string FileRecordName(const std::string& fileName) {
  return LeftB(ConvertEncoding(fileName, TextEncoding::MacJapanese), kFileRecordNameBytes);
}

namespace {

struct Resolved {
  int dirfd = -1;
  std::string folder;
  std::string name;
  files::Place folderPlace;
  struct stat file {};
  ~Resolved() {
    if (dirfd >= 0) ::close(dirfd);
  }
};

int32_t Resolve(const void* record, Resolved& r) {
  if (record == nullptr) return EINVAL;
  unsigned char bytes[kFileRecordSize];
  std::memcpy(bytes, record, kFileRecordSize);
  int16_t volume;
  int32_t dirID;
  std::memcpy(&volume, bytes + kFileRecordVolume, sizeof volume);
  std::memcpy(&dirID, bytes + kFileRecordFolder, sizeof dirID);
  const int32_t length = bytes[kFileRecordName];
  if (length == 0 || length > kFileRecordNameBytes) return EINVAL;
  const std::string wanted(reinterpret_cast<const char*>(bytes) + kFileRecordName + 1, length);

  files::Place volumePlace;
  if (!files::VolumeOfNumber(volume, volumePlace) || !files::FolderOfNumber(dirID, r.folder, r.folderPlace))
    return ENOENT;
  if (!files::SameMount(volumePlace, r.folderPlace)) return ENOENT;
  r.dirfd = ::open(r.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (r.dirfd < 0) return errno;
  struct stat dir;
  if (::fstat(r.dirfd, &dir) != 0 || dir.st_dev != r.folderPlace.dev || dir.st_ino != r.folderPlace.ino)
    return ENOENT;

  // Several names can give one record (a cut name, a character that
  // became "?"); the record then names no file for certain.
  const int scan = ::dup(r.dirfd);
  if (scan < 0) return errno;
  DIR* d = ::fdopendir(scan);
  if (d == nullptr) {
    ::close(scan);
    return errno;
  }
  int matches = 0;
  while (const dirent* e = ::readdir(d)) {
    const std::string entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    if (FileRecordName(entry) == wanted) {
      r.name = entry;
      ++matches;
    }
  }
  ::closedir(d);
  if (matches != 1) return ENOENT;
  if (::fstatat(r.dirfd, r.name.c_str(), &r.file, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  if (!S_ISREG(r.file.st_mode)) return EINVAL;
  return 0;
}

int32_t SyncEntry(const Resolved& r) {
  const int fd = ::openat(r.dirfd, r.name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errno;
  const int32_t e = files::SyncFd(fd, r.folder + "/" + r.name, FileStep::Sync);
  ::close(fd);
  return e;
}

int RenameExchange(int dir1, const char* name1, int dir2, const char* name2) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
  return ::renameat2(dir1, name1, dir2, name2, RENAME_EXCHANGE);
#else
  return static_cast<int>(::syscall(SYS_renameat2, dir1, name1, dir2, name2, RENAME_EXCHANGE));
#endif
}

}  // namespace

int32_t ExchangeFiles(const void* fileRecord1, const void* fileRecord2) {
  Resolved a, b;
  if (const int32_t e = Resolve(fileRecord1, a)) return e;
  if (const int32_t e = Resolve(fileRecord2, b)) return e;
  if (!files::SameMount(a.folderPlace, b.folderPlace)) return EXDEV;
  if (a.file.st_dev == b.file.st_dev && a.file.st_ino == b.file.st_ino) return EINVAL;

  const std::string path1 = a.folder + "/" + a.name;
  if (const int32_t e = files::Step(FileStep::Exchange, path1)) return e;
  // Neither file may reach its new name before its contents are on the disk.
  if (const int32_t e = SyncEntry(a)) return e;
  if (const int32_t e = SyncEntry(b)) return e;
  if (RenameExchange(a.dirfd, a.name.c_str(), b.dirfd, b.name.c_str()) != 0) return errno;
  // The exchange has happened and cannot be reported as failed any more,
  // or the caller would undo it by its fallback.
  files::SyncFd(a.dirfd, a.folder, FileStep::SyncFolder);
  if (a.folderPlace.ino != b.folderPlace.ino) files::SyncFd(b.dirfd, b.folder, FileStep::SyncFolder);
  return 0;
}

}  // namespace fw

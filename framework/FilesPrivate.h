// The file layer's shared inner parts, seen only by framework .cpp files.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "framework/Files.h"

namespace fw::files {

// Runs the test hook for a step: 0 to go on, otherwise the errno to fail with.
int32_t Step(FileStep step, const std::string& path);

// Where a file or folder lies: its device, its mount (0 when the system
// does not tell) and its inode.
struct Place {
  dev_t dev = 0;
  uint64_t mount = 0;
  bool hasMount = false;
  ino_t ino = 0;
  mode_t mode = 0;
};
// Fills `place` for the path (following a final symbolic link or not);
// false when the path cannot be examined.
bool Locate(const std::string& path, bool follow, Place& place);
bool SameMount(const Place& a, const Place& b);

// Numbers handed out for volumes and folders, stable for the run.
int16_t VolumeNumber(const Place& p);
int32_t FolderNumber(const Place& folder, const std::string& path);
// The folder a number was handed out for, while it still is that folder.
bool FolderOfNumber(int32_t id, std::string& path, Place& place);
bool VolumeOfNumber(int16_t id, Place& place);

// The declared file type that a file without codes of its own belongs to.
bool DeclaredCodes(const std::string& fileName, std::string& type, std::string& creator);

// Flushes an open folder or file to the disk (after the hook's say).
int32_t SyncPath(const std::string& path, FileStep step);

// The whole of a regular file of at most `limit` bytes, read through the
// path's bytes as they are. A pipe, a device, a folder, a larger file or one
// that changes its size while it is read gives false.
bool ReadRegularFile(const std::string& path, uint64_t limit, std::string& bytes);

}  // namespace fw::files

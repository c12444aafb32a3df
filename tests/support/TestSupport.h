// Small helpers shared by the test programs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A fresh empty folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Filesystems mounted for this test process alone, in a mount namespace of
// its own (which the programs it starts share), so that nothing outlives
// the test; they leave, last first, when the object goes.
class Mounts {
 public:
  Mounts() = default;
  ~Mounts();
  Mounts(const Mounts&) = delete;
  Mounts& operator=(const Mounts&) = delete;
  // Mounts a filesystem of that type at the folder (made when missing).
  // Gives the reason when that is not allowed here.
  std::string Mount(const std::string& where, const char* type, const char* options);

 private:
  std::vector<std::string> mounts_;
  bool privateNamespace_ = false;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// A RIFF WAVE file of PCM samples (16-bit values, stored as 8 or 16 bits),
// interleaved when there are two channels.
std::string WaveFile(int32_t rate, int channels, int bits, const std::vector<int16_t>& samples);

// The source tree's resources folder.
std::string SourceResourcesDir();

}  // namespace testsupport

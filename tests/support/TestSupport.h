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

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// A RIFF WAVE file of PCM samples (16-bit values, stored as 8 or 16 bits),
// interleaved when there are two channels.
std::string WaveFile(int32_t rate, int channels, int bits, const std::vector<int16_t>& samples);

// The source tree's resources folder.
std::string SourceResourcesDir();

}  // namespace testsupport

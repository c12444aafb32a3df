#include "tests/support/TestSupport.h"

#include <sched.h>
#include <stdlib.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "pandrisk-test-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Give back write permission first, so that read-only fixtures go too.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

Mounts::~Mounts() {
  for (auto it = mounts_.rbegin(); it != mounts_.rend(); ++it) umount2(it->c_str(), MNT_DETACH);
}

std::string Mounts::Mount(const std::string& where, const char* type, const char* options) {
  std::filesystem::create_directories(where);
  if (!privateNamespace_) {
    if (unshare(CLONE_NEWNS) != 0) return std::string("unshare(CLONE_NEWNS): ") + std::strerror(errno);
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      return std::string("making / private: ") + std::strerror(errno);
    privateNamespace_ = true;
  }
  if (mount(type, where.c_str(), type, 0, options) != 0)
    return std::string("mount -t ") + type + ": " + std::strerror(errno);
  mounts_.push_back(where);
  return {};
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string WaveFile(int32_t rate, int channels, int bits, const std::vector<int16_t>& samples) {
  auto le = [](std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  std::string data;
  for (int16_t s : samples) {
    if (bits == 8)
      data.push_back(static_cast<char>(static_cast<uint8_t>((s >> 8) + 128)));
    else
      le(data, static_cast<uint16_t>(s), 2);
  }
  const int align = channels * bits / 8;
  std::string w = "RIFF";
  le(w, static_cast<uint32_t>(36 + data.size()), 4);
  w += "WAVEfmt ";
  le(w, 16, 4);
  le(w, 1, 2);
  le(w, static_cast<uint32_t>(channels), 2);
  le(w, static_cast<uint32_t>(rate), 4);
  le(w, static_cast<uint32_t>(rate * align), 4);
  le(w, static_cast<uint32_t>(align), 2);
  le(w, static_cast<uint32_t>(bits), 2);
  w += "data";
  le(w, static_cast<uint32_t>(data.size()), 4);
  return w + data;
}

std::string SourceResourcesDir() {
#ifdef PANDRISK_SOURCE_DIR
  return std::string(PANDRISK_SOURCE_DIR) + "/resources";
#else
  return "resources";
#endif
}

}  // namespace testsupport

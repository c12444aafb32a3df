// Fixtures of the engine tests: resource files written into a temporary
// folder, sounds made in memory, a clock and a sound output under the
// test's control.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/FolderItem.h"
#include "framework/Graphics.h"
#include "framework/Sound.h"
#include "framework/Time.h"
#include "tests/support/TestSupport.h"

namespace fixtures {

// ---- PNG: 8-bit RGB, stored (uncompressed) deflate blocks.

inline uint32_t Crc32(const std::string& bytes) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

inline void PutBE32(std::string& s, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<char>((v >> shift) & 0xFF));
}
inline void PutBE16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
  s.push_back(static_cast<char>(v & 0xFF));
}
inline void PutLE32(std::string& s, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) s.push_back(static_cast<char>((v >> shift) & 0xFF));
}
inline void PutLE16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

inline void PngChunk(std::string& png, const char* type, const std::string& data) {
  PutBE32(png, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  png += body;
  PutBE32(png, Crc32(body));
}

// `colorAt(x, y)` gives each pixel's colour.
inline std::string MakePng(int width, int height, const std::function<fw::Color(int, int)>& colorAt) {
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back('\0');  // filter: none
    for (int x = 0; x < width; ++x) {
      const fw::Color c = colorAt(x, y);
      raw.push_back(static_cast<char>(c.Red()));
      raw.push_back(static_cast<char>(c.Green()));
      raw.push_back(static_cast<char>(c.Blue()));
    }
  }
  std::string z = "\x78\x01";
  size_t pos = 0;
  do {
    const size_t n = std::min<size_t>(65535, raw.size() - pos);
    z.push_back(pos + n == raw.size() ? '\x01' : '\x00');
    PutLE16(z, static_cast<uint32_t>(n));
    PutLE16(z, static_cast<uint32_t>(~n & 0xFFFF));
    z.append(raw, pos, n);
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (unsigned char ch : raw) {
    a = (a + ch) % 65521;
    b = (b + a) % 65521;
  }
  PutBE32(z, (b << 16) | a);

  std::string png = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  PutBE32(ihdr, static_cast<uint32_t>(width));
  PutBE32(ihdr, static_cast<uint32_t>(height));
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter set, no interlace
  PngChunk(png, "IHDR", ihdr);
  PngChunk(png, "IDAT", z);
  PngChunk(png, "IEND", "");
  return png;
}

inline std::string SolidPng(int width, int height, fw::Color c) {
  return MakePng(width, height, [c](int, int) { return c; });
}

// ---- WAV: 16-bit PCM, mono.

inline std::string MakeWav(int frames, int sampleRate = 44100) {
  std::vector<int16_t> samples;
  for (int i = 0; i < frames; ++i) samples.push_back(static_cast<int16_t>((i % 64) * 100));
  return testsupport::WaveFile(sampleRate, 1, 16, samples);
}

// ---- The application's resource file with one 'CURS' resource.

inline std::string MakeResourceFile(int16_t cursorId) {
  std::string cursor;
  for (int i = 0; i < 16; ++i) PutBE16(cursor, 0x8000u >> i);  // image: a diagonal
  for (int i = 0; i < 16; ++i) PutBE16(cursor, 0xFFFF);        // mask: opaque
  PutBE16(cursor, 0);                                          // hot spot v
  PutBE16(cursor, 0);                                          // hot spot h
  std::string f = "RSRC";
  PutBE16(f, 1);
  PutBE16(f, 1);
  f += "CURS";
  PutBE16(f, static_cast<uint16_t>(cursorId));
  PutBE32(f, static_cast<uint32_t>(cursor.size()));
  return f + cursor;
}

// ---- In-memory sounds, named so that a recording tells them apart.

inline fw::Ref<fw::Sound> NamedSound(const std::string& name) {
  auto data = std::make_shared<fw::SoundData>();
  data->name = name;
  data->samples.assign(441, 0);
  return fw::New<fw::Sound>(std::move(data));
}

// ---- A temporary resources folder, in force while the object lives.

class ResourcesFolder {
 public:
  ResourcesFolder() { fw::SetResourcesFolder(dir_.path()); }
  ~ResourcesFolder() { fw::SetResourcesFolder(""); }
  void Write(const std::string& name, const std::string& bytes) const {
    testsupport::WriteFile(dir_.File(name), bytes);
  }
  void Remove(const std::string& name) const { std::remove(dir_.File(name).c_str()); }
  const std::string& path() const { return dir_.path(); }

 private:
  testsupport::TempDir dir_;
};

// ---- A clock under the test's control, in force while the object lives.

class FakeClock {
 public:
  FakeClock() {
    fw::SetMicrosecondsSource([this] {
      ++reads;
      if (onRead) onRead();
      return now;
    });
  }
  ~FakeClock() { fw::SetMicrosecondsSource({}); }
  FakeClock(const FakeClock&) = delete;
  FakeClock& operator=(const FakeClock&) = delete;

  double now = 0;
  int reads = 0;
  std::function<void()> onRead;
};

// ---- The recording sound output, in force while the object lives.

class SoundRecorder {
 public:
  SoundRecorder() : out_(std::make_shared<fw::RecordingSoundOutput>()) { fw::SetSoundOutput(out_); }
  ~SoundRecorder() { fw::SetSoundOutput(nullptr); }
  std::vector<fw::RecordingSoundOutput::Entry>& entries() { return out_->entries; }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& e : out_->entries) names.push_back(e.name);
    return names;
  }
  void Clear() { out_->entries.clear(); }

 private:
  std::shared_ptr<fw::RecordingSoundOutput> out_;
};

}  // namespace fixtures

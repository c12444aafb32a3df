// The application's resource file and the cursors made from it.
//
// File layout, all integers big-endian:
//   "RSRC", uint16 version (1), uint16 entry count, then per entry:
//   4-byte type, int16 id, uint32 length, `length` bytes of data.
// A 'CURS' resource is 68 bytes: 16 rows of image bits, 16 rows of mask bits
// (bit 15 is the leftmost pixel), then int16 hot spot row and column.

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <algorithm>
#include <cstddef>

#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/WidgetsPrivate.h"

namespace fw {

namespace {

constexpr uint16_t kFormatVersion = 1;
constexpr size_t kHeaderSize = 8;
constexpr size_t kEntryHeaderSize = 10;
constexpr size_t kCursorSize = 68;
constexpr int kCursorSide = 16;

// Reads big-endian integers from a byte string; every read is checked
// against the end, and a failed read leaves the reader failed for good.
class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}

  bool Ok() const { return ok_; }
  size_t Remaining() const { return bytes_.size() - pos_; }

  uint32_t Unsigned(size_t width) {
    if (!ok_ || Remaining() < width) {
      ok_ = false;
      return 0;
    }
    uint32_t v = 0;
    for (size_t i = 0; i < width; ++i) v = (v << 8) | static_cast<unsigned char>(bytes_[pos_ + i]);
    pos_ += width;
    return v;
  }
  uint16_t U16() { return static_cast<uint16_t>(Unsigned(2)); }
  int16_t I16() { return static_cast<int16_t>(U16()); }
  uint32_t U32() { return Unsigned(4); }

  std::string Bytes(size_t n) {
    if (!ok_ || Remaining() < n) {
      ok_ = false;
      return {};
    }
    std::string s = bytes_.substr(pos_, n);
    pos_ += n;
    return s;
  }

 private:
  const std::string& bytes_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace

ResourceFork::ResourceFork(std::string bytes) {
  Reader in(bytes);
  if (in.Bytes(4) != "RSRC" || in.U16() != kFormatVersion) return;
  const uint16_t count = in.U16();
  if (!in.Ok()) return;
  // Each entry needs at least its header: a count the file cannot hold is
  // rejected before any entry is read.
  if (static_cast<size_t>(count) * kEntryHeaderSize > bytes.size() - kHeaderSize) return;

  std::map<std::pair<std::string, int16_t>, std::string> entries;
  for (uint16_t i = 0; i < count; ++i) {
    std::string type = in.Bytes(4);
    const int16_t id = in.I16();
    const uint32_t length = in.U32();
    std::string data = in.Bytes(length);
    if (!in.Ok()) return;
    // Two entries of one type and number would make the lookup ambiguous.
    if (!entries.emplace(std::make_pair(std::move(type), id), std::move(data)).second) return;
  }
  // Bytes after the last entry mean that the count and the entries disagree.
  if (in.Remaining() != 0) return;

  resources_ = std::move(entries);
  valid_ = true;
}

std::string ResourceFork::Resource(const std::string& type, int16_t id) const {
  auto it = resources_.find({type, id});
  return it == resources_.end() ? std::string() : it->second;
}

Ref<MouseCursor> ResourceFork::GetCursor(int16_t id) const {
  const std::string data = Resource("CURS", id);
  if (data.size() != kCursorSize) return nullptr;
  // A pixmap needs the platform's GUI side; without it there is no cursor.
  if (qGuiApp == nullptr) return nullptr;

  Reader in(data);
  uint16_t image[kCursorSide];
  uint16_t mask[kCursorSide];
  for (uint16_t& row : image) row = in.U16();
  for (uint16_t& row : mask) row = in.U16();
  const int16_t v = in.I16();
  const int16_t h = in.I16();

  QImage pixels(kCursorSide, kCursorSide, QImage::Format_ARGB32);
  for (int y = 0; y < kCursorSide; ++y) {
    for (int x = 0; x < kCursorSide; ++x) {
      const uint16_t bit = static_cast<uint16_t>(0x8000u >> x);
      QRgb c = qRgba(0, 0, 0, 0);
      if (mask[y] & bit) c = (image[y] & bit) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
      pixels.setPixel(x, y, c);
    }
  }
  // The platform wants the hot spot inside the cursor's square.
  const int hotX = std::clamp<int>(h, 0, kCursorSide - 1);
  const int hotY = std::clamp<int>(v, 0, kCursorSide - 1);
  auto impl = std::make_shared<MouseCursor::Impl>(
      MouseCursor::Impl{QCursor(QPixmap::fromImage(pixels), hotX, hotY)});
  return New<MouseCursor>(impl);
}

}  // namespace fw
